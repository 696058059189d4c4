// Splits independent work into slices fixed by the problem and runs them on the worker threads.
// Callers keep one partial result per slice and combine them in slice order, so a result has the
// same bits whatever the number of threads.
#pragma once

#include <functional>
#include <string_view>

namespace tarvex {

// Number of slices parallelFor cuts `items` into: a function of `items` alone, never of the
// machine (at most 16, at least 1).
int sliceCount(int items);
// The same number under its older name (callers that keep one partial sum per slice).
int workerCount(int items);

// Runs body(slice, begin, end) for every slice of [0, items): slice s covers
// [items*s/S, items*(s+1)/S) with S = sliceCount(items), so slice s lies before slice s+1. The
// slices run on the worker threads in any order, each exactly once, and parallelFor waits for
// all. When a slice throws, the slices not yet started are skipped and the exception of the
// lowest failed slice is rethrown. A parallelFor inside a slice, or called from another thread
// while one runs, runs its slices one after the other on the calling thread.
void parallelFor(int items, const std::function<void(int slice, int begin, int end)>& body);

// Threads parallelFor runs on: the environment variable TARVEX_THREADS when it holds a whole
// number from 1 on, otherwise the machine's cores (at most 8).
int workerThreads();
// The thread count a TARVEX_THREADS value asks for (a whole number from 1 on, blanks around
// it allowed, at most 256), or 0 when the text is no such number and the setting is ignored.
int threadsFromSetting(std::string_view text);
// Sets the number of threads from now on (values below 1 mean 1). Waits for a parallelFor that
// runs on another thread; must not be called from inside a slice.
void setWorkerThreads(int threads);

}  // namespace tarvex
