#pragma once
// The schedule's choosing rules as plain logic: which row the timer is armed
// for, and how rows change when they are loaded, confirmed in the dialog or
// fired. Every function takes the current moment as an argument.

#include "ScheduleFile.h"
#include "ScheduledTask.h"

#include <cstdint>
#include <optional>
#include <span>

using TaskRows = std::span<ScheduledTask, kTaskRows>;
using ConstTaskRows = std::span<const ScheduledTask, kTaskRows>;

// Nothing fires sooner than this after it is armed.
constexpr std::int64_t kMinimumLeadSeconds = 10;

// Where the next task is chosen; the three places differ in which rows
// qualify and in who wins a tie.
enum class ArmRule {
    Load,         // start-up: enabled and strictly later than now; the higher row wins a tie
    Dialog,       // after OK: enabled; the higher row wins a tie
    AfterFiring,  // scheduler thread: enabled, time not looked at; the lower row wins a tie
};

struct ArmChoice {
    int index = 0;         // the row the timer is armed for
    std::int64_t due = 0;  // when it fires: the row's time, but no sooner than now + 10 s
};

// The row to arm and its firing moment; nullopt when no row qualifies.
std::optional<ArmChoice> ArmNextTask(ConstTaskRows tasks, ArmRule rule, std::int64_t now);

// Rows 0..2 fire once; rows 3..4 fire every day.
constexpr bool IsEverydayRow(int index) { return index >= kFirstEverydayRow; }

// After row `index` fired: a one-time row is disabled, an everyday row moves
// on from its due time (not from now) to its time of day on the next
// calendar day.
void AdvanceFiredTask(TaskRows tasks, int index);

// The moment of an everyday row at hour:minute:second: today, or tomorrow
// when that is already earlier than now (see DailyLocalTime for the days the
// clock changes).
std::int64_t NextDailyMoment(std::int64_t now, int hour, int minute, int second);

// The rows confirmed in the dialog become the live rows; a row whose moment
// has passed is stored as "Nothing".
void ApplyConfirmedRows(TaskRows live, ConstTaskRows confirmed, std::int64_t now);

// Row `index` as loaded from its record: one-time rows at their stored local
// moment, everyday rows at their next daily occurrence (the stored date is
// ignored). A one-time row that is not in the future is loaded as "Nothing".
ScheduledTask RowFromRecord(const TaskRecord& record, int index, std::int64_t now);

// The record saved for a row: the local calendar fields of its moment and its
// operation.
TaskRecord RecordFromRow(const ScheduledTask& task);
