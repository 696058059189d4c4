// tarvex.stopping: the electronic stopping and straggling of protons and helium ions in a sample.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "bindings.h"
#include "convert.h"
#include "core/stopping_calc.h"

namespace tarvex::py {
namespace {

struct StoppingValues : Result {};

StoppingIon ionFrom(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name == "h" || name == "p" || name == "1h" || name == "proton" || name == "protons")
    return StoppingIon::Proton;
  if (name == "he" || name == "4he" || name == "alpha" || name == "helium")
    return StoppingIon::Helium;
  throw std::invalid_argument("ion: '" + name + "' is neither protons (\"H\") nor helium (\"He\")");
}

StragglingModel stragglingFrom(std::string name) {
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name == "bohr") return StragglingModel::Bohr;
  if (name == "chu") return StragglingModel::Chu;
  throw std::invalid_argument("straggling: '" + name + "' is neither \"bohr\" nor \"chu\"");
}

StoppingValues stopping(const std::string& ion, const std::string& formula,
                        const pyb::object& density, double energyKeV,
                        const std::string& straggling) {
  StoppingRequest req;
  req.formula = formula;
  req.energyKeV = energyKeV;
  req.straggling = stragglingFrom(straggling);
  const StoppingSources sources(ionFrom(ion));
  try {
    if (pyb::isinstance<pyb::str>(density)) {
      req.density = parseDensity(density.cast<std::string>());
    } else {
      req.density = {SampleDensity::Kind::GramsPerCm3, density.cast<double>()};
      if (!(req.density.value > 0.0)) throw std::invalid_argument("is not positive");
    }
  } catch (const std::exception& e) {
    throw std::invalid_argument(std::string("density: ") + e.what());
  }
  StoppingResult r;
  try {
    r = computeStopping(sources, req);
  } catch (const std::invalid_argument& e) {
    // Name the argument: a formula that does not parse, or an energy outside the data.
    const std::string what = e.what();
    const bool energy =
        what.find("energy") != std::string::npos || what.find("keV") != std::string::npos;
    throw std::invalid_argument((energy ? "energy_kev: " : "formula: ") + what);
  }
  StoppingValues out;
  out.fields["ion"] = ionName(r.ion);
  out.fields["formula"] = formula;
  out.fields["energy_kev"] = r.energyKeV;
  out.fields["atoms_per_cm3"] = r.atomsPerCm3;
  out.fields["stopping_ev_per_1e15_atoms_cm2"] = r.perAtom;
  out.fields["stopping_ev_per_angstrom"] = r.evPerAngstrom;
  out.fields["stopping_ev_per_nm"] = 10.0 * r.evPerAngstrom;
  out.fields["straggling_model"] = stragglingModelName(r.stragglingModel);
  out.fields["straggling_ev2_per_angstrom"] = r.stragglingEv2PerAngstrom;
  out.fields["straggling_ev2_per_nm"] = 10.0 * r.stragglingEv2PerAngstrom;
  out.fields["bohr_straggling_ev2_per_nm"] = 10.0 * r.bohrEv2PerAngstrom;
  out.fields["source"] = r.compoundSource;
  pyb::list elements;
  for (const auto& e : r.elements) {
    pyb::dict d;
    d["symbol"] = e.symbol;
    d["count"] = e.count;
    d["stopping_ev_per_1e15_atoms_cm2"] = e.atomic;
    d["chu_factor"] = e.chuFactor;
    d["source"] = e.source;
    elements.append(d);
  }
  out.fields["elements"] = elements;
  pyb::dict units;
  units["stopping_ev_per_1e15_atoms_cm2"] = "eV/(1e15 atoms/cm^2)";
  units["stopping_ev_per_angstrom"] = "eV/Å";
  units["stopping_ev_per_nm"] = "eV/nm";
  units["straggling_ev2_per_angstrom"] = "eV^2/Å";
  units["straggling_ev2_per_nm"] = "eV^2/nm";
  units["bohr_straggling_ev2_per_nm"] = "eV^2/nm";
  units["atoms_per_cm3"] = "1/cm^3";
  units["energy_kev"] = "keV";
  out.fields["units"] = units;
  return out;
}

}  // namespace

void registerStopping(pyb::module_& m) {
  using namespace pybind11::literals;
  registerResult<StoppingValues>(m, "StoppingValues", R"doc(
The stopping and straggling of an ion in a sample at one energy. Values carry their unit in
their name (stopping_ev_per_angstrom, stopping_ev_per_nm, stopping_ev_per_1e15_atoms_cm2,
straggling_ev2_per_angstrom, straggling_ev2_per_nm, bohr_straggling_ev2_per_nm,
atoms_per_cm3); ``units`` maps each name to its unit. ``elements`` lists each element's
stopping and where it comes from; ``source`` says how the compound's value was made.
)doc");
  m.def("stopping", &stopping, "ion"_a, "formula"_a, "density"_a, "energy_kev"_a,
        "straggling"_a = "bohr", R"doc(
Electronic stopping and energy-loss straggling of protons ("H") or helium ions ("He") in a
sample given by its formula ("HfO2", "Ta2O5", "Si0.4Ge0.6") and density (a number in g/cm3, or
a text such as "9.68 g/cm3" or "5.3e22 atoms/cm3"), at energy_kev.

The elements' stopping comes from the NIST PSTAR/ASTAR tables (ICRU Report 49) where they have
the element, otherwise from published fit coefficients (ICRU Report 49 for protons, Ziegler's
for helium); a compound's by Bragg's rule. The straggling is Bohr's value, or with
straggling="chu" Bohr's value times Chu's correction (Yang et al.). Energies outside the data
are refused, never extrapolated. Raises ValueError naming the argument that is wrong.

>>> s = tarvex.stopping("H", "HfO2", 9.68, 100.0)
>>> s.stopping_ev_per_nm, s.straggling_ev2_per_nm
)doc");
}

}  // namespace tarvex::py
