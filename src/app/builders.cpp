// The "Uniform sample" and "Layered sample" windows: samples built from rows of elements and
// from stacked layers, the element presets of 100 keV protons, and the binding of every button.
#include "app/builders.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "app/sample_tools.h"
#include "core/numtext.h"

namespace tarvex {
namespace {

std::string key(const char* control, int index) {
  return std::string(control) + std::to_string(index);
}

std::string uniformKey(const char* control, int row) {
  return key((std::string("TFHG.") + control).c_str(), row);
}

// "TFLayers.EditEl3L2": slot 3 of layer 2.
std::string layerKey(const char* control, int slot, int layer) {
  return std::string("TFLayers.") + control + std::to_string(slot) + "L" + std::to_string(layer);
}

// The elements of the "100 keV" group: name, mass, Z and the single-collision-correction
// energy sigma in eV.
struct Preset {
  const char* name;
  double mass;
  int z;
  double sigma;
};
constexpr std::array<Preset, 5> kPresets = {{{"Hf", 178.5, 72, 187},
                                             {"Zr", 91.2, 40, 167.8},
                                             {"Si", 28, 14, 121},
                                             {"O", 16, 8, 102.2},
                                             {"Al", 27, 13, 122.7}}};

// The titanium isotopes of "Titanium" with their natural abundances.
struct Isotope {
  const char* name;
  double mass;
  double abundance;
};
constexpr std::array<Isotope, 5> kTitanium = {{{"Titanium46", 46, 0.0825},
                                               {"Titanium47", 47, 0.0744},
                                               {"Titanium48", 48, 0.7372},
                                               {"Titanium49", 49, 0.0541},
                                               {"Titanium50", 50, 0.0518}}};

}  // namespace

// ---- Shared
// ---------------------------------------------------------------------------------------

void clearElementProfiles(Session& s) {
  WorkingState& st = s.state();
  for (const auto& [name, record] : st.elementMap) {
    std::vector<double>& v = st.elementProfiles[name].values;
    std::fill(v.begin(), v.end(), 0.0);
  }
}

void showSelectedProfile(Session& s) {
  if (s.nraMode()) {
    s.Plotprofile();
  } else {
    s.selectElement();
  }
}

std::string general(const Session& s, double value) {
  return formatGeneral(value, 15, s.decimalSeparator());
}

// ---- "Uniform sample" ---------------------------------------------------------------------------

void buildUniformSample(Session& s) {
  ControlStore& c = s.controls();
  // Every field is read before the composition changes: a row that does not convert adds no
  // element at all.
  const double t = s.number("TFHG.Editthickness");
  struct Row {
    int r;
    double q;
  };
  std::vector<Row> rows;
  for (int r = 1; r <= 8; ++r) {
    if (!c.checked(uniformKey("Check", r))) continue;
    const double q = s.number(uniformKey("EditQtd", r));
    s.integer(uniformKey("EditZ", r));
    s.number(uniformKey("EditM", r));
    s.number(uniformKey("EditSigma", r));
    rows.push_back({r, q});
  }
  s.number("TFMEIS.EditProfstep");

  c.setText("TFMEIS.EditMaxDepth", c.text("TFHG.Editthickness"));
  s.Updateplot();
  for (const Row& row : rows) {
    const std::string name = c.text(uniformKey("Editel", row.r));
    c.setText("TFMEIS.EditElname", name);
    c.setText("TFMEIS.EditMass", c.text(uniformKey("EditM", row.r)));
    c.setText("TFMEIS.EditZ", c.text(uniformKey("EditZ", row.r)));
    c.setText("TFMEIS.EditSCL", c.text(uniformKey("EditSigma", row.r)));
    s.AddElement();
    // A constant concentration from the surface down to the common thickness.
    s.state().elementProfiles[name].drawLine(0.0, row.q, t, row.q);
  }
  showSelectedProfile(s);
  s.CalcSimulation();
}

void normalizeUniformSample(Session& s) {
  const ControlStore& c = s.controls();
  std::vector<std::pair<int, double>> rows;
  double sum = 0.0;
  for (int r = 1; r <= 8; ++r) {
    if (!c.checked(uniformKey("Check", r))) continue;
    const double q = s.number(uniformKey("EditQtd", r));
    rows.emplace_back(r, q);
    sum += q;
  }
  // Dividing by 0 would write "nan" or "inf" over every amount typed in.
  if (sum == 0.0 || !std::isfinite(sum)) {
    throw std::invalid_argument("The checked Qtd values sum to " + general(s, sum) +
                                ": they cannot be normalized");
  }
  for (const auto& [r, q] : rows)
    s.setNumber(uniformKey("EditQtd", r), q / sum);
}

void fillTitanium(Session& s) {
  ControlStore& c = s.controls();
  for (int r = 1; r <= 5; ++r) {
    const Isotope& iso = kTitanium[static_cast<std::size_t>(r - 1)];
    c.setText(uniformKey("Editel", r), iso.name);
    s.setNumber(uniformKey("EditZ", r), 22);
    s.setNumber(uniformKey("EditM", r), iso.mass);
    s.setNumber(uniformKey("EditSigma", r), 137.4);
    s.setNumber(uniformKey("EditQtd", r), iso.abundance);
  }
  for (int r = 1; r <= 8; ++r)
    c.setChecked(uniformKey("Check", r), r <= 5);
}

// ---- "Layered sample" ---------------------------------------------------------------------------

void addLayer(Session& s, int k) {
  if (k == 1) {
    s.host().paintWindowIntoReport("TFLayers", "TFReport.QRImage1");
    s.eventPoint();
  }
  // The layer lies below the layers above it; every field is read before a profile changes.
  double start = 0.0;
  for (int j = 1; j < k; ++j)
    start += s.number(key("TFLayers.EditThickL", j));
  const double end = start + s.number(key("TFLayers.EditThickL", k));
  std::vector<std::pair<std::string, double>> slots;
  for (int slot = 1; slot <= 5; ++slot) {
    const std::string& name = s.controls().text(layerKey("EditEl", slot, k));
    if (name.empty()) continue;
    slots.emplace_back(name, s.number(layerKey("EditQtd", slot, k)));
  }
  // A name without a profile gets an empty one: it draws nothing until the element is added.
  for (const auto& [name, q] : slots)
    s.state().elementProfiles[name].drawLine(start, q, end, q);
  showSelectedProfile(s);
}

void addPresetElement(Session& s, int index) {
  const Preset& p = kPresets.at(static_cast<std::size_t>(index));
  s.controls().setText("TFMEIS.EditElname", p.name);
  s.setNumber("TFMEIS.EditMass", p.mass);
  s.setNumber("TFMEIS.EditZ", p.z);
  s.setNumber("TFMEIS.EditSCL", p.sigma);
  s.AddElement();
}

void addAllPresets(Session& s) {
  for (int i = 0; i < static_cast<int>(kPresets.size()); ++i)
    addPresetElement(s, i);
}

void buildLayeredSample(Session& s) {
  const double x = s.number("TFLayers.EditThickL1");
  const double w = s.controls().checked("TFOptions.CheckConv") ? s.number("TFMEIS.EditGauss") : 0.0;
  s.controls().setText("TFLayers.EditFileName", "x =" + general(s, x) + ", FWHM= " + general(s, w));
  clearElementProfiles(s);
  s.Plotprofile();
  for (int k = 1; k <= 6; ++k)
    addLayer(s, k);
  s.CalcSimulation();
}

// ---- Binding ------------------------------------------------------------------------------------

void registerBuilderActions(Session& s) {
  ControlStore& c = s.controls();
  c.onClick("TFHG.Button1", [&s] { buildUniformSample(s); });
  c.onClick("TFHG.Button2", [&s] { normalizeUniformSample(s); });
  c.onClick("TFHG.Button3", [&s] { fillTitanium(s); });
  for (int k = 1; k <= 6; ++k)
    c.onClick(key("TFLayers.BitBtn", k), [&s, k] { addLayer(s, k); });
  for (int i = 0; i < static_cast<int>(kPresets.size()); ++i)
    c.onClick(key("TFLayers.Button", i + 1), [&s, i] { addPresetElement(s, i); });
  c.onClick("TFLayers.Button7", [&s] { addAllPresets(s); });
  c.onClick("TFLayers.Button6", [&s] { buildLayeredSample(s); });
  c.onClick("TFLayers.ButtonUltra", [&s] { ultraexportLayers(s); });
  c.onClick("TFLayers.Button8", [&s] { doALot(s); });
  c.onClick("TFLayers.Button9", [&s] { doABit(s); });
  c.onClick("TFLayers.Button11", [&s] { markerAt1nm(s); });
  c.onClick("TFLayers.Button12", [&s] { hfDeltaAtHalfNm(s); });
}

}  // namespace tarvex
