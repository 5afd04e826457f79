#pragma once
// Checks made once the run is over, on what the panel left behind.

#include "core/ScheduledTask.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace soak {

// Empty when `path` is a schedule file the panel loads, with exactly five
// "Task" elements under "root" and calendar fields in range; else the reason.
std::string CheckScheduleFile(const char* path);

// Rows still enabled although their moment lay more than `graceSeconds`
// before `now`: a task that fell due and never ran. One text per row.
std::vector<std::string> OverdueTasks(const std::array<ScheduledTask, kTaskRows>& rows, std::int64_t now,
                                      std::int64_t graceSeconds);

}  // namespace soak
