#pragma once
// The library-wide link behind the exported functions: one port per
// process, created on first use.

#include "CommLink.h"

namespace talvex {

CCommLink& Library();

// Runs the body of an exported function. Nothing may unwind into a C
// caller: whatever the body throws (the first call's allocation of the
// library state, a port name) becomes the failure result 0. Before the
// library state exists, 0 is also every query's true answer: no port is
// open and no exchange has failed.
template <class Body>
int Guarded(Body&& body) noexcept
{
    try {
        return body();
    } catch (...) {
        return 0;
    }
}

}  // namespace talvex
