// The batch runs of the "Layered sample" window: the four energy-loss models on the sample at
// hand, or on a single-point concentration marker at chosen depths, exported into one output
// folder. A batch is one command: "Stop" ends it between or inside the models, and every export
// it wrote is whole.
#include <cstdlib>
#include <initializer_list>
#include <stdexcept>
#include <system_error>

#include "app/builders.h"
#include "app/sample_tools.h"
#include "core/cancel.h"
#include "core/profile.h"
#include "state/profile_fit.h"

namespace tarvex {
namespace {

namespace fs = std::filesystem;

const char* environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : nullptr;
}

// The four models, in the order every batch runs them.
struct Engine {
  const char* action;
  const char* model;
};
constexpr Engine kEngines[] = {{"CalcAnaliticMEIS", "Bessel"},
                               {"CalcNumericMEISExt", "External CS"},
                               {"CalcNumericMEIS", "Numeric"},
                               {"CalcGaussianMEIS", "Gaussian"}};

// Runs one model, then lets the windows react: a stop requested meanwhile ends the batch here.
// False when the model ended with an error of its own (its status or message says which).
bool runEngine(Session& s, const Engine& e) {
  const bool failedBefore = s.lastCommandFailed();
  s.invoke(e.action);
  s.eventPoint();
  return failedBefore || !s.lastCommandFailed();
}

// The batches compute ion-scattering spectra; in resonant NRA mode the exporter would write the
// excitation curves instead, which no batch computed.
void requireIonScattering(Session& s) {
  if (s.nraMode()) {
    throw std::invalid_argument(
        "The batch runs of the layered sample compute ion-scattering spectra: choose \"Ion "
        "Scattering\" in the Options first");
  }
}

// The fields the exporter reads, checked before the models run rather than after.
void checkExportFields(Session& s) {
  s.number("TFOptions.EditShift");
  s.number("TFOptions.EditMult");
  s.number("TFOptions.EditBack");
  s.integer("TFMEIS.EditSimMin");
  s.integer("TFMEIS.EditSimMax");
}

// The prefix an export is written under: the output folder and the export's name. A name with a
// '.' in it (x0.5g180) gets the curve extension written out: the exporter would otherwise take
// ".5g180" for an extension and replace it, and x0.5g180 and x0.7g180 would overwrite each
// other's files as x0.
std::string exportPrefix(Session& s) {
  std::string name = exportName(s);
  if (name.find('.') != std::string::npos) name += ".simulation";
  return (batchOutputFolder() / name).string();
}

// Writes the export under the prefix field's name. A stop requested meanwhile waits until the
// last file of the export is written: a batch never leaves an export with some of its files.
void writeExport(Session& s) {
  {
    CancelToken later;
    CancelScope scope(later);
    s.invoke("Ultraexporter");
  }
  checkCancel();
}

// "Ultraexport it" inside a batch.
void ultraexport(Session& s) {
  s.updatebkgrnd();
  const std::string prefix = exportPrefix(s);
  s.controls().setText("TFLayers.EditFileName", prefix);
  s.eventPoint();
  s.controls().setChecked("TFMEIS.CheckSCCorr", true);
  for (const Engine& e : kEngines) {
    // The other models' curves beside a stale or missing one would be exported as one sample.
    if (!runEngine(s, e)) {
      throw std::runtime_error("No export written for " + prefix + ": the " + e.model +
                               " calculation failed");
    }
  }
  writeExport(s);
  // Cleared after the export, so that its profile listings show the sample its curves are of.
  clearElementProfiles(s);
  s.Plotprofile();
}

// The marker of the batch runs: a concentration of 1 in the single point at depth d, index
// ceil(d/p) for the profile step p, of the profile the sample window shows when the run starts.
// The models re-select the composition's first element when they add the editor's element, so
// every marker of a run goes into the profile chosen at its start.
class Marker {
 public:
  // Reads the profile step and refuses a run whose deepest marker lies beyond the profile.
  Marker(Session& s, double deepest)
      : s_(s), target_(s.state().currentProfile), step_(s.number("TFMEIS.EditProfstep")) {
    if (!target_.nra && s.state().elementMap.count(target_.element) == 0) {
      throw std::invalid_argument(
          "The sample window shows no element of the composition: add the sample's elements "
          "first");
    }
    const profile& p = target();
    if (index(deepest) >= p.count) {
      throw std::invalid_argument(
          "No marker can be placed at depth " + general(s, deepest) + ": the profile of \"" +
          target_.element + "\" ends at depth " + general(s, p.count * p.step) +
          " (\"Thickness\" must reach beyond it, applied with \"Update plot\")");
    }
  }
  void place(double depth) { target().setValue(index(depth), 1.0F); }

