// Calculation exports: ".simulation" curve files, the ".exp" copy of the measured data, the
// single-curve save commands, "Export all" and the "Ultra Exporter".
#pragma once

#include <string>
#include <vector>

#include "core/spectro.h"
#include "state/charts.h"

namespace tarvex {

class Session;

// The text of a curve file: one line "x   y" per point, numbers as printf's "%g".
std::string curveText(const std::vector<ChartPoint>& points);

// The ion-scattering models, each with the plot command that draws its total.
enum class MeisModel { Bessel, Numeric, ExternalCs, Gaussian };
// The points of a model's total over the plot window, exactly as its plot draws them now. The
// plot command is run by its action name and the charts are left as they were.
std::vector<ChartPoint> meisCurve(Session& s, MeisModel model);
// The points of an excitation curve file: energy Er + (i*step - offset)/1000 keV, background
// plus dose times the curve (the energy shift is not applied).
std::vector<ChartPoint> excitationCurve(Session& s, const spectro& curve);
// The measured points but the last, shifted.
std::string measuredDataText(Session& s, double shift);

void SaveAnaliticMEIS(Session& s);
void SaveNumericMEIS(Session& s);
void SaveNumericMEISExt(Session& s);
void SaveGaussianMEIS(Session& s);
void SaveAnaliticExcitation(Session& s);
void SaveNumericExcitation(Session& s);
void ExplortAll(Session& s);
void Ultraexporter(Session& s);

}  // namespace tarvex
