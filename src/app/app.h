// Assembles a session with every command of the program registered, for the GUI, tarvex-cli
// and the tests.
#pragma once

#include "state/session.h"

namespace tarvex {

// The program's version, as the About box and tarvex-cli --version show it.
inline constexpr const char* kVersion = "3.0.0.12";

// Registers every action of every engine and the main window's plot commands.
void registerAllActions(Session& session);

}  // namespace tarvex
