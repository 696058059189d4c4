// The sample builders: the "Uniform sample" (TFHG) and "Layered sample" (TFLayers) windows,
// which build ion-scattering samples from a few numbers, and the batch runs of the layered
// window that export the response of the four energy-loss models to a single-point marker.
//
// Each button is a command of the session bound to its control: a click in the window, a
// `click TFLayers.Button9` line of tarvex-cli and a test all run it the same way. The functions
// below are the bodies of those commands; they run inside a command of the session (busy, with
// its stop token), never on their own.
#pragma once

#include <filesystem>
#include <string>

#include "state/session.h"

namespace tarvex {

// The folder the batch runs write their exports into: the folder named by the environment
// variable TARVEX_BATCH_DIR when it is set and not empty, else "tarvex-batch" in the user's
// documents folder ($XDG_DOCUMENTS_DIR, else $HOME/Documents). Created, with its parents, when
// missing; throws std::runtime_error naming the folder when it cannot be.
std::filesystem::path batchOutputFolder();

// Binds every button of both windows to its command.
void registerBuilderActions(Session& s);

// ---- "Uniform sample" ---------------------------------------------------------------------------
// "Calculate": every checked row becomes an element with its Qtd from the surface down to
// "Thickness", then the selected model runs.
void buildUniformSample(Session& s);
// "Normalize": the Qtd of the checked rows divided by their sum.
void normalizeUniformSample(Session& s);
// "Titanium": the five titanium isotopes in rows 1 to 5, the other rows unchecked.
void fillTitanium(Session& s);

// ---- "Layered sample" ---------------------------------------------------------------------------
// "Add" of layer k (1..6): the layer's concentrations drawn between its depths.
void addLayer(Session& s, int k);
// "Add Hf", "Add Zr", "Add Si", "Add O", "Add Al" (index 0..4) and "Add All".
void addPresetElement(Session& s, int index);
void addAllPresets(Session& s);
// "Calculate": every element profile rebuilt from the layers, then the selected model.
void buildLayeredSample(Session& s);
// "Ultraexport it": the four models on the sample at hand, exported into the output folder.
void ultraexportLayers(Session& s);
// "Do a lot", "Do a bit": one export per marker depth and energy spread.
void doALot(Session& s);
void doABit(Session& s);
// "F(DE,1nm)", "Hf delta at 0.5nm": the four models on a marker at 5 A, without export.
void markerAt1nm(Session& s);
void hfDeltaAtHalfNm(Session& s);

// The name "x" + thickness of layer 1 + "g" + energy spread (0 without "Convolve") that
// "Ultraexport it" exports under, with the numbers as the fields show them.
std::string exportName(Session& s);

}  // namespace tarvex
