// The resonant NRA commands: each reads the fields of TFNRP and TFOptions into a model's input,
// runs the model and publishes its curve, fields, status, log and chart series.
#pragma once

#include <string>

#include "core/spectro.h"
#include "nra/analytic.h"
#include "nra/numeric.h"

namespace tarvex {

class Session;

// The table's values, read from TFNRP in this order: "Resonance energy", "Max Energy",
// "Stopping Power:", "Straggling:", "Auto Mode", and in manual mode "Step size",
// "# Convolutions:" and "Vector size:".
NraTableParams readNraTableParams(Session& s);
// The numeric model's input: resonance, stopping, straggling, the two widths, then the table's
// values; "Convolve" and (withProfile) the current profile.
NraNumericInput readNraNumericInput(Session& s, bool withProfile = true);
// The analytic model's input: the two widths, "Max Energy", stopping and straggling; "Convolve"
// and (withProfile) the current profile.
NraAnalyticInput readNraAnalyticInput(Session& s, bool withProfile = true);

// Builds the session's collision table from p, with its fields, panels and log; publishes the
// table, its flag and its key together, or on refusal shows the message and clears the flag.
void buildNraTables(Session& s, const NraTableParams& p);
void CalcNRPAutos(Session& s);
void CalcNumericExcitation(Session& s);
void CalcAnaliticExcitation(Session& s);

// Draws an excitation curve (abscissa: energy loss in eV) at beam energies E_R + loss, with the
// dose applied and the background added, into ChartPrinc.<series> and ChartNRPSpec.<series>.
void plotExcitation(Session& s, const spectro& curve, const std::string& series,
                    const std::string& title);
void PlotNumericExcitation(Session& s);
// The layered target's curve, in the numeric model's series under its own name.
void PlotLayeredExcitation(Session& s);
void PlotAnaliticExcitation(Session& s);
void PlotExp(Session& s);

}  // namespace tarvex
