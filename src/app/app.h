// Assembles a session with every command of the program registered, for the GUI, tarvex-cli
// and the tests.
#pragma once

#include "state/session.h"

namespace tarvex {

// Registers every action of every engine and the main window's plot commands.
void registerAllActions(Session& session);

}  // namespace tarvex
