// tarvex.meis: the ion-scattering spectra of a composition (Gaussian, Bessel, numeric and
// external cross-section models) and their total in the window of detected energies.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <functional>
#include <mutex>
#include <optional>

#include "bindings.h"
#include "convert.h"
#include "meis/closed_form.h"
#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"
#include "meis_input.h"

namespace tarvex::py {
namespace {

struct MeisResult : Result {};

struct NumericCache {
  std::mutex mutex;
  MeisTableCache cache;
};
struct ExternalCache {
  std::mutex mutex;
  ExtTableCache cache;
};

// The total and each element's part of it in the window, computed without the GIL.
struct Totals {
  MeisTotal total;
  std::map<std::string, std::vector<double>> parts;
};

Totals totals(const MeisCommon& c, const MeisSpectra& s) {
  if (!s.refusal.empty()) throw std::invalid_argument(s.refusal);
  std::map<std::string, spectro> spectra;
  for (const auto& [name, r] : s.elements) {
    if (!r.refusal.empty()) throw std::invalid_argument(r.refusal);
    spectra[name] = r.spectrum;
  }
  Totals t;
  t.total = meisTotal(c.window, c.elements, spectra);
  const spectro none;
  for (const auto& [name, el] : c.elements) {
    const auto it = spectra.find(name);
    const spectro& sp = it == spectra.end() ? none : it->second;
    std::vector<double> part(t.total.y.size());
    for (std::size_t k = 0; k < part.size(); ++k) {
      part[k] = c.window.dose *
                sp.interpolate(-static_cast<double>(t.total.first + static_cast<long long>(k)) *
                               t.total.step);
    }
    t.parts[name] = std::move(part);
  }
  return t;
}

pyb::object result(const MeisCommon& c, Totals&& t, const MeisSpectra& s, const char* model) {
  MeisResult out;
  out.fields["model"] = model;
  out.fields["energy_kev"] = toArray(std::move(t.total.e));
  out.fields["counts"] = toArray(std::move(t.total.y));
  pyb::dict parts, k, sigma, theta;
  for (auto& [name, part] : t.parts)
    parts[name.c_str()] = toArray(std::move(part));
  for (const auto& [name, r] : s.elements) {
    k[name.c_str()] = r.setup.k;
    sigma[name.c_str()] = r.setup.sigma;
    theta[name.c_str()] = r.setup.theta;
  }
  out.fields["elements"] = parts;
  out.fields["kinematic_factor"] = k;
  out.fields["cross_section"] = sigma;
  out.fields["scattering_angle"] = theta;
  out.fields["step_ev"] = t.total.step;
  out.fields["dose"] = c.window.dose;
  out.fields["background"] = c.background;
  return pyb::cast(std::move(out));
}

pyb::object closedForm(bool gaussian, const pyb::object& elements, const pyb::object& profiles,
                       const pyb::object& step, double start, const pyb::object& layers,
                       double ionEnergy, double spread, double mass, double z, double thetaIn,
                       double thetaOut, double stopping, double straggling, double deltaE,
                       bool convolve, bool scc, long long windowMin, long long windowMax,
                       double dose, double background) {
  const MeisCommon c = meisCommon(elements, profiles, step, start, layers, ionEnergy, spread, mass,
                                  z, thetaIn, thetaOut, stopping, straggling, deltaE, convolve, scc,
                                  windowMin, windowMax, dose, background);
  const ClosedFormInput in = closedFormInput(c, gaussian);
  std::optional<Totals> t;
  MeisSpectra s;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    s = gaussian ? gaussianSpectra(in) : besselSpectra(in);
    t.emplace(totals(c, s));
  }
  return result(c, std::move(*t), s, gaussian ? "gaussian" : "bessel");
}

MeisTableCache& threadNumericCache() {
  thread_local MeisTableCache cache;
  return cache;
}
ExtTableCache& threadExternalCache() {
  thread_local ExtTableCache cache;
  return cache;
}

pyb::object numeric(const pyb::object& elements, const pyb::object& profiles,
                    const pyb::object& step, double start, const pyb::object& layers,
                    double ionEnergy, double spread, double mass, double z, double thetaIn,
                    double thetaOut, double stopping, double straggling, double deltaE,
                    bool convolve, bool scc, long long windowMin, long long windowMax, double dose,
                    double background, bool autoGrid, double tableStep, long long collisions,
                    long long bins, NumericCache* cache) {
  const MeisCommon c = meisCommon(elements, profiles, step, start, layers, ionEnergy, spread, mass,
                                  z, thetaIn, thetaOut, stopping, straggling, deltaE, convolve, scc,
                                  windowMin, windowMax, dose, background);
  const NumericMeisInput in = numericMeisInput(c, autoGrid, tableStep, collisions, bins);
  std::optional<Totals> t;
  NumericMeisResult r;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    r = onCache(cache, threadNumericCache(),
                [&](auto& held) { return numericMeisSpectra(in, held); });
    if (!r.plan.refusal.empty()) throw std::invalid_argument(r.plan.refusal);
    t.emplace(totals(c, r.spectra));
  }
  pyb::object out = result(c, std::move(*t), r.spectra, "numeric");
  auto& f = out.cast<MeisResult&>().fields;
  f["emin_ev"] = r.plan.range.emin;
  f["emax_ev"] = r.plan.range.emax;
  f["table_step_ev"] = r.plan.grid.step;
  f["collisions"] = static_cast<long long>(r.plan.grid.nc);
  f["bins"] = static_cast<long long>(r.plan.grid.bins);
  pyb::list built;
  for (const auto& [name, entries] : r.built)
    built.append(name);
  f["tables_built"] = built;
  return out;
}

