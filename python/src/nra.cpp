// tarvex.nra: the numeric and analytic resonant NRA excitation curves.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <mutex>
#include <optional>

#include "bindings.h"
#include "convert.h"
#include "core/curve_checks.h"
#include "core/limits.h"
#include "core/physics.h"
#include "nra/analytic.h"
#include "nra/numeric.h"

namespace tarvex::py {
namespace {

struct NraCurve : Result {};

// A collision-table cache a caller owns. Calls through one cache take turns; each thread that
// passes none uses a cache of its own.
struct NumericCache {
  std::mutex mutex;
  NraNumericCache cache;
};

NraNumericCache& threadCache() {
  thread_local NraNumericCache cache;
  return cache;
}

ExcitationBroadening broadening(double resonanceFwhm, double beamSpread, bool convolve) {
  ExcitationBroadening b;
  b.convolve = convolve;
  b.resonanceWidth = nonNegative(resonanceFwhm, "resonance_fwhm_ev");
  b.beamSpread = nonNegative(beamSpread, "beam_spread_ev");
  return b;
}

// The curve's arrays as the program draws it: beam energies E_R + loss, and counts of the dose
// with the flat background added after it. Computed without the GIL; handed to NumPy as they
// are.
struct CurveArrays {
  std::vector<double> energy, loss, yield, counts;
  double step = 0.0, offset = 0.0;

  CurveArrays(spectro&& curve, double resonance, double dose, double background)
      : step(curve.step), offset(curve.offset) {
    const std::size_t n = curve.values.size();
    energy.resize(n);
    loss.resize(n);
    counts.resize(n);
    // The program's flat background line: its value is the same at every finite energy.
    const double base = lineValue(backgroundLine{0.0, background, 1.0, background}, resonance);
    for (int i = 0; i < curve.size(); ++i) {
      const auto k = static_cast<std::size_t>(i);
      energy[k] = excitationEnergy(curve, i, resonance);
      loss[k] = i * curve.step - curve.offset;
      counts[k] = base + curve.values[k] * dose;
    }
    yield = std::move(curve.values);
  }

