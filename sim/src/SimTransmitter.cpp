#include "SimTransmitter.h"

#include "DeviceModel.h"
#include "FaultPlan.h"
#include "FrameParser.h"
#include "PtyPair.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

// Longest single wait of the worker, so the moving readings and scheduled
// work are never late by more than this even when nothing arrives.
constexpr milliseconds kTick{50};
// How long a full line may hold up one answer before it is dropped.
constexpr int kWriteStallMs = 200;
// Retry interval when a new pseudo-terminal cannot be opened.
constexpr milliseconds kReopenRetry{100};

int MillisUntil(Clock::time_point now, Clock::time_point when)
{
    if (when <= now)
        return 0;
    return static_cast<int>(std::chrono::ceil<milliseconds>(when - now).count());
}

bool WriteAll(int fd, const Bytes& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w > 0) {
            done += static_cast<std::size_t>(w);
            continue;
        }
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, kWriteStallMs) > 0 && (p.revents & POLLOUT))
                continue;
        }
        return false;
    }
    return true;
}

}  // namespace

class SimTransmitter::Worker
{
public:
    explicit Worker(SimOptions options) : m_options(std::move(options)), m_model(m_options.seed) {}
    ~Worker() { Stop(); }

    bool Start(std::string* error);
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    std::string DevicePath() const
    {
        if (!m_options.linkPath.empty())
            return m_options.linkPath;
        return PtyPath();
    }
    std::string PtyPath() const
    {
        std::lock_guard lock(m_mutex);
        return m_ptyPath;
    }
    const std::string& LinkPath() const { return m_options.linkPath; }

    SimState State() const
    {
        std::lock_guard lock(m_mutex);
        return m_model.State();
    }
    void SetState(const SimState& state)
    {
        std::lock_guard lock(m_mutex);
        m_model.SetState(state);
    }
    SimReadings Readings() const
    {
        std::lock_guard lock(m_mutex);
        return m_model.Readings();
    }
    void SetReadings(const SimReadings& readings)
    {
        std::lock_guard lock(m_mutex);
        m_model.SetReadings(readings);
    }
    void SetLive(bool live)
    {
        std::lock_guard lock(m_mutex);
        m_model.SetLive(live);
    }
    void HoldReading(SimReading reading, int value)
    {
        std::lock_guard lock(m_mutex);
        m_model.HoldReading(reading, value);
    }
    void ReleaseReading(SimReading reading)
    {
        std::lock_guard lock(m_mutex);
        m_model.ReleaseReading(reading);
    }
    void InjectFault(const SimFault& fault)
    {
        std::lock_guard lock(m_mutex);
        m_faults.Add(fault);
    }
    void ClearFaults()
    {
        std::lock_guard lock(m_mutex);
        m_faults.Clear();
    }

    void RequestHangUp(milliseconds downFor)
    {
        {
            std::lock_guard lock(m_mutex);
            m_hangUpRequest = downFor;
        }
        Wake();
    }
    void RequestComeBack()
    {
        {
            std::lock_guard lock(m_mutex);
            m_comeBackRequest = true;
        }
        Wake();
    }
    bool IsLineUp() const
    {
        std::lock_guard lock(m_mutex);
        return m_lineUp;
    }
    unsigned Generation() const
    {
        std::lock_guard lock(m_mutex);
        return m_generation;
    }
    bool WaitForLine(unsigned generation, milliseconds timeout) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_lineUp && m_generation >= generation; });
    }

    std::vector<Frame> Received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    void ClearReceived()
    {
        std::lock_guard lock(m_mutex);
        m_received.clear();
        m_receivedCount = 0;
    }
    bool WaitForFrames(std::size_t count, milliseconds timeout) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_receivedCount >= count; });
    }
    Clock::time_point LastFrameTime() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastFrameTime;
    }
    std::size_t Discarded() const
    {
        std::lock_guard lock(m_mutex);
        return m_parser.Discarded();
    }
    bool WaitUntilIdle(milliseconds timeout) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_pending.empty(); });
    }

private:
    struct PendingAnswer {
        Clock::time_point due;
        Bytes bytes;
    };

    void Run();
    void Wake();
    int NextWaitMs(Clock::time_point now) const;
    void ReadRequests(Clock::time_point now);
    void HandleFrame(const Frame& frame, Clock::time_point now);
    void SendDueAnswers(Clock::time_point now);
    void DropLine(Clock::time_point now, milliseconds downFor);
    bool RaiseLine(std::string* error);
    bool PointLink(std::string* error);
    void RemoveLink();

    const SimOptions m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;

    // Guarded by m_mutex.
    sim::DeviceModel m_model;
    sim::FaultPlan m_faults;
    sim::FrameParser m_parser;
    sim::PtyPair m_pty;
    std::string m_ptyPath;
    bool m_lineUp = false;
    unsigned m_generation = 0;
    std::vector<Frame> m_received;
    std::size_t m_receivedCount = 0;  // frames since the last clear, recorded or not
    Clock::time_point m_lastFrameTime{};
    std::deque<PendingAnswer> m_pending;
    std::optional<milliseconds> m_hangUpRequest;
    bool m_comeBackRequest = false;
    std::optional<Clock::time_point> m_comeBackAt;

    int m_wakeFd = -1;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

