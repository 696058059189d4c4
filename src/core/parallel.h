// Splits independent work over the machine's cores.
#pragma once

#include <functional>

namespace tarvex {

// Number of workers parallelFor uses for a given amount of work items.
int workerCount(int items);

// Runs body(worker, begin, end) on consecutive slices of [0, items), one slice per worker, and
// waits for all. Worker w's slice lies before worker w+1's. The first exception is rethrown.
void parallelFor(int items, const std::function<void(int worker, int begin, int end)>& body);

}  // namespace tarvex
