#include "ScheduleRules.h"

#include "LocalTime.h"

namespace {

bool Qualifies(const ScheduledTask& task, ArmRule rule, std::int64_t now)
{
    if (task.operation == TASK_NOTHING) {
        return false;
    }
    return rule != ArmRule::Load || task.time > now;
}

bool Beats(std::int64_t time, std::int64_t best, ArmRule rule)
{
    return rule == ArmRule::AfterFiring ? time < best : time <= best;
}

}  // namespace

std::optional<ArmChoice> ArmNextTask(ConstTaskRows tasks, ArmRule rule, std::int64_t now)
{
    int first = 0;
    while (first < kTaskRows && !Qualifies(tasks[first], rule, now)) {
        ++first;
    }
    if (first == kTaskRows) {
        return std::nullopt;
    }
    ArmChoice choice{first, tasks[first].time};
    for (int i = first; i < kTaskRows; ++i) {
        if (Qualifies(tasks[i], rule, now) && Beats(tasks[i].time, choice.due, rule)) {
            choice = {i, tasks[i].time};
        }
    }
    if (choice.due < now + kMinimumLeadSeconds) {
        choice.due = now + kMinimumLeadSeconds;
    }
    return choice;
}

void AdvanceFiredTask(TaskRows tasks, int index)
{
    if (index < 0 || index >= kTaskRows) {
        return;
    }
    if (IsEverydayRow(index)) {
        // The same wall-clock time on the next calendar day, which is not
        // always 86,400 s on: a day with a clock change is 23 or 25 hours.
        ScheduledTask& task = tasks[index];
        const LocalFields due = WithTimeOfDay(BreakLocalTime(task.time), task.timeOfDay);
        task.time = DailyLocalTime(NextCalendarDay(due));
    } else {
        tasks[index].operation = TASK_NOTHING;
    }
}

std::int64_t NextDailyMoment(std::int64_t now, int hour, int minute, int second)
{
    LocalFields fields = BreakLocalTime(now);
    fields.hour = hour;
    fields.minute = minute;
    fields.second = second;
    const std::int64_t today = DailyLocalTime(fields);
    if (today == kInvalidMoment || today >= now) {
        return today;
    }
    return DailyLocalTime(NextCalendarDay(fields));
}

void ApplyConfirmedRows(TaskRows live, ConstTaskRows confirmed, std::int64_t now)
{
    for (int i = 0; i < kTaskRows; ++i) {
        live[i].time = confirmed[i].time;
        live[i].timeOfDay = confirmed[i].timeOfDay;
        live[i].operation = confirmed[i].time >= now ? confirmed[i].operation : TASK_NOTHING;
    }
}

ScheduledTask RowFromRecord(const TaskRecord& record, int index, std::int64_t now)
{
    ScheduledTask task;
    task.operation = record.opt;
    if (IsEverydayRow(index)) {
        // The stored date of an everyday row is only its last known occurrence.
        task.time = NextDailyMoment(now, record.hour, record.minute, record.second);
        task.timeOfDay = TimeOfDay({record.year, record.month, record.day, record.hour, record.minute, record.second});
        return task;
    }
    task.time = MakeLocalTime({record.year, record.month, record.day, record.hour, record.minute, record.second});
    // A one-time row whose moment has passed can never fire on time; kept
    // enabled, the thread's re-choice (which ignores times) would fire it
    // late after some other row, on every start. Store it as the dialog
    // would: "Nothing". A row due this very second could not be armed
    // either (the start-up rule wants a later moment), so it goes too.
    if (task.time <= now) {
        task.operation = TASK_NOTHING;
    }
    return task;
}

TaskRecord RecordFromRow(const ScheduledTask& task)
{
    // An everyday row keeps its own time of day, which a clock change may
    // have moved its moment off for one day.
    const LocalFields fields = WithTimeOfDay(BreakLocalTime(task.time), task.timeOfDay);
    return {fields.year, fields.month, fields.day, fields.hour, fields.minute, fields.second, task.operation};
}
