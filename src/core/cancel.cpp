#include "core/cancel.h"

namespace tarvex {
namespace {

// Per thread: calls on several threads (Python threads running models) each hear their own
// stop. The workers of parallelFor take the token of the thread whose slices they run.
thread_local CancelToken* active = nullptr;

struct PumpSlot {
  EventPump pump = nullptr;
  void* context = nullptr;
};
thread_local PumpSlot pumpSlot;

}  // namespace

CancelToken* activeCancelToken() {
  return active;
}

CancelScope::CancelScope(CancelToken& token) : CancelScope(&token) {}

CancelScope::CancelScope(CancelToken* token) : previous_(active) {
  active = token;
}

CancelScope::~CancelScope() {
  active = previous_;
}

EventPumpScope::EventPumpScope(EventPump pump, void* context)
    : previousPump_(pumpSlot.pump), previousContext_(pumpSlot.context) {
  pumpSlot = {pump, context};
}

EventPumpScope::~EventPumpScope() {
  pumpSlot = {previousPump_, previousContext_};
}

void checkCancel() {
  if (pumpSlot.pump != nullptr) {
    // Events served here may look for a stop themselves: no pump inside the pump.
    const PumpSlot slot = pumpSlot;
    pumpSlot = {};
    try {
      slot.pump(slot.context);
    } catch (...) {
      pumpSlot = slot;
      throw;
    }
    pumpSlot = slot;
  }
  if (cancelRequested()) throw Cancelled();
}

}  // namespace tarvex
