#pragma once
// config.xml: the schedule as the operator's file holds it. The root element
// "root" carries five "Task" elements (rows 1..5 in document order), each
// with the decimal attributes Year, Month, Day, Hour, Min, Sec and Opt.
// Saving only assigns attributes that exist; everything else in the file is
// carried through unchanged.

#include "ScheduledTask.h"

#include <array>

// One "Task" element's values; a missing or non-numeric attribute reads 0.
struct TaskRecord {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int opt = 0;
};

using TaskRecords = std::array<TaskRecord, kTaskRows>;

// Opened by this relative name: the file lives in the working directory.
inline constexpr char kScheduleFileName[] = "config.xml";

// Reads the first five "Task" elements into `records`. false when the file
// cannot be opened or parsed, or holds fewer than five "Task" elements (the
// records read before that stay as read).
bool ReadScheduleFile(const char* path, TaskRecords& records);

// How far a save brought the rows into the file.
enum class ScheduleSave {
    Saved,       // every row is in the file and loads back as written
    Incomplete,  // written, but the file lacks a "Task" element or an
                 // attribute a row is read back from
    Failed,      // nothing written: no file, not parsed, or writing failed
};

// Assigns `records` to the existing attributes of the first five "Task"
// elements (only to the elements that exist) and writes the document back,
// replacing the file in one step, or, where the folder allows no new file,
// rewriting it in place. Never creates the file.
ScheduleSave WriteScheduleFile(const char* path, const TaskRecords& records);