bool SimTransmitter::Worker::Start(std::string* error)
{
    if (m_thread.joinable())
        return true;
    {
        std::lock_guard lock(m_mutex);
        if (!RaiseLine(error))
            return false;
    }
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        if (error)
            *error = std::string("eventfd: ") + std::strerror(errno);
        std::lock_guard lock(m_mutex);
        m_pty.Close();
        m_lineUp = false;
        RemoveLink();
        return false;
    }
    m_stop = false;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void SimTransmitter::Worker::Stop()
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    Wake();
    m_thread.join();
    ::close(m_wakeFd);
    m_wakeFd = -1;
    std::lock_guard lock(m_mutex);
    m_pty.Close();
    m_ptyPath.clear();
    m_lineUp = false;
    m_pending.clear();
    RemoveLink();
    m_changed.notify_all();
}

void SimTransmitter::Worker::Wake()
{
    if (m_wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t w = ::write(m_wakeFd, &one, sizeof one);
    }
}

int SimTransmitter::Worker::NextWaitMs(Clock::time_point now) const
{
    Clock::time_point until = now + kTick;
    if (!m_pending.empty() && m_pending.front().due < until)
        until = m_pending.front().due;
    if (m_comeBackAt && *m_comeBackAt < until)
        until = *m_comeBackAt;
    return MillisUntil(now, until);
}

void SimTransmitter::Worker::Run()
{
    while (!m_stop) {
        pollfd fds[2] = {{m_wakeFd, POLLIN, 0}, {-1, POLLIN, 0}};
        int waitMs = 0;
        {
            std::lock_guard lock(m_mutex);
            fds[1].fd = m_pty.Master();
            waitMs = NextWaitMs(Clock::now());
        }
        const int ready = ::poll(fds, 2, waitMs);
        if (ready < 0 && errno != EINTR)
            std::this_thread::sleep_for(kTick);
        if (fds[0].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t r = ::read(m_wakeFd, &count, sizeof count);
        }
        if (m_stop)
            break;

        std::unique_lock lock(m_mutex);
        const Clock::time_point now = Clock::now();
        if (m_hangUpRequest) {
            DropLine(now, *m_hangUpRequest);
            m_hangUpRequest.reset();
        }
        if (!m_lineUp && (m_comeBackRequest || (m_comeBackAt && now >= *m_comeBackAt))) {
            m_comeBackRequest = false;
            m_comeBackAt.reset();
            if (!RaiseLine(nullptr))
                m_comeBackAt = now + kReopenRetry;
        }
        m_comeBackRequest = false;
        const bool sameLine = fds[1].fd >= 0 && fds[1].fd == m_pty.Master();
        if (sameLine && (fds[1].revents & POLLIN))
            ReadRequests(now);
        SendDueAnswers(now);
        m_model.Advance(now);
        if (sameLine && (fds[1].revents & (POLLHUP | POLLERR)) && !(fds[1].revents & POLLIN)) {
            // Not expected while the simulator holds its own slave open;
            // pace the loop rather than spin if it happens anyway.
            lock.unlock();
            std::this_thread::sleep_for(kTick);
        }
    }
}

void SimTransmitter::Worker::ReadRequests(Clock::time_point now)
{
    std::uint8_t buffer[512];
    for (;;) {
        if (!m_lineUp)
            return;
        const ssize_t r = ::read(m_pty.Master(), buffer, sizeof buffer);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return;
        for (const Frame& frame : m_parser.Feed(buffer, static_cast<std::size_t>(r), now)) {
            if (!m_lineUp)
                return;  // hung up by an earlier frame of this batch
            HandleFrame(frame, now);
        }
    }
}

void SimTransmitter::Worker::HandleFrame(const Frame& frame, Clock::time_point now)
{
    if (m_options.recordFrames)
        m_received.push_back(frame);
    if (m_options.onFrame)
        m_options.onFrame(frame);
    ++m_receivedCount;
    m_lastFrameTime = now;
    m_changed.notify_all();

    const std::optional<SimFault> fault = m_faults.Take(frame[2]);
    if (fault && fault->kind == SimFaultKind::Silent)
        return;
    if (fault && fault->kind == SimFaultKind::HangUp) {
        DropLine(now, fault->downFor);
        return;
    }
    Bytes answer = fault && fault->kind == SimFaultKind::Refuse ? Bytes{'E', 'R'} : m_model.Execute(frame, now);
    Clock::time_point due = now;
    if (fault) {
        answer = sim::ApplyFault(*fault, std::move(answer));
        if (fault->kind == SimFaultKind::Delay)
            due += fault->delay;
    }
    // Answers leave in the order the requests came, as from a real device.
    if (!m_pending.empty() && m_pending.back().due > due)
        due = m_pending.back().due;
    m_pending.push_back({due, std::move(answer)});
}