  void into(pyb::dict& f, double resonance, double dose, double background) {
    f["energy_kev"] = toArray(std::move(energy));
    f["loss_ev"] = toArray(std::move(loss));
    f["yield_per_dose"] = toArray(std::move(yield));
    f["counts"] = toArray(std::move(counts));
    f["step_ev"] = step;
    f["offset_ev"] = offset;
    f["resonance_kev"] = resonance;
    f["dose"] = dose;
    f["background"] = background;
  }
};

pyb::object numeric(const pyb::object& concentration, const pyb::object& step, double start,
                    const pyb::object& layers, double resonance, double maxEnergy, double stopping,
                    double straggling, double resonanceFwhm, double beamSpread, bool convolve,
                    bool autoGrid, double tableStep, long long collisions, long long bins,
                    double dose, double background, NumericCache* cache) {
  NraNumericInput in;
  in.table.resonance = positive(resonance, "resonance_kev");
  in.table.maxEnergy = positive(maxEnergy, "max_energy_kev");
  in.table.stopping = positive(stopping, "stopping");
  in.table.straggling = positive(straggling, "straggling");
  in.table.autoMode = autoGrid;
  if (!autoGrid) {
    in.table.step = positive(tableStep, "table_step_ev");
    in.table.nc = whole(collisions, "collisions", 1, 100000);
    in.table.bins = whole(bins, "bins", 2, static_cast<long long>(kMaxGridPoints));
  }
  in.broadening = broadening(resonanceFwhm, beamSpread, convolve);
  finite(dose, "dose");
  finite(background, "background");
  in.depth = depthProfile(concentration, step, start, layers);

  NraNumericResult r;
  std::optional<CurveArrays> arrays;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    r = onCache(cache, threadCache(), [&](auto& held) { return numericExcitationCurve(in, held); });
    requireFiniteCurve(r.curve, "The numeric excitation curve", in.depth);
    arrays.emplace(std::move(r.curve), resonance, dose, background);
  }
  NraCurve out;
  arrays->into(out.fields, resonance, dose, background);
  out.fields["model"] = "numeric";
  out.fields["emin_ev"] = r.collision.emin;
  out.fields["emax_ev"] = r.collision.emax;
  out.fields["mean_loss_per_collision_ev"] = r.collision.lambda;
  out.fields["collision_sigma_ev"] = r.collision.sigma1;
  out.fields["table_step_ev"] = r.grid.step;
  out.fields["collisions"] = static_cast<long long>(r.grid.nc);
  out.fields["bins"] = static_cast<long long>(r.grid.bins);
  out.fields["table_built"] = r.tableBuilt;
  return pyb::cast(std::move(out));
}

pyb::object analytic(const pyb::object& concentration, const pyb::object& step, double start,
                     const pyb::object& layers, double resonance, double maxEnergy, double stopping,
                     double straggling, double resonanceFwhm, double beamSpread, bool convolve,
                     double dose, double background) {
  NraAnalyticInput in;
  finite(resonance, "resonance_kev");
  in.maxEnergy = positive(maxEnergy, "max_energy_kev");
  in.stopping = positive(stopping, "stopping");
  in.straggling = positive(straggling, "straggling");
  in.broadening = broadening(resonanceFwhm, beamSpread, convolve);
  finite(dose, "dose");
  finite(background, "background");
  in.depth = depthProfile(concentration, step, start, layers);
  std::optional<CurveArrays> arrays;
  {
    pyb::gil_scoped_release release;
    const Interruptible interruptible;
    checkAnalyticInput(in);
    checkAnalyticWork(in);
    spectro curve = analyticExcitation(in);
    requireFiniteCurve(curve, "The analytic excitation curve", in.depth);
    arrays.emplace(std::move(curve), resonance, dose, background);
  }
  NraCurve out;
  arrays->into(out.fields, resonance, dose, background);
  out.fields["model"] = "analytic";
  return pyb::cast(std::move(out));
}

constexpr const char* kProfileArgs = R"doc(
Sample (one of the two):
    profile: 1-D array of the resonant nuclide's concentration, one value per depth point from
        the surface down (as the program's sample profile), with
    step: its depth step in Å (needed with an array; with layers the grid step, default 0.005),
    start: depth (Å) where the sample begins; points above it are the contamination layer
        (default 0).
    layers: a list of layers from the surface down, each (thickness_A, concentration) or
        (thickness_A, concentration, sigma_A) or a dict with those keys ("thickness",
        "concentration", "sigma"): sigma is the width of the error-function edge at the
        layer's lower boundary. Below the last layer the concentration is 0.
)doc";

constexpr const char* kResultDoc = R"doc(
Returns a tarvex.nra.Curve with
    energy_kev: beam energies E_R + loss (keV) of the points,
    loss_ev: energy loss above the resonance (eV),
    yield_per_dose: the model's yield per unit dose,
    counts: background + dose * yield_per_dose (what the program draws),
    step_ev, offset_ev, resonance_kev, dose, background, model.
)doc";

}  // namespace

