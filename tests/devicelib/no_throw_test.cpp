// No C++ exception crosses the C interface: with every allocation failing,
// the very first calls into the library (which create its state) and an
// open (which builds a port name) fail with 0 instead of unwinding into a
// C caller, and the library works once memory is back.
//
// This program replaces the global allocation functions, so it is an
// executable of its own.

#include "PtyPeer.h"
#include "Talvex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<bool> g_failAllocations{false};
}  // namespace

// GCC cannot tell that these replace the global functions and would warn
// that memory from operator new is released with free().
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size)
{
    if (g_failAllocations.load())
        throw std::bad_alloc();
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(NoThrowTest, FailedAllocationsBecomeFailuresNotExceptions)
{
    CPtyPeer peer;
    g_failAllocations = true;
    int results[7] = {-1, -1, -1, -1, -1, -1, -1};
    try {
        // The process's first call: it is the one that creates the state.
        results[0] = GetLastOpenError();
        results[1] = IsOpen();
        results[2] = GetLastCommError();
        results[3] = StartUp(0);
        results[4] = CloseComm();
        results[5] = OpenCommPath(peer.Path(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
        results[6] = OpenComm(1, 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr);
    } catch (...) {
        g_failAllocations = false;
        FAIL() << "an exception crossed the C interface";
    }
    g_failAllocations = false;
    for (const int result : results)
        EXPECT_EQ(result, 0);  // TALVEX_OPEN_OK for the first

    ASSERT_EQ(OpenCommPath(peer.Path(), 57600, TALVEX_PARITY_NONE, 8, TALVEX_STOPBITS_ONE, nullptr), 1);
    auto request = peer.Answer(3, {'O', 'K'});
    EXPECT_EQ(StartUp(0), 1);
    request.get();
    EXPECT_EQ(CloseComm(), 1);
}

}  // namespace
