#include "app/target_command.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "app/command_progress.h"
#include "app/nra_commands.h"
#include "app/stopping_command.h"
#include "core/numtext.h"
#include "core/stopping_calc.h"
#include "state/engine_command.h"
#include "state/session.h"
#if __has_include("io/r33_file.h")
#include "io/r33_file.h"
#define TARVEX_HAVE_R33 1
#endif

namespace tarvex {
namespace {

constexpr const char* kMemo = "TFTarget.MemoResult";

bool parseDouble(const std::string& text, char sep, double& v) {
  try {
    v = parseFloat(text, sep);
    return std::isfinite(v);
  } catch (const ConversionError&) {
    return false;
  }
}

// "Target, "Thickness 2": <why>"
std::invalid_argument fieldError(const std::string& field, const std::string& why) {
  return std::invalid_argument("Target, \"" + field + "\": " + why);
}

double fieldNumber(Session& s, const std::string& key, const std::string& field) {
  const std::string text = std::string(trim(s.controls().text(key)));
  double v = 0.0;
  if (!parseDouble(text, s.decimalSeparator(), v))
    throw fieldError(field, "'" + text + "' is not a number");
  return v;
}

// A field's text with the session's decimal separator turned into a point, for the readers of
// densities and thicknesses (which take numbers with units).
std::string dotted(const Session& s, std::string text) {
  if (s.decimalSeparator() != '.')
    std::replace(text.begin(), text.end(), s.decimalSeparator(), '.');
  return text;
}

StoppingIon ionOf(Session& s) {
  return s.controls().checked("TFTarget.RadioHelium") ? StoppingIon::Helium : StoppingIon::Proton;
}

}  // namespace

double parseThickness(const std::string& text, double atomsPerCm3) {
  const std::string t = std::string(trim(text));
  std::size_t used = 0;
  double v = 0.0;
  if (!leadingNumber(t, v, used)) throw std::invalid_argument("'" + t + "' is not a thickness");
  const std::string unit = lowerAscii(trim(std::string_view(t).substr(used)));
  if (!(v > 0.0) || !std::isfinite(v))
    throw std::invalid_argument("the thickness " + t + " is not positive");
  double angstrom = 0.0;
  if (unit.empty() || unit == "nm") {
    angstrom = 10.0 * v;
  } else if (unit == "um" || unit == "µm" || unit == "micron") {
    angstrom = 1e4 * v;
  } else if (unit == "a" || unit == "å" || unit == "angstrom") {
    angstrom = v;
  } else if (unit == "tfu" || unit == "1e15/cm2" || unit == "1e15 at/cm2" ||
             unit == "1e15 atoms/cm2") {
    return v;
  } else {
    throw std::invalid_argument("'" + t +
                                "': the unit must be nm, um, A or 1e15/cm2 (thin-film units)");
  }
  return angstrom * atomsPerCm3 * 1e-23;
}

DeepNraInput readLayeredInput(Session& s) {
  ControlStore& c = s.controls();
  DeepNraInput in;
  const StoppingIon ion = ionOf(s);
  const StragglingModel straggling =
      c.checked("TFTarget.RadioChu") ? StragglingModel::Chu : StragglingModel::Bohr;
  const double resonance = s.number("TFNRP.EditEnrg");
  const double maxLoss = s.number("TFNRP.EditMaxE");
  const double below =
      fieldNumber(s, "TFTarget.EditBelow", "Curve starts below the resonance by (keV):");
  in.e0StepEv = fieldNumber(s, "TFTarget.EditStep", "Beam energy step (eV):");
  if (!(in.e0StepEv > 0.0)) throw fieldError("Beam energy step (eV):", "must be positive");
  if (!(below >= 0.0))
    throw fieldError("Curve starts below the resonance by (keV):", "must not be negative");
  if (!(maxLoss > 0.0))
    throw std::invalid_argument("Resonant NRA, \"Max Energy (keV)\": must be positive");
  in.e0MinKeV = std::max(1.0, resonance - below);
  in.e0MaxKeV = resonance + maxLoss;
  in.beamFwhmEv = s.number("TFNRP.EditGauss");
  if (c.checked("TFTarget.RadioHelium")) in.doppler.projectileMassU = 4.001506;

  const double layersValue = fieldNumber(s, "TFTarget.EditLayers", "Layers:");
  const int layers = static_cast<int>(layersValue);
  if (layers < 1 || layers > kMaxTargetLayers || layers != layersValue)
    throw fieldError("Layers:",
                     "give a whole number from 1 to " + std::to_string(kMaxTargetLayers));
  // The session's stopping data: the built-in tables and the user's own loaded in the Stopping
  // window.
  const StoppingSources& sources = sessionStoppingSources(s, ion);
  // Stopping tables over the energies the beam can have: from well below the curve's lowest
  // energy (it slows down in the layers) to its highest.
  const double tableLo = 1.0;
  const double tableHi = in.e0MaxKeV * 1.05;
  for (int k = 1; k <= layers; ++k) {
    const std::string n = std::to_string(k);
    const std::string key = std::string("TFTarget.") + "Edit";  // + field and layer number
    DeepLayer layer;
    StoppingRequest req;
    req.formula = std::string(trim(c.text(key + "Formula" + n)));
    req.straggling = straggling;
    req.energyKeV = resonance;
    try {
      req.density = parseDensity(dotted(s, c.text(key + "Density" + n)));
    } catch (const std::exception& e) {
      throw fieldError("Density " + n, e.what());
    }
    std::vector<FormulaPart> parts;
    try {
      parts = parseFormula(req.formula);
    } catch (const std::exception& e) {
      throw fieldError("Composition " + n, e.what());
    }
    const double atoms = atomsPerUnit(parts);
    // Counts all below 1 are atomic fractions: they must add up to 1.
    if (std::all_of(parts.begin(), parts.end(),
                    [](const FormulaPart& p) { return p.count < 1.0; }) &&
        std::abs(atoms - 1.0) > 1e-3)
      throw fieldError("Composition " + n, "the atomic fractions of " + req.formula +
                                               " add up to " + formatGeneral(atoms, 6) + ", not 1");
    layer.name = req.formula;
    layer.atomsPerCm3 = req.density.kind == SampleDensity::Kind::AtomsPerCm3
                            ? req.density.value
                            : unitsPerCm3(req.density.value, molarMass(parts)) * atoms;
    try {
      layer.arealDensity = parseThickness(dotted(s, c.text(key + "Thick" + n)), layer.atomsPerCm3);
    } catch (const std::exception& e) {
      throw fieldError("Thickness " + n, e.what());
    }
    const std::string fraction = lowerAscii(trim(c.text(key + "Fraction" + n)));
    if (fraction == "profile") {
      // The sample profile's shape, depths from the top of this layer.
      const profile& p = s.state().nraProfile;
      layer.reactingFraction = 1.0;
      for (int i = 0; i < p.count; ++i)
        layer.profile.emplace_back(i * p.step, p.values[static_cast<std::size_t>(i)]);
      if (layer.profile.empty())
        throw fieldError("Reacting fraction " + n,
                         "the profile is empty: draw a layer in the Sample window first");
    } else {
      double f = 0.0;
      if (!parseDouble(fraction, s.decimalSeparator(), f) || !(f >= 0.0 && f <= 1.0))
        throw fieldError("Reacting fraction " + n,
                         "'" + fraction + "' is not an atomic fraction from 0 to 1 or \"profile\"");
      layer.reactingFraction = f;
    }
    const std::string typedS = std::string(trim(c.text(key + "S" + n)));
    const std::string typedW = std::string(trim(c.text(key + "W" + n)));
    if (typedS.empty()) {
      try {
        layer.loss = tabulatedLayerLoss(sources, req, tableLo, tableHi);
      } catch (const std::exception& e) {
        throw fieldError("Composition " + n, e.what());
      }
      if (!typedW.empty())
        throw fieldError("Straggling " + n, "give it with a typed stopping, or leave both empty");
    } else {
      double sv = 0.0;
      double wv = 0.0;
      if (!parseDouble(typedS, s.decimalSeparator(), sv) || !(sv > 0.0))
        throw fieldError("Stopping " + n, "'" + typedS + "' is not a positive stopping in eV/Å");
      if (typedW.empty()) {
        // The straggling model's value at the resonance (it needs no stopping data).
        const double e = resonance / 1000.0 / (ion == StoppingIon::Helium ? 4.001506 : 1.007276);
        double perUnit = 0.0;
        for (const auto& part : parts)
          perUnit += part.count * bohrStragglingAreal(ionCharge(ion), part.z) *
                     (straggling == StragglingModel::Chu ? chuCorrection(part.z, e) : 1.0);
        wv = perUnit / atoms * layer.atomsPerCm3 * 1e-23;
      } else if (!parseDouble(typedW, s.decimalSeparator(), wv) || !(wv >= 0.0)) {
        throw fieldError("Straggling " + n, "'" + typedW + "' is not a variance in eV²/Å");
      }
      layer.loss.constantStopping = sv;
      layer.loss.constantStraggling = wv;
      layer.loss.source = "typed";
    }
    in.layers.push_back(std::move(layer));
  }

  // The reaction.
  CrossSection& xs = in.crossSection;
  xs.resonanceKeV = resonance;
  xs.widthEv = s.number("TFNRP.EditLor");
  if (c.checked("TFTarget.RadioBreitWigner")) {
    xs.kind = CrossSection::Kind::BreitWigner;
    xs.peak = fieldNumber(s, "TFTarget.EditPeak", "Peak cross section (mb/sr):");
    if (!(xs.peak > 0.0)) throw fieldError("Peak cross section (mb/sr):", "must be positive");
    xs.units = "mb/sr";
  } else if (c.checked("TFTarget.RadioR33")) {
    xs.kind = CrossSection::Kind::Table;
    xs.tableKeV = s.state().targetXsKeV;
    xs.tableSigma = s.state().targetXsSigma;
    xs.units = s.state().targetXsUnits;
    if (xs.tableKeV.empty())
      throw fieldError("R33 file:", "no cross section is loaded: use \"Load R33...\"");
  }
  in.doppler.targetMassU = fieldNumber(s, "TFTarget.EditNuclideMass", "Reacting nuclide mass (u):");
  in.doppler.temperatureK =
      fieldNumber(s, "TFTarget.EditTemperature", "Temperature (K; 0: no Doppler):");
  in.doppler.debyeK = fieldNumber(s, "TFTarget.EditDebye", "Debye temperature (K; 0: free gas):");
  if (in.doppler.temperatureK < 0.0)
    throw fieldError("Temperature (K; 0: no Doppler):", "is below 0 K");
  if (in.doppler.debyeK < 0.0)
    throw fieldError("Debye temperature (K; 0: free gas):", "is below 0 K");
  if (in.doppler.temperatureK > 0.0 && !(in.doppler.targetMassU > 0.0))
    throw fieldError("Reacting nuclide mass (u):", "must be positive");
  in.surface.on = c.checked("TFTarget.CheckSurface");
  in.surface.lossKeV =
      fieldNumber(s, "TFTarget.EditSurfaceLoss", "Single-collision table reach (keV):");
  if (in.surface.on && !(in.surface.lossKeV > 0.0))
    throw fieldError("Single-collision table reach (keV):", "must be positive");
  in.perMicroCoulombMsr = c.checked("TFTarget.CheckAbsolute");
  in.chargeState = ion == StoppingIon::Helium ? 2 : 1;
  return in;
}

namespace {

std::string summary(Session& s, const DeepNraInput& in, const DeepNraResult& r) {
  std::ostringstream out;
  const auto g = [&](double v, int digits = 6) {
    return formatGeneral(v, digits, s.decimalSeparator());
  };
  out << "Layered target, " << r.energyKeV.size() << " beam energies, yield " << r.yieldUnit
      << "\n";
  for (std::size_t i = 0; i < in.layers.size(); ++i) {
    const DeepLayer& l = in.layers[i];
    out << "Layer " << i + 1 << " " << l.name << ": " << g(l.arealDensity)
        << " 1e15 atoms/cm2 = " << g(l.thicknessAngstrom() / 10.0)
        << " nm; stopping: " << l.loss.source
        << "; beam at its top (highest energy): " << g(r.layerTopEnergyKeV[i]) << " keV, "
        << g(r.layerTopSigmaEv[i], 4) << " eV sigma\n";
  }
  if (r.handOverDepth > 0.0)
    out << "Single collisions near the surface: " << r.tableCollisions << " collisions, "
        << g(r.collisionsPerAngstrom, 4) << " per Å, Gaussian from " << g(r.handOverDepth / 10.0, 4)
        << " nm\n";
  if (in.doppler.temperatureK > 0.0)
    out << "Doppler: effective temperature " << g(in.doppler.effectiveTemperature(), 5)
        << " K, FWHM "
        << g(2.3548200450309493 * in.doppler.sigmaAt(in.crossSection.resonanceKeV * 1e3), 4)
        << " eV at E_R\n";
  return out.str();
}

void layeredExcitation(Session& s) {
  const DeepNraInput in = readLayeredInput(s);
  s.SetStatus("Calculating the layered excitation curve...");
  CommandProgress progress(s);
  const DeepNraResult r = deepExcitationCurve(in, progress.run());
  // Kept as the NRA curve on the resonance's energy axis: bin i at E0 = Emin + i step.
  spectro curve(static_cast<int>(r.yield.size()), in.e0StepEv);
  for (std::size_t i = 0; i < r.yield.size(); ++i)
    curve.values[i] = r.yield[i];
  curve.offset = (in.crossSection.resonanceKeV - in.e0MinKeV) * 1000.0;
  requireFiniteCurve(s, curve, "The layered excitation curve", s.state().nraProfile);
  s.state().layeredExcitation = std::move(curve);
  s.controls().setText(kMemo, summary(s, in, r));
  PlotLayeredExcitation(s);
  s.SetStatus("Done!");
}

void LoadR33(Session& s) {
#ifdef TARVEX_HAVE_R33
  const auto chosen =
      s.host().openFile({"Load R33 cross section", "R33 files (*.r33)|*.r33|All files (*.*)|*.*",
                         "r33", s.controls().text("TFTarget.EditR33File")});
  if (!chosen) return;
  const R33File f = readR33(*chosen);
  if (f.ratioToRutherford)
    throw std::invalid_argument(*chosen +
                                ": a cross section given as a ratio to Rutherford cannot be used");
  s.state().targetXsKeV = f.energyKeV;
  s.state().targetXsSigma = f.sigma;
  s.state().targetXsUnits = f.units;
  s.controls().setText("TFTarget.EditR33File", *chosen);
  s.controls().setChecked("TFTarget.RadioR33", true);
  s.SetStatus("R33 cross section loaded: " + f.reaction + ", " +
              std::to_string(f.energyKeV.size()) + " points (" + f.units + ")");
#else
  s.host().showMessage("Reading R33 files is not available in this build");
#endif
}

}  // namespace

void registerTargetActions(Session& s) {
  s.registerAction("CalcLayeredExcitation", [&s] {
    runEngineCommand(s, "Layered target ERROR!", "the layered excitation curve",
                     [&] { layeredExcitation(s); });
  });
  s.registerAction("LoadR33", [&s] { LoadR33(s); });
}

}  // namespace tarvex