pyb::object external(const pyb::object& elements, const pyb::object& profiles,
                     const pyb::object& step, double start, const pyb::object& layers,
                     double ionEnergy, double spread, double mass, double z, double thetaIn,
                     double thetaOut, double stopping, double straggling, double deltaE,
                     bool convolve, bool scc, long long windowMin, long long windowMax, double dose,
                     double background, const pyb::object& crossSection, double density,
                     long long collisions, const pyb::object& sccFile, double sccShift,
                     ExternalCache* cache) {
  const MeisCommon c = meisCommon(elements, profiles, step, start, layers, ionEnergy, spread, mass,
                                  z, thetaIn, thetaOut, stopping, straggling, deltaE, convolve, scc,
                                  windowMin, windowMax, dose, background);
  const ExternalMeisInput in =
      externalMeisInput(c, crossSection, density, collisions, sccFile, sccShift);
  std::optional<Totals> t;
  ExternalMeisResult r;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    r = onCache(cache, threadExternalCache(),
                [&](auto& held) { return externalMeisSpectra(in, held); });
    t.emplace(totals(c, r.spectra));
  }
  pyb::object out = result(c, std::move(*t), r.spectra, "external");
  out.cast<MeisResult&>().fields["table_built"] = !r.built.empty();
  return out;
}

