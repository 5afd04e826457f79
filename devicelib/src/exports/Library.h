#pragma once
// The library-wide link behind the exported functions: one port per
// process, created on first use.

#include "CommLink.h"

namespace talvex {

CCommLink& Library();

}  // namespace talvex
