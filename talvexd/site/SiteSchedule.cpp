#include "SiteSchedule.h"

#include "Log.h"
#include "SiteLink.h"

#include "core/LocalTime.h"

#include <QFile>
#include <QSaveFile>

namespace talvexd {

namespace {

// A new file holds five rows of "Nothing", as the panel ships it.
bool MakeEmptyScheduleFile(const std::string& path)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    QByteArray text = "<?xml version=\"1.0\"?>\n<root>\n";
    for (int row = 0; row < kTaskRows; ++row) {
        text += "\t<Task Year=\"2026\" Month=\"1\" Day=\"1\" Hour=\"0\" Min=\"0\" Sec=\"0\" Opt=\"0\" />\n";
    }
    text += "</root>\n";
    return file.write(text) == text.size() && file.commit();
}

}  // namespace

CSiteSchedule::CSiteSchedule(std::string path, CSiteLink& link, const CJournal& journal, QObject* parent)
    : QObject(parent), m_path(std::move(path)), m_link(link), m_journal(journal)
{
    // Queued: the scheduler thread emits it, and the device is driven here.
    connect(&m_schedule, &CTaskSchedule::taskDue, this, &CSiteSchedule::OnTaskDue, Qt::QueuedConnection);
}

CSiteSchedule::~CSiteSchedule() { Stop(); }

void CSiteSchedule::Start()
{
    if (!QFile::exists(QString::fromStdString(m_path))) {
        if (MakeEmptyScheduleFile(m_path)) {
            Log("schedule: made " + m_path + " with five empty rows");
        } else {
            Log("schedule: cannot make " + m_path);
        }
    }
    const std::int64_t now = NowSeconds();
    if (!m_schedule.Load(m_path.c_str(), now)) {
        Log("schedule: cannot read " + m_path + "; nothing is scheduled");
    }
    m_schedule.StartThread();
}

void CSiteSchedule::Stop() { m_schedule.StopThread(); }

bool CSiteSchedule::Replace(ConstTaskRows rows)
{
    const bool saved = m_schedule.Confirm(rows, m_path.c_str(), NowSeconds());
    if (!saved) {
        Log("schedule: the rows did not all reach " + m_path + "; they run from memory until the next start");
    }
    return saved;
}

void CSiteSchedule::OnTaskDue(int operation)
{
    CTransmitterCore& core = m_link.Core();
    if (core.IsStopped()) {
        return;  // a late firing after the stop
    }
    switch (operation) {
    case TASK_STARTUP:
        core.ScheduledStartUp();
        m_journal.Record(EventKind::Schedule, "",
                         std::string("schedule: start-up ") + (core.IsPowerOn() ? "done" : "failed"));
        break;
    case TASK_SHUTDOWN:
        m_link.NoteStandbyAsked();
        core.ScheduledShutDown();
        m_journal.Record(EventKind::Schedule, "",
                         std::string("schedule: shut-down ") + (core.IsPowerOn() ? "failed" : "done"));
        break;
    default: return;  // "Nothing", or a code no operation has
    }
    m_link.PublishNow();
}

}  // namespace talvexd