 private:
  profile& target() {
    WorkingState& st = s_.state();
    return target_.nra ? st.nraProfile : st.elementProfiles[target_.element];
  }
  // ceil(d/p), a quotient a rounding error above a whole number counting as that number.
  int index(double depth) const { return pointsFor(depth, step_, "\"Step:\""); }

  Session& s_;
  ProfileRef target_;
  double step_;
};

// "F(DE,1nm)" and "Hf delta at 0.5nm": the four models on a marker at 5 A alone, with or without
// the single-collision correction per model, under the name an export would have.
void markerAt5(Session& s, const bool (&scc)[4], bool sccAtEnd) {
  requireIonScattering(s);
  Marker marker(s, 5);
  ControlStore& c = s.controls();
  clearElementProfiles(s);
  c.setChecked("TFOptions.CheckConv", false);
  s.setNumber("TFLayers.EditThickL1", 5);
  marker.place(5);
  s.Plotprofile();
  s.updatebkgrnd();
  c.setText("TFLayers.EditFileName", exportPrefix(s));
  s.eventPoint();
  try {
    for (int i = 0; i < 4; ++i) {
      c.setChecked("TFMEIS.CheckSCCorr", scc[i]);
      runEngine(s, kEngines[i]);
    }
  } catch (...) {
    c.setChecked("TFMEIS.CheckSCCorr", sccAtEnd);  // a stop leaves the switch as the run would
    throw;
  }
  c.setChecked("TFMEIS.CheckSCCorr", sccAtEnd);
}

}  // namespace

fs::path batchOutputFolder() {
  fs::path folder;
  if (const char* own = environment("TARVEX_BATCH_DIR")) {
    folder = own;
  } else {
    fs::path documents;
    if (const char* xdg = environment("XDG_DOCUMENTS_DIR")) {
      documents = xdg;
    } else if (const char* home = environment("HOME")) {
      documents = fs::path(home) / "Documents";
    } else {
      throw std::runtime_error(
          "There is no documents folder for the batch exports (HOME is not set): set "
          "TARVEX_BATCH_DIR to the folder they go to");
    }
    folder = documents / "tarvex-batch";
  }
  std::error_code ec;
  folder = fs::absolute(folder, ec);
  if (!ec) fs::create_directories(folder, ec);
  if (ec || !fs::is_directory(folder)) {
    throw std::runtime_error("Cannot create the output folder " + folder.string() +
                             (ec ? ": " + ec.message() : std::string()));
  }
  return folder;
}

std::string exportName(Session& s) {
  const double x = s.number("TFLayers.EditThickL1");
  const double w = s.controls().checked("TFOptions.CheckConv") ? s.number("TFMEIS.EditGauss") : 0.0;
  std::string name = "x";
  name += general(s, x);
  name += 'g';
  name += general(s, w);
  return name;
}

void ultraexportLayers(Session& s) {
  requireIonScattering(s);
  checkExportFields(s);
  ultraexport(s);
}

void doALot(Session& s) {
  requireIonScattering(s);
  checkExportFields(s);
  Marker marker(s, 50);
  s.setNumber("TFMEIS.EditGauss", 200);
  s.controls().setChecked("TFOptions.CheckConv", true);
  clearElementProfiles(s);  // the first export too holds its marker alone
  for (const double d : {1.0, 5.0, 15.0, 30.0, 50.0}) {
    s.setNumber("TFLayers.EditThickL1", d);
    marker.place(d);
    ultraexport(s);
  }
}

void doABit(Session& s) {
  requireIonScattering(s);
  checkExportFields(s);
  Marker marker(s, 20);
  ControlStore& c = s.controls();
  clearElementProfiles(s);  // the first export too holds its marker alone
  for (const double d : {5.0, 10.0, 20.0}) {
    s.setNumber("TFLayers.EditThickL1", d);
    c.setChecked("TFOptions.CheckConv", false);
    marker.place(d);
    ultraexport(s);
    c.setChecked("TFOptions.CheckConv", true);
    for (const double spread : {10.0, 20.0, 40.0, 100.0, 150.0, 200.0}) {
      s.setNumber("TFMEIS.EditGauss", spread);
      marker.place(d);
      ultraexport(s);
    }
  }
}

void markerAt1nm(Session& s) {
  const bool scc[4] = {false, false, false, false};
  markerAt5(s, scc, false);
}

void hfDeltaAtHalfNm(Session& s) {
  const bool scc[4] = {true, true, true, false};
  markerAt5(s, scc, true);
}

}  // namespace tarvex
