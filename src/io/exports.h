// Calculation exports: ".simulation" curve files, the ".exp" copy of the measured data, the
// single-curve save commands, "Export all" and the "Ultra Exporter".
#pragma once

#include <map>
#include <string>

#include "core/spectro.h"

namespace tarvex {

class Session;

// The text of an ion-scattering curve file (the points of the plot) for one model's spectra.
std::string meisCurveText(Session& s, std::map<std::string, spectro>& spectra);
// The text of an excitation curve file.
std::string excitationCurveText(Session& s, const spectro& curve);
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
