#include "SoakChecks.h"

#include "core/ScheduleFile.h"
#include "core/ScheduleRules.h"

#include <pugixml.hpp>

namespace soak {

std::string CheckScheduleFile(const char* path)
{
    TaskRecords records{};
    if (!ReadScheduleFile(path, records)) {
        return "the panel cannot load it";
    }
    pugi::xml_document document;
    if (!document.load_file(path)) {
        return "it is not well-formed XML";
    }
    const std::size_t tasks = document.select_nodes("/root/Task").size();
    if (tasks != kTaskRows) {
        return "it holds " + std::to_string(tasks) + " Task elements instead of 5";
    }
    for (std::size_t row = 0; row < records.size(); ++row) {
        const TaskRecord& r = records[row];
        const bool inRange = r.month >= 1 && r.month <= 12 && r.day >= 1 && r.day <= 31 && r.hour >= 0 &&
                             r.hour <= 23 && r.minute >= 0 && r.minute <= 59 && r.second >= 0 && r.second <= 60 &&
                             r.opt >= TASK_NOTHING && r.opt <= TASK_SHUTDOWN;
        if (!inRange) {
            return "row " + std::to_string(row + 1) + " holds fields out of range";
        }
    }
    return {};
}

std::vector<std::string> OverdueTasks(const std::array<ScheduledTask, kTaskRows>& rows, std::int64_t now,
                                      std::int64_t graceSeconds)
{
    std::vector<std::string> overdue;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        const ScheduledTask& task = rows[row];
        if (task.operation != TASK_NOTHING && task.time < now - graceSeconds) {
            overdue.push_back("row " + std::to_string(row + 1) + " (operation " + std::to_string(task.operation) +
                              ") was due " + std::to_string(now - task.time) + " s before the end");
        }
    }
    return overdue;
}

}  // namespace soak
