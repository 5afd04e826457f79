#pragma once
// Exit status of talvexctl, shared by its parts.

enum Exit { kExitOk = 0, kExitDevice = 1, kExitUsage = 2, kExitOpen = 3 };