void SimTransmitter::Worker::SendDueAnswers(Clock::time_point now)
{
    bool sent = false;
    while (m_lineUp && !m_pending.empty() && m_pending.front().due <= now) {
        WriteAll(m_pty.Master(), m_pending.front().bytes);
        m_pending.pop_front();
        sent = true;
    }
    if (sent)
        m_changed.notify_all();
}

// The link goes first: once the old terminal is closed its number is free
// for any other process's terminal, and a link left pointing there would
// lead clients to a stranger's line.
void SimTransmitter::Worker::DropLine(Clock::time_point now, milliseconds downFor)
{
    RemoveLink();
    m_pty.Close();
    m_ptyPath.clear();
    m_lineUp = false;
    m_pending.clear();
    m_parser.Reset();
    m_comeBackAt.reset();
    if (downFor.count() >= 0)
        m_comeBackAt = now + downFor;
    m_changed.notify_all();
}

bool SimTransmitter::Worker::RaiseLine(std::string* error)
{
    if (!m_pty.Open(error))
        return false;
    if (!m_options.linkPath.empty() && !PointLink(error)) {
        m_pty.Close();
        return false;
    }
    m_ptyPath = m_pty.SlavePath();
    m_lineUp = true;
    ++m_generation;
    m_changed.notify_all();
    return true;
}

// Replaces the link in one step, so a client never finds the path missing
// or pointing nowhere once the new line is up.
bool SimTransmitter::Worker::PointLink(std::string* error)
{
    const std::string temp = m_options.linkPath + ".new" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(m_pty.SlavePath().c_str(), temp.c_str()) != 0 ||
        ::rename(temp.c_str(), m_options.linkPath.c_str()) != 0) {
        if (error)
            *error = "cannot place the link " + m_options.linkPath + ": " + std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

void SimTransmitter::Worker::RemoveLink()
{
    if (m_options.linkPath.empty())
        return;
    struct stat st {};
    if (::lstat(m_options.linkPath.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        ::unlink(m_options.linkPath.c_str());
}

// ---- SimTransmitter ---------------------------------------------------------

SimTransmitter::SimTransmitter(SimOptions options) : m_worker(std::make_unique<Worker>(std::move(options))) {}
SimTransmitter::~SimTransmitter() = default;

bool SimTransmitter::Start(std::string* error) { return m_worker->Start(error); }
void SimTransmitter::Stop() { m_worker->Stop(); }
bool SimTransmitter::IsRunning() const { return m_worker->IsRunning(); }
std::string SimTransmitter::DevicePath() const { return m_worker->DevicePath(); }
std::string SimTransmitter::PtyPath() const { return m_worker->PtyPath(); }
const std::string& SimTransmitter::LinkPath() const { return m_worker->LinkPath(); }
SimState SimTransmitter::State() const { return m_worker->State(); }
void SimTransmitter::SetState(const SimState& state) { m_worker->SetState(state); }
SimReadings SimTransmitter::Readings() const { return m_worker->Readings(); }
void SimTransmitter::SetReadings(const SimReadings& readings) { m_worker->SetReadings(readings); }
void SimTransmitter::SetLiveReadings(bool live) { m_worker->SetLive(live); }
void SimTransmitter::HoldReading(SimReading reading, int value) { m_worker->HoldReading(reading, value); }
void SimTransmitter::ReleaseReading(SimReading reading) { m_worker->ReleaseReading(reading); }
void SimTransmitter::InjectFault(const SimFault& fault) { m_worker->InjectFault(fault); }
void SimTransmitter::ClearFaults() { m_worker->ClearFaults(); }
void SimTransmitter::HangUp(std::chrono::milliseconds downFor) { m_worker->RequestHangUp(downFor); }
void SimTransmitter::ComeBack() { m_worker->RequestComeBack(); }
bool SimTransmitter::IsLineUp() const { return m_worker->IsLineUp(); }
unsigned SimTransmitter::LineGeneration() const { return m_worker->Generation(); }
bool SimTransmitter::WaitForLine(unsigned generation, std::chrono::milliseconds timeout) const
{
    return m_worker->WaitForLine(generation, timeout);
}
std::vector<SimTransmitter::Frame> SimTransmitter::ReceivedFrames() const { return m_worker->Received(); }
void SimTransmitter::ClearReceived() { m_worker->ClearReceived(); }
bool SimTransmitter::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    return m_worker->WaitForFrames(count, timeout);
}
std::chrono::steady_clock::time_point SimTransmitter::LastFrameTime() const { return m_worker->LastFrameTime(); }
std::size_t SimTransmitter::DiscardedBytes() const { return m_worker->Discarded(); }
bool SimTransmitter::WaitUntilIdle(std::chrono::milliseconds timeout) const { return m_worker->WaitUntilIdle(timeout); }
