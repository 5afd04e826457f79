#include "SiteLink.h"

#include "Log.h"

#include "core/DeviceAccess.h"

#include <Talvex.h>

namespace talvexd {

namespace {

using Quantity = CTransmitterCore::Quantity;

WallClock::time_point Now() { return WallClock::now(); }

// Why an exchange failed, for the log.
std::string FailureName(int code)
{
    switch (code) {
    case TALVEX_E_REFUSED: return "refused by the transmitter";
    case TALVEX_E_NOT_OPEN: return "port not open";
    case TALVEX_E_WRITE_TIMEOUT: return "write timed out";
    case TALVEX_E_READ_TIMEOUT: return "read timed out";
    case TALVEX_E_WRITE: return "write failed";
    case TALVEX_E_READ: return "read failed";
    case TALVEX_E_NO_REPLY: return "no reply";
    default: return "failure code " + std::to_string(code);
    }
}

// A line that hung up or a connection that dropped: nothing more will pass.
bool PortGone(int code) { return code == TALVEX_E_WRITE || code == TALVEX_E_READ; }

}  // namespace

CSiteLink::CSiteLink(const std::string& port, CStatusBoard& board, const CJournal& journal, QObject* parent)
    : QObject(parent), m_port(port), m_board(board), m_journal(journal),
      m_core(QStringList{QString::fromStdString(port)}, this)
{
    m_reconnect.setInterval(kReconnectPeriod);
    connect(&m_reconnect, &QTimer::timeout, this, &CSiteLink::TryReconnect);
    connect(&m_core, &CTransmitterCore::readingArrived, this, &CSiteLink::OnReading);
    connect(&m_core, &CTransmitterCore::stateChanged, this, [this] {
        // Mid-cycle changes wait for the cycle's end, so that a client never
        // sees half a cycle.
        TakeFromCore();
        if (!m_cycleOpen) {
            Publish(CStatusBoard::kStatus);
        }
    });
    connect(&m_core, &CTransmitterCore::watchdogWarning, this, [this] {
        if (m_up) {
            Log("the transmitter failed three watchdog checks in a row");
        }
    });
}

CSiteLink::~CSiteLink() { Stop(); }

void CSiteLink::Start()
{
    m_core.EnumSerialPorts();
    int state = 0;
    if (Probe(state)) {
        GoUp(state);
    } else {
        GoDown("no transmitter answered on " + m_port);
    }
    m_core.Start();
}

void CSiteLink::Stop()
{
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    m_reconnect.stop();
    m_core.Stop();
    // Whoever still waits for a job is told it will not run.
    std::deque<std::shared_ptr<Job>> jobs;
    {
        std::lock_guard lock(m_jobsLock);
        m_jobsClosed = true;
        jobs.swap(m_jobs);
    }
    for (const auto& job : jobs) {
        Finish(*job, false);
    }
}

bool CSiteLink::Probe(int& state)
{
    CDeviceSession device;
    if (!CTransmitterCore::OpenLine(QString::fromStdString(m_port))) {
        if (!m_openFailureSaid) {
            Log("cannot open " + m_port + ": " + GetOpenErrorText(GetLastOpenError()) + "; trying again every " +
                std::to_string(kReconnectPeriod.count()) + " s");
            m_openFailureSaid = true;
        }
        return false;
    }
    unsigned char byte = 0;
    if (!device.Call(GetDevState, &byte)) {
        CloseComm();
        return false;
    }
    state = byte;
    return true;
}

void CSiteLink::ReadOnConnect(int state)
{
    if (!ReadNamesAndValues()) {
        return;  // the pollers will find out what is wrong
    }
    m_core.ReadDeviceSettings(true);
    // Flags both ways: a reconnect may find the transmitter changed.
    m_core.AdoptState(state);
}

bool CSiteLink::ReadNamesAndValues()
{
    // One failure ends the reads: a transmitter that stopped answering would
    // otherwise hold the link's thread for a timeout per read.
    CDeviceSession device;
    char text[20] = {};
    const struct {
        int (*read)(char*, unsigned, int);
        std::string SiteStatus::*field;
    } names[] = {
        {GetSerialNum, &SiteStatus::serialNumber},
        {GetVersionNum, &SiteStatus::firmwareVersion},
        {GetDevType, &SiteStatus::deviceType},
    };
    for (const auto& name : names) {
        text[0] = '\0';
        if (!device.Call(name.read, text, static_cast<unsigned>(sizeof text))) {
            return false;
        }
        m_status.*name.field = std::string(text, strnlen(text, sizeof text));
    }
    const struct {
        int (*read)(int*, int);
        int SiteStatus::*field;
    } values[] = {
        {GetTmpPt, &SiteStatus::temperaturePoint},
        {GetStdyWavePt, &SiteStatus::swrPoint},
        // The cycles read these only on air; a transmitter found in standby
        // still shows what it last measured rather than nothing.
        {GetFwdPWR, &SiteStatus::forwardPower},
        {GetStdyWaveRatio, &SiteStatus::swr},
        {GetTemperature, &SiteStatus::temperature},
    };
    for (const auto& reading : values) {
        int value = 0;
        if (!device.Call(reading.read, &value)) {
            return false;
        }
        m_status.*reading.field = value;
    }
    return true;
}

void CSiteLink::NoteStandbyAsked() { m_status.standbyAskedAt = Now(); }

void CSiteLink::GoUp(int state)
{
    m_up = true;
    m_failuresInRow = 0;
    m_openFailureSaid = false;
    m_reconnect.stop();
    m_status.linkUp = true;
    // Up as soon as the transmitter answered: the reads that follow take a
    // second or two, and the port is in use meanwhile.
    m_core.AdoptState(state);
    TakeFromCore();
    m_journal.Record(EventKind::Link, "", "link up on " + m_port);
    Publish(CStatusBoard::kLink);
    emit linkChanged(true);
    ReadOnConnect(state);
    TakeFromCore();
    Publish(CStatusBoard::kStatus);
}

void CSiteLink::GoDown(const std::string& reason)
{
    const bool wasUp = m_up;
    m_up = false;
    m_cycleOpen = false;
    {
        DeviceAccess lock(g_csDevice);
        CloseComm();
    }
    m_status.linkUp = false;
    if (wasUp || !m_verdict) {
        m_journal.Record(EventKind::Link, "", "link down: " + reason);
    }
    Publish(CStatusBoard::kStatus | CStatusBoard::kLink);
    if (!m_stopped) {
        m_reconnect.start();
    }
    if (wasUp) {
        emit linkChanged(false);
    }
    GiveVerdict();
}

void CSiteLink::TryReconnect()
{
    if (m_up || m_stopped) {
        return;
    }
    int state = 0;
    if (Probe(state)) {
        GoUp(state);
    }
}

void CSiteLink::OnReading(ReadingKind kind, int value)
{
    if (!m_up) {
        return;  // a closed port's failures, or a reading from before the link went down
    }
    if (kind == ReadingKind::Failure) {
        ++m_status.failures[value];
        ++m_failuresInRow;
        if (PortGone(value)) {
            GoDown("the port is gone (" + FailureName(value) + ")");
        } else if (m_failuresInRow >= kFailuresToDown) {
            GoDown(std::to_string(m_failuresInRow) + " failed exchanges in a row (last: " + FailureName(value) + ")");
        } else if (m_cycleOpen) {
            m_cycleOpen = false;  // the cycle ends at its first failure
            TakeCycleReadings();
            Publish(CStatusBoard::kStatus);
        }
        return;
    }
    m_failuresInRow = 0;
    // A reading taken just before a change and delivered after it would
    // undo the change in the core's flags, and the next press would send
    // the wrong way: settings readings wait until the change has settled.
    const bool settled = std::chrono::steady_clock::now() >= m_settledAt;
    switch (kind) {
    case ReadingKind::Level:
        m_status.level = value;
        m_status.levelReadAt = Now();
        Publish(CStatusBoard::kLevel);
        return;
    case ReadingKind::State:
        m_cycleOpen = true;
        if (settled) {
            m_core.AdoptState(value);
        }
        if (value & TALVEX_STATE_STANDBY) {
            EndCycle();  // nothing else is read in standby
        }
        return;
    case ReadingKind::Frequency:
    case ReadingKind::LineVolume:
    case ReadingKind::MicVolume:
        if (settled) {
            const Quantity quantity = kind == ReadingKind::Frequency    ? Quantity::Frequency
                                      : kind == ReadingKind::LineVolume ? Quantity::LineVolume
                                                                        : Quantity::MicVolume;
            m_core.AdoptAccepted(quantity, value);
        }
        return;
    // Held until the cycle ends: a level published meanwhile must not carry
    // half a cycle under the time of the one before.
    case ReadingKind::ForwardPower: m_cycleReadings.forwardPower = value; return;
    case ReadingKind::Swr: m_cycleReadings.swr = value; return;
    case ReadingKind::Temperature:
        m_cycleReadings.temperature = value;
        EndCycle();  // the last reading of a cycle on air
        return;
    case ReadingKind::Mono:  // in the state byte too
    case ReadingKind::Failure: return;
    }
}

void CSiteLink::EndCycle()
{
    m_cycleOpen = false;
    m_status.readAt = Now();
    TakeCycleReadings();
    TakeFromCore();
    Publish(CStatusBoard::kStatus);
    GiveVerdict();
}

void CSiteLink::TakeFromCore()
{
    m_status.standby = !m_core.IsPowerOn();
    if (!m_status.standby) {
        m_status.onAt = Now();
    }
    m_status.mono = !m_core.IsActive(CTransmitterCore::Function::StereoMono);
    m_status.echoOn = m_core.IsActive(CTransmitterCore::Function::Echo);
    m_status.lineOn = m_core.IsActive(CTransmitterCore::Function::Line);
    m_status.micOn = m_core.IsActive(CTransmitterCore::Function::Mic);
    m_status.frequency = m_core.Accepted(Quantity::Frequency);
    m_status.powerSetting = m_core.Accepted(Quantity::Power);
    m_status.lineVolume = m_core.Accepted(Quantity::LineVolume);
    m_status.micVolume = m_core.Accepted(Quantity::MicVolume);
}

void CSiteLink::TakeCycleReadings()
{
    for (auto [reading, field] : {std::pair{&m_cycleReadings.forwardPower, &SiteStatus::forwardPower},
                                  std::pair{&m_cycleReadings.swr, &SiteStatus::swr},
                                  std::pair{&m_cycleReadings.temperature, &SiteStatus::temperature}}) {
        if (*reading) {
            m_status.*field = **reading;
        }
        reading->reset();
    }
}

void CSiteLink::Publish(unsigned changes) { m_board.Publish(m_status, changes); }

void CSiteLink::PublishNow()
{
    m_settledAt = std::chrono::steady_clock::now() + kSettleTime;
    TakeFromCore();
    Publish(CStatusBoard::kStatus);
}

void CSiteLink::NoteProtectionPoint(CTransmitterCore::Point point, int value)
{
    (point == CTransmitterCore::Point::Temperature ? m_status.temperaturePoint : m_status.swrPoint) = value;
    Publish(CStatusBoard::kStatus);
}

void CSiteLink::GiveVerdict()
{
    if (!m_verdict) {
        m_verdict = true;
        emit verdict();
    }
}

bool CSiteLink::RunOnLinkThread(std::function<void()> job, std::chrono::milliseconds timeout)
{
    auto entry = std::make_shared<Job>();
    entry->run = std::move(job);
    {
        std::lock_guard lock(m_jobsLock);
        if (m_jobsClosed) {
            return false;
        }
        m_jobs.push_back(entry);
    }
    // By name: only Qt's own wake-up crosses the threads; the job itself is
    // handed over under m_jobsLock.
    QMetaObject::invokeMethod(this, "RunJobs", Qt::QueuedConnection);
    std::unique_lock lock(entry->lock);
    if (!entry->finished.wait_for(lock, timeout, [&] { return entry->done; }) && entry->stage == Stage::Queued) {
        entry->stage = Stage::Dropped;  // the link thread will skip it
        return false;
    }
    // It ran, or it is running: its outcome is the requester's to report.
    entry->finished.wait(lock, [&] { return entry->done; });
    return entry->stage == Stage::Running;
}

void CSiteLink::Finish(Job& job, bool ran)
{
    {
        std::lock_guard lock(job.lock);
        job.stage = ran ? Stage::Running : Stage::Dropped;
        job.done = true;
    }
    job.finished.notify_all();
}

void CSiteLink::RunJobs()
{
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::lock_guard lock(m_jobsLock);
            if (m_jobs.empty()) {
                return;
            }
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        bool run = false;
        {
            std::lock_guard lock(job->lock);
            run = job->stage == Stage::Queued && !m_stopped;
            if (run) {
                job->stage = Stage::Running;
            }
        }
        if (run) {
            job->run();
        }
        Finish(*job, run);
    }
}

}  // namespace talvexd
