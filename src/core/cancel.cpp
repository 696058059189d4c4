#include "core/cancel.h"

namespace tarvex {
namespace {

// Not thread-local: the workers of parallelFor must see the token of the command they serve.
std::atomic<CancelToken*> active{nullptr};

struct PumpSlot {
  EventPump pump = nullptr;
  void* context = nullptr;
};
thread_local PumpSlot pumpSlot;

}  // namespace

CancelToken* activeCancelToken() {
  return active.load(std::memory_order_acquire);
}

CancelScope::CancelScope(CancelToken& token)
    : previous_(active.exchange(&token, std::memory_order_acq_rel)) {}

CancelScope::~CancelScope() {
  active.store(previous_, std::memory_order_release);
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
