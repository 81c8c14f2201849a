#pragma once

#include <cstdint>

// Counts the allocations made through operator new on threads that opted in (the test binary
// replaces the global operator new and delete).
namespace allocationCounter {
void countThisThread(bool on);
std::int64_t count();
}  // namespace allocationCounter
