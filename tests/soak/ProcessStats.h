#pragma once
// The process's own resource use: resident memory and CPU time.

#include <cstdint>
#include <optional>
#include <string_view>

namespace soak {

// The VmRSS line of a /proc/<pid>/status text, in KiB.
std::optional<std::int64_t> ParseVmRssKb(std::string_view status);
// This process's resident set now, in KiB (nothing when it cannot be read).
std::optional<std::int64_t> ResidentKb();
// Heap the program holds (allocated and not yet freed), in KiB, as the
// address sanitizer's allocator counts it; nothing in other builds. There
// resident memory also holds the sanitizer's own records of every distinct
// allocating call stack, which are never freed, so it grows for as long as
// the program finds new paths even when nothing leaks.
std::optional<std::int64_t> SanitizerHeapKb();
// CPU time this process has used so far (all threads), in seconds.
double ProcessCpuSeconds();

}  // namespace soak
