// Counts the heap allocations of the benchmark program, so that a benchmark
// can report how many the receive path makes per answer. The counting
// replacements of the global operator new live in this program only; the
// panel itself is built without them.
#pragma once

#include <cstdint>

namespace halvorn::bench {

// Every successful call of a global operator new (single, array, aligned or
// not) since the program started.
std::uint64_t HeapAllocations();
// The same, made by the calling thread only.
std::uint64_t ThreadHeapAllocations();

}  // namespace halvorn::bench
