#include "SiteWatch.h"

#include <pthread.h>

namespace talvexd {

CSiteWatch::CSiteWatch(CStatusBoard& board, CAlarms& alarms, CSiteData& data, CNotifier& notifier,
                       const CJournal& journal)
    : m_board(board), m_alarms(alarms), m_data(data), m_notifier(notifier), m_journal(journal)
{}

CSiteWatch::~CSiteWatch() { Stop(); }

void CSiteWatch::Start()
{
    Pass(m_alarms.Started(WallClock::now()));
    m_thread = std::thread([this] {
        pthread_setname_np(pthread_self(), "talvexd-watch");  // its cost, apart in top -H
        Run();
    });
}

void CSiteWatch::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CSiteWatch::Run()
{
    CStatusBoard::Versions seen = m_board.CurrentVersions();
    std::uint64_t statusSeen = seen.status;
    // An acknowledgement comes from a request thread: it is seen here too.
    std::uint64_t alarmsSeen = 0;
    bool linkUp = false;  // as the link starts
    while (!m_stop && !m_board.Closed()) {
        m_board.WaitForChange(seen, kIdleLook);
        const auto [status, versions] = m_board.Read();
        seen = versions;
        if (status.linkUp != linkUp) {
            linkUp = status.linkUp;
            if (m_listener.link)
                m_listener.link(linkUp);
        }
        Pass(m_alarms.Evaluate(status, WallClock::now()));
        if (const std::uint64_t alarms = m_alarms.Version(); alarms != alarmsSeen) {
            alarmsSeen = alarms;
            m_board.Note(CStatusBoard::kAlarms);
        }
        if (versions.status != statusSeen) {
            statusSeen = versions.status;
            m_data.AddReadings(status);
        }
    }
}

void CSiteWatch::Pass(const std::vector<AlarmTransition>& transitions)
{
    for (const AlarmTransition& t : transitions) {
        m_journal.Record(t.raised ? EventKind::AlarmRaised : EventKind::AlarmCleared, "", DescribeTransition(t));
        m_notifier.Notify(t);
        if (m_listener.alarm)
            m_listener.alarm(t);
    }
}

}  // namespace talvexd
