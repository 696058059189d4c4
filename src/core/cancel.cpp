#include "core/cancel.h"

namespace tarvex {
namespace {

// Not thread-local: the workers of parallelFor must see the token of the command they serve.
std::atomic<CancelToken*> active{nullptr};

}  // namespace

CancelToken* activeCancelToken() {
  return active.load(std::memory_order_acquire);
}

CancelScope::CancelScope(CancelToken& token)
    : previous_(active.exchange(&token, std::memory_order_acq_rel)) {}

CancelScope::~CancelScope() {
  active.store(previous_, std::memory_order_release);
}

void checkCancel() {
  if (cancelRequested()) throw Cancelled();
}

}  // namespace tarvex
