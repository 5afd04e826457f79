#pragma once
// The five-row schedule, fired headless with the panel's rules (the core's
// CTaskSchedule) against the site's link. The file is the panel's
// config.xml: a file written by one is read by the other.

#include "core/TaskSchedule.h"

#include <QObject>

#include <array>
#include <string>

namespace talvexd {

class CJournal;
class CSiteLink;

class CSiteSchedule : public QObject
{
    Q_OBJECT
public:
    using Rows = std::array<ScheduledTask, kTaskRows>;

    CSiteSchedule(std::string path, CSiteLink& link, const CJournal& journal, QObject* parent = nullptr);
    ~CSiteSchedule() override;

    // Reads the file (making it, with five rows of "Nothing", when there is
    // none) and starts the scheduler thread. A file that cannot be read
    // leaves the schedule empty, which is logged.
    void Start();
    void Stop();
    Rows Current() const { return m_schedule.Snapshot(); }
    // The rows become the live ones (a row whose moment has passed as
    // "Nothing") and are written to the file; false, and logged, when they
    // did not all reach it. Safe from any thread.
    bool Replace(ConstTaskRows rows);
    const std::string& Path() const { return m_path; }

private:
    void OnTaskDue(int operation);

    const std::string m_path;
    CSiteLink& m_link;
    const CJournal& m_journal;
    CTaskSchedule m_schedule;
};

}  // namespace talvexd
