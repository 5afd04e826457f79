#pragma once
// The service's hold on the transmitter: the core, run headless against one
// port, and the link state on top of it. The link never changes the
// transmitter on its own: it connects and reconnects with a reading of the
// device state, never with a start-up. It is "down" after three failed
// exchanges in a row or when the port is gone, and while down it tries to
// open the port again every two seconds. What the pollers read goes to the
// status board at the end of each cycle; nothing is read for a client.
//
// It lives on the service's main thread, as the core does. Request threads
// hand it their changes through RunOnLinkThread.

#include "Journal.h"
#include "StatusBoard.h"

#include "core/TransmitterCore.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace talvexd {

class CSiteLink : public QObject
{
    Q_OBJECT
public:
    // The reopening pace while the link is down.
    static constexpr auto kReconnectPeriod = std::chrono::seconds(2);
    // Failed exchanges in a row that take the link down.
    static constexpr int kFailuresToDown = 3;
    // After a change, readings of the settings are not taken for this long:
    // those read before the change arrive just after it.
    static constexpr auto kSettleTime = std::chrono::milliseconds(300);

    CSiteLink(const std::string& port, CStatusBoard& board, const CJournal& journal, QObject* parent = nullptr);
    ~CSiteLink() override;

    // Connects (or declares the link down) and starts the pollers.
    void Start();
    // Stops the pollers and closes the port. Safe to call more than once.
    void Stop();
    // Safe from any thread.
    bool IsUp() const { return m_up.load(); }
    // The first verdict is in: a status cycle succeeded, or the link is down.
    bool HasVerdict() const { return m_verdict; }
    CTransmitterCore& Core() { return m_core; }
    const std::string& Port() const { return m_port; }

    // Runs `job` on the link's thread and waits for it; false when it did
    // not start within `timeout` (it is then dropped, never run late).
    bool RunOnLinkThread(std::function<void()> job, std::chrono::milliseconds timeout);
    // After a change made through the core: the status board shows it now,
    // not only at the end of the next cycle.
    void PublishNow();
    // A protection point the transmitter accepted, shown from now on.
    void NoteProtectionPoint(CTransmitterCore::Point point, int value);
    // A client or the schedule is about to put the transmitter in standby:
    // the standby that follows was asked for. On the link's thread.
    void NoteStandbyAsked();

signals:
    // The link went up or down.
    void linkChanged(bool up);
    // The first status cycle succeeded, or the link was declared down.
    void verdict();

private:
    // A job is queued until the link thread starts it or the waiting
    // request gives up on it, whichever comes first. Plain locks
    // throughout, so that thread checkers see every hand-over.
    enum class Stage { Queued, Running, Dropped };
    struct Job {
        std::function<void()> run;
        std::mutex lock;  // guards stage and done
        std::condition_variable finished;
        Stage stage = Stage::Queued;
        bool done = false;
    };
    // Marks the job as over (ran or dropped) and wakes its requester.
    static void Finish(Job& job, bool ran);

    // Opens the port and reads the device state under one hold of the
    // device mutex; the port is closed again when either fails.
    bool Probe(int& state);
    // The reads a (re)connect makes: the settings, the flags, the protection
    // points and the device's names.
    void ReadOnConnect(int state);
    // The device's names, protection points and measurements; false at the
    // first read that failed.
    bool ReadNamesAndValues();
    // The link is up with the state byte the probe read; then the reads of a
    // (re)connect.
    void GoUp(int state);
    void GoDown(const std::string& reason);
    void TryReconnect();
    void OnReading(ReadingKind kind, int value);
    void EndCycle();
    // The accepted values and flags of the core into m_status.
    void TakeFromCore();
    // The measurements the cycle read so far into m_status.
    void TakeCycleReadings();
    void Publish(unsigned changes);
    void GiveVerdict();
    Q_INVOKABLE void RunJobs();

    const std::string m_port;
    CStatusBoard& m_board;
    const CJournal& m_journal;
    CTransmitterCore m_core;
    QTimer m_reconnect{this};
    SiteStatus m_status;
    struct CycleReadings {
        std::optional<int> forwardPower;
        std::optional<int> swr;
        std::optional<int> temperature;
    } m_cycleReadings;  // read in the open cycle, not yet published
    std::atomic<bool> m_up{false};
    bool m_verdict = false;
    bool m_cycleOpen = false;        // a status cycle's readings are arriving
    bool m_openFailureSaid = false;  // once per outage
    int m_failuresInRow = 0;
    std::chrono::steady_clock::time_point m_settledAt{};  // see kSettleTime
    bool m_stopped = false;

    std::mutex m_jobsLock;  // guards m_jobs, handed between threads
    std::deque<std::shared_ptr<Job>> m_jobs;
    bool m_jobsClosed = false;  // stopped: no job is taken any more
};

}  // namespace talvexd
