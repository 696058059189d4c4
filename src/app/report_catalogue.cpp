// The controls of the report window (form TFReport): its two pages, their labels with the texts
// the window is created with, the symbols in front of the transport coefficients and the picture
// of the layered sample.
#include <deque>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/report.h"

namespace tarvex {
namespace {

std::vector<ControlSpec> buildReportControls(std::deque<std::string>& pool) {
  using K = ControlKind;
  const auto keep = [&](std::string s) {
    pool.push_back(std::move(s));
    return pool.back().c_str();
  };
  std::vector<ControlSpec> rows;
  const auto label = [&](const char* name, const char* text = "") {
    rows.push_back({keep(std::string("TFReport.") + name), K::Panel, "", text});
  };
  rows.push_back({"TFReport.TabNRP", K::Frame, "RNRA"});
  for (const char* name : {"QRSample", "QRDate", "QREr", "QREGauss", "QRELor", "QRDEDX", "QRS",
                           "QRShift", "QRBack", "QRDose", "QRCalc", "QRFile"}) {
    label(name);
  }
  label("QRVersion", "Tarvex 3.0 Beta");
  label("QRNRNA", keep(std::string("Tarvex ") + kVersion + " - Resonant NRA mode"));

  rows.push_back({"TFReport.TabMEIS", K::Frame, "MEIS"});
  for (const char* name :
       {"QRCalcMEIS", "QRSampleMEIS", "QREnergyMEIS",  "QRGaussMEIS",   "QRDEDXMEIS",
        "QRSMEIS",    "QRShiftMEIS",  "QRDoseMEIS",    "QRIonMass",     "QRZ",
        "QRThetaIn",  "QRThetaOut",   "QRMEISSigma",   "QRNc",          "QRFileMEIS",
        "QRMaxThick", "QRTotal",      "QRFileECSFile", "QRFileSCCFile", "QRDeltaE",
        "QRDateMEIS", "QRLinback",    "QRProfStep",    "QRDensity"}) {
    label(name);
  }
  label("QRVersionMEIS", "Tarvex 3.0 Beta Report");
  label("QRMEIS", keep(std::string("Tarvex ") + kVersion + " - Ion Scattering mode"));
  // The symbols of the stopping and straggling coefficients, written as fractions.
  label("QRSymbolDE", "dE");
  label("QRSymbolDx", "dx");
  label("QRSymbolDW", "dW");
  label("QRSymbolSquare", "2");
  label("QRSymbolDx2", "dx");
  // The picture of the layered sample, painted by a front end with windows.
  label("QRImage1");
  return rows;
}

}  // namespace

const std::vector<ControlSpec>& reportControls() {
  static std::deque<std::string> pool;
  static const std::vector<ControlSpec> rows = buildReportControls(pool);
  return rows;
}

}  // namespace tarvex
