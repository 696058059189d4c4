// The ion-scattering commands: each reads its fields through its reader, calls its model and
// publishes the result (fields, status, log, the stored spectra and the plotted total) in the
// order the user sees it.
#pragma once

#include <map>
#include <string>

#include "meis/external.h"
#include "meis/numeric.h"
#include "meis/plots.h"
#include "state/session.h"

namespace tarvex {

void CalcGaussianMEIS(Session& s);
void CalcAnaliticMEIS(Session& s);

// Adds the editor's element, then builds the tables of every element from p and publishes them
// with their keys and meisAutoValid together; on refusal shows the message and clears the flag.
void buildMeisTables(Session& s, const MeisTableParams& p);
void CalcMEISAutos(Session& s);
void CalcNumericMEIS(Session& s);

// Adds the editor's element, reads the cross-section file and builds the one table every
// element uses; publishes tables, keys, the raw table and meisExtAutoValid together. A file
// that cannot be read, holds no collision or a value that is not finite ends it with an error.
void buildExtTables(Session& s, const ExtTableParams& p);
void CalcMEISAutosExt(Session& s);
void CalcNumericMEISExt(Session& s);
// "Load SCC": convolves the editor element's external-CS spectrum with the SCC file once more.
void LoadSCC(Session& s);
// The "..." buttons of the external cross-section window.
void chooseLossFile(Session& s, const std::string& editKey);

// The points of a model's total over the window "Min (keV)" .. "Max (keV)", as plotted (an
// element without a spectrum gets an empty one in the map).
MeisTotal meisTotal(Session& s, std::map<std::string, spectro>& spectra, bool lenientSpread);
// Draws the dose-scaled total of one model's spectra over the plotted window, with the
// background, into ChartPrinc.<series> (kept as the ion-scattering curve of the main chart) and
// ChartMEISSpec.<reportSeries>.
void plotMeisTotal(Session& s, std::map<std::string, spectro>& spectra, const std::string& series,
                   const std::string& reportSeries);
void PlotNumericMEIS(Session& s);
void PlotAnaliticMEIS(Session& s);
void PlotGaussianMEIS(Session& s);
void PlotNumericMEISExt(Session& s);
void NormalizeMEISProfiles(Session& s);

// "Element: ", "ki: ", "DEDXef: ", "Sef: " lines of an element's log block (no trailing line).
void logElement(Session& s, const std::string& name, const ElementSetup& e);
// Adds the editor's element when the composition is empty; returns whether it did.
bool ensureComposition(Session& s);

}  // namespace tarvex
