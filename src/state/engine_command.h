// How every engine command ends when it fails: its error status, and running out of memory
// reported in the program's words. A stopped command keeps the status "Stopped".
#pragma once

#include <new>
#include <stdexcept>
#include <string>

#include "core/cancel.h"
#include "state/session.h"

namespace tarvex {

// Runs body. When it fails (not when it is stopped) the status becomes errorStatus and the
// failure propagates; std::bad_alloc becomes "Not enough memory for <what>".
template <typename Body>
void runEngineCommand(Session& s, const std::string& errorStatus, const std::string& what,
                      Body&& body) {
  try {
    try {
      body();
    } catch (const std::bad_alloc&) {
      throw std::runtime_error("Not enough memory for " + what);
    }
  } catch (const Cancelled&) {
    throw;
  } catch (const std::exception&) {
    s.SetStatus(errorStatus);
    throw;
  }
}

}  // namespace tarvex