constexpr const char* kCommonDoc = R"doc(
Sample:
    elements: the composition, {name: (Z, mass, sigma_ev)} (sigma_ev: the single-collision
        correction's energy 1/alpha, eV), e.g. {"Hf": (72, 178.5, 216.8), "O": (8, 16, 102.2)}.
    profiles: {name: 1-D array of the element's concentration over depth} with
    step: their depth step (Å; default 0.01, the program's start-up step) and
    start: depth (Å) where the sample begins (default 0); or
    layers: [(thickness_A, {name: concentration}, sigma_A), ...] from the surface down (sigma:
        the erfc edge width at the layer's lower boundary, optional).
Beam, geometry and energy loss (the program's start-up values):
    ion_energy_kev 100, spread_ev 180 (energy spread, eV FWHM), projectile_mass 1,
    projectile_z 1, theta_in 0 and theta_out 70 (degrees from the surface normal),
    stopping_ev_per_nm 192 (dE/dx), straggling_ev2_per_nm 20740 (dW^2/dx), delta_e_kev 5 (the
    window of losses below the edge), convolve True (instrument broadening), scc True (the
    single-collision correction).
Plot:
    window_min_kev 90, window_max_kev 100 (whole keV), dose 8, background 0.

Returns a tarvex.meis.Spectra: energy_kev and counts (the total, dose x the sum of the elements
plus the background, as the program draws it), elements ({name: the element's dose-scaled part
on energy_kev}), kinematic_factor, cross_section and scattering_angle by element, step_ev.
Raises ValueError for bad arguments and for values that give no spectrum (the program's
message).
)doc";

template <typename F>
void defineModel(pyb::module_& m, const char* name, F f, const std::string& doc) {
  using namespace pybind11::literals;
  m.def(name, f, doc.c_str(), "elements"_a, pyb::kw_only(), "profiles"_a = pyb::none(),
        "step"_a = pyb::none(), "start"_a = 0.0, "layers"_a = pyb::none(),
        "ion_energy_kev"_a = 100.0, "spread_ev"_a = 180.0, "projectile_mass"_a = 1.0,
        "projectile_z"_a = 1.0, "theta_in"_a = 0.0, "theta_out"_a = 70.0,
        "stopping_ev_per_nm"_a = 192.0, "straggling_ev2_per_nm"_a = 20740.0, "delta_e_kev"_a = 5.0,
        "convolve"_a = true, "scc"_a = true, "window_min_kev"_a = 90, "window_max_kev"_a = 100,
        "dose"_a = 8.0, "background"_a = 0.0);
}

}  // namespace

void registerMeis(pyb::module_& m) {
  using namespace pybind11::literals;
  registerResult<MeisResult>(m, "Spectra", R"doc(
Ion-scattering spectra: energy_kev and counts (the total as the program draws it), elements
({name: part of the counts}), kinematic_factor, cross_section, scattering_angle, step_ev; the
numeric model adds emin_ev, emax_ev, table_step_ev, collisions, bins, tables_built.
)doc");
  pyb::class_<NumericCache>(m, "NumericCache", R"doc(
The numeric model's collision tables, one per element, kept between calls with the values they
were built from. Calls without a cache use one per thread. Pickles as an empty cache.
)doc")
      .def(pyb::init<>())
      .def(pyb::pickle([](const NumericCache&) { return pyb::tuple(); },
                       [](const pyb::tuple&) { return std::make_unique<NumericCache>(); }));
  pyb::class_<ExternalCache>(m, "ExternalCache", R"doc(
The external cross-section model's table, kept between calls with the cross section and values
it was built from. Calls without a cache use one per thread. Pickles as an empty cache.
)doc")
      .def(pyb::init<>())
      .def(pyb::pickle([](const ExternalCache&) { return pyb::tuple(); },
                       [](const pyb::tuple&) { return std::make_unique<ExternalCache>(); }));

  defineModel(
      m, "gaussian",
      [](const pyb::object& e, const pyb::object& p, const pyb::object& st, double s0,
         const pyb::object& l, double a, double b, double c, double d, double ti, double to,
         double sp, double sg, double de, bool cv, bool sc, long long wmin, long long wmax,
         double dose, double bg) {
        return closedForm(true, e, p, st, s0, l, a, b, c, d, ti, to, sp, sg, de, cv, sc, wmin, wmax,
                          dose, bg);
      },
      std::string(R"doc(
The Gaussian ion-scattering model: each depth's loss a Gaussian of the mean loss and the
straggling, on bins of 10 eV.
)doc") + kCommonDoc);
  defineModel(
      m, "bessel",
      [](const pyb::object& e, const pyb::object& p, const pyb::object& st, double s0,
         const pyb::object& l, double a, double b, double c, double d, double ti, double to,
         double sp, double sg, double de, bool cv, bool sc, long long wmin, long long wmax,
         double dose, double bg) {
        return closedForm(false, e, p, st, s0, l, a, b, c, d, ti, to, sp, sg, de, cv, sc, wmin,
                          wmax, dose, bg);
      },
      std::string(R"doc(
The Bessel ion-scattering model: a compound Poisson loss with exponentially distributed single
losses, on bins of 10 eV.
)doc") + kCommonDoc);

  m.def("numeric", &numeric,
        (std::string(R"doc(
The numeric ion-scattering model: per element, n-fold convolutions of the 1/E^2 single-collision
distribution mixed with the profile's Poisson weights of n collisions.
)doc") + kCommonDoc +
         R"doc(
Collision tables: auto True (the grid from the physics), else table_step_ev 10, collisions 5,
bins 1000; cache: a tarvex.meis.NumericCache (None: the thread's own). The result adds
emin_ev, emax_ev, table_step_ev, collisions, bins and tables_built (the elements whose table
this call built).
)doc")
            .c_str(),
        "elements"_a, pyb::kw_only(), "profiles"_a = pyb::none(), "step"_a = pyb::none(),
        "start"_a = 0.0, "layers"_a = pyb::none(), "ion_energy_kev"_a = 100.0,
        "spread_ev"_a = 180.0, "projectile_mass"_a = 1.0, "projectile_z"_a = 1.0,
        "theta_in"_a = 0.0, "theta_out"_a = 70.0, "stopping_ev_per_nm"_a = 192.0,
        "straggling_ev2_per_nm"_a = 20740.0, "delta_e_kev"_a = 5.0, "convolve"_a = true,
        "scc"_a = true, "window_min_kev"_a = 90, "window_max_kev"_a = 100, "dose"_a = 8.0,
        "background"_a = 0.0, "auto"_a = true, "table_step_ev"_a = 10.0, "collisions"_a = 5,
        "bins"_a = 1000, "cache"_a = pyb::none());

  m.def("external", &external,
        (std::string(R"doc(
The external cross-section model: the single-collision distribution and the collision rate from
a table of dsigma/dE (cm^2/eV) of the sample material on 1 eV bins and its molecular density.
)doc") + kCommonDoc +
         R"doc(
Cross section:
    cross_section: the file (pairs "loss_eV value", as the program reads it) or an array
        (value i: loss i eV), required.
    density: molecules/cm^3, 2.8e22.
    collisions: Nc, the highest number of collisions, 100.
    scc_file: a file of the single-collision correction (same format); None uses its closed
        form alpha exp(-alpha E). scc_shift_ev: the shift of the file's correction, 35.
    cache: a tarvex.meis.ExternalCache (None: the thread's own).
The result adds table_built.
)doc")
            .c_str(),
        "elements"_a, pyb::kw_only(), "profiles"_a = pyb::none(), "step"_a = pyb::none(),
        "start"_a = 0.0, "layers"_a = pyb::none(), "ion_energy_kev"_a = 100.0,
        "spread_ev"_a = 180.0, "projectile_mass"_a = 1.0, "projectile_z"_a = 1.0,
        "theta_in"_a = 0.0, "theta_out"_a = 70.0, "stopping_ev_per_nm"_a = 192.0,
        "straggling_ev2_per_nm"_a = 20740.0, "delta_e_kev"_a = 5.0, "convolve"_a = true,
        "scc"_a = true, "window_min_kev"_a = 90, "window_max_kev"_a = 100, "dose"_a = 8.0,
        "background"_a = 0.0, "cross_section"_a = pyb::none(), "density"_a = 2.8e22,
        "collisions"_a = 100, "scc_file"_a = pyb::none(), "scc_shift_ev"_a = 35.0,
        "cache"_a = pyb::none());
}

}  // namespace tarvex::py