void registerNra(pyb::module_& m) {
  using namespace pybind11::literals;
  registerResult<NraCurve>(m, "Curve", R"doc(
A resonant NRA excitation curve: energy_kev, loss_ev, yield_per_dose and counts (NumPy arrays),
and the values the program shows (numeric model: emin_ev, emax_ev,
mean_loss_per_collision_ev, collision_sigma_ev, table_step_ev, collisions, bins, table_built).
)doc");

  pyb::class_<NumericCache>(m, "NumericCache", R"doc(
A cache of the numeric model's collision table and Poisson weights.

The table is rebuilt only when a value it is built from changes (resonance, stopping,
straggling, maximum energy, grid); pass the same cache to calls that share those values. Calls
that pass no cache use one cache per thread. Calls through one cache object take turns, so
give each thread its own. A cache pickles as an empty cache.
)doc")
      .def(pyb::init<>())
      .def(
          "clear",
          [](NumericCache& c) {
            pyb::gil_scoped_release release;
            std::lock_guard<std::mutex> lock(c.mutex);
            c.cache = NraNumericCache{};
          },
          "Forgets the table and the weights.")
      .def(pyb::pickle([](const NumericCache&) { return pyb::tuple(); },
                       [](const pyb::tuple&) { return std::make_unique<NumericCache>(); }));

  const std::string numericDoc = std::string(R"doc(
The numeric resonant NRA excitation curve: n-fold convolutions of the 1/E^2 single-collision
distribution (the collision table), weighted by the profile-integrated Poisson probabilities of
n collisions, then broadened by the resonance's Lorentzian and the beam's Gaussian.

The defaults are the program's start-up values.
)doc") + kProfileArgs + R"doc(
Model:
    resonance_kev: resonance energy E_R (keV), 151.
    max_energy_kev: the highest energy loss the table holds (keV, Auto mode), 5.
    stopping: stopping power (eV/Å), 548.56.
    straggling: straggling, sqrt(keV^2 per 1000 Å), 6.62.
    resonance_fwhm_ev: resonance width (eV, the Lorentzian's half width), 100.
    beam_spread_ev: beam energy spread (eV FWHM of a Gaussian), 100.
    convolve: broaden by the two widths, True.
    auto: choose the table's grid from the physics (True), else the three values:
    table_step_ev: 10, collisions: highest number of collisions, 5, bins: 1000.
    dose: ion dose the yield is multiplied by, 8.
    background: flat background added to the counts, 0.
    cache: a tarvex.nra.NumericCache; None uses the calling thread's own.
)doc" + kResultDoc +
                                 R"doc(    and emin_ev, emax_ev, mean_loss_per_collision_ev,
    collision_sigma_ev, table_step_ev, collisions, bins, table_built.

Raises ValueError for bad arguments or inputs without a curve.
)doc";
  m.def("numeric", &numeric, numericDoc.c_str(), "profile"_a = pyb::none(), pyb::kw_only(),
        "step"_a = pyb::none(), "start"_a = 0.0, "layers"_a = pyb::none(),
        "resonance_kev"_a = 151.0, "max_energy_kev"_a = 5.0, "stopping"_a = 548.56,
        "straggling"_a = 6.62, "resonance_fwhm_ev"_a = 100.0, "beam_spread_ev"_a = 100.0,
        "convolve"_a = true, "auto"_a = true, "table_step_ev"_a = 10.0, "collisions"_a = 5,
        "bins"_a = 1000, "dose"_a = 8.0, "background"_a = 0.0, "cache"_a = pyb::none());

  const std::string analyticDoc = std::string(R"doc(
The analytic ("Bessel") resonant NRA excitation curve: a compound Poisson energy loss with
exponentially distributed single losses, weighted by the depth profile, on bins of 10 eV, then
broadened by the resonance's Lorentzian and the beam's Gaussian.

The defaults are the program's start-up values.
)doc") + kProfileArgs + R"doc(
Model:
    resonance_kev: resonance energy E_R (keV; the energy axis), 151.
    max_energy_kev: the highest energy loss of the curve (keV), 5.
    stopping: stopping power (eV/Å), 548.56.
    straggling: straggling, sqrt(keV^2 per 1000 Å), 6.62.
    resonance_fwhm_ev: 100, beam_spread_ev: 100, convolve: True, dose: 8, background: 0.
)doc" + kResultDoc + R"doc(
Raises ValueError for bad arguments or inputs without a curve.
)doc";
  m.def("analytic", &analytic, analyticDoc.c_str(), "profile"_a = pyb::none(), pyb::kw_only(),
        "step"_a = pyb::none(), "start"_a = 0.0, "layers"_a = pyb::none(),
        "resonance_kev"_a = 151.0, "max_energy_kev"_a = 5.0, "stopping"_a = 548.56,
        "straggling"_a = 6.62, "resonance_fwhm_ev"_a = 100.0, "beam_spread_ev"_a = 100.0,
        "convolve"_a = true, "dose"_a = 8.0, "background"_a = 0.0);
}

}  // namespace tarvex::py
