-- wrk has no rate option. Each thread keeps a timetable of one request every
-- TALVEXD_PERF_PERIOD_MS, and every answer books its connection the next
-- free slot; the thread's rate holds whatever the round trip, as long as its
-- connections are enough to cover it. A thread that fell behind starts its
-- timetable again rather than catching up in a burst. wrk's latency starts
-- when a request is written, so the wait for a slot is not in it.
local ffi = require("ffi")
ffi.cdef [[
typedef struct { long tv_sec; long tv_nsec; } talvex_timespec;
int clock_gettime(int clock, talvex_timespec* now);
]]
local CLOCK_MONOTONIC = 1
local stamp = ffi.new("talvex_timespec")
local period = tonumber(os.getenv("TALVEXD_PERF_PERIOD_MS") or "10")
local nextSlot = nil

wrk.headers["Authorization"] = os.getenv("TALVEXD_PERF_AUTHORIZATION")

local function nowMs()
   ffi.C.clock_gettime(CLOCK_MONOTONIC, stamp)
   return tonumber(stamp.tv_sec) * 1000 + tonumber(stamp.tv_nsec) / 1e6
end

function delay()
   local now = nowMs()
   if nextSlot == nil or nextSlot < now - period then
      nextSlot = now
   end
   nextSlot = nextSlot + period
   return math.max(0, math.floor(nextSlot - now + 0.5))
end
