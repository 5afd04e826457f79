#pragma once
// The site's watcher: on a thread of its own, it follows the status board,
// runs the alarm rules over every change (and a few times a second while
// nothing changes, so that a delay runs out even while the link is down),
// keeps the readings history, and hands each raise and clear to the event
// log and the notifications, and tells the board's readers when the alarms
// changed. Nothing it does waits on the link.

#include "talvexd/alarms/Alarms.h"
#include "talvexd/data/SiteData.h"
#include "talvexd/notify/Notifier.h"
#include "talvexd/site/Journal.h"
#include "talvexd/site/StatusBoard.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace talvexd {

class CSiteWatch
{
public:
    // How long the watcher waits for a change before it looks again anyway.
    static constexpr auto kIdleLook = std::chrono::milliseconds(250);

    CSiteWatch(CStatusBoard& board, CAlarms& alarms, CSiteData& data, CNotifier& notifier, const CJournal& journal);
    ~CSiteWatch();
    CSiteWatch(const CSiteWatch&) = delete;
    CSiteWatch& operator=(const CSiteWatch&) = delete;

    // Told of every raise and clear, and of each time the link goes up or
    // down, on the watcher's thread; neither may block.
    struct Listener {
        std::function<void(const AlarmTransition&)> alarm;
        std::function<void(bool up)> link;
    };
    // Before Start.
    void Listen(Listener listener) { m_listener = std::move(listener); }

    // Raises and clears the restart alarm, then starts watching.
    void Start();
    // Ends the watch once the board is closed or at its next look. Safe to
    // call more than once.
    void Stop();

private:
    void Run();
    void Pass(const std::vector<AlarmTransition>& transitions);

    CStatusBoard& m_board;
    CAlarms& m_alarms;
    CSiteData& m_data;
    CNotifier& m_notifier;
    const CJournal& m_journal;
    Listener m_listener;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace talvexd
