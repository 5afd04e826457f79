#pragma once
// talvexctl monitor: the readings the panel polls, polled here and served
// for Prometheus, for headless sites without the panel.

#include "MetricsServer.h"

// Exit status of talvexctl, shared by its parts.
enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitOpen = 3 };

// Polls the transmitter on `port` every `intervalS` seconds and serves the
// newest round at `listen` until SIGINT or SIGTERM. The port is (re)opened
// at the start of a round whenever it is not open, so a site whose line or
// network comes back is picked up again. Returns the exit status.
int RunMonitor(const char* port, const talvex::metrics::ListenAddress& listen, int intervalS);
