#include "CommLink.h"

#include <algorithm>
#include <array>

namespace talvex {

namespace {

// Purges the port however the exchange ends.
class CFinalPurge
{
public:
    explicit CFinalPurge(CCommLink& link) : m_link(link) {}
    ~CFinalPurge() { m_link.PurgeCommAll(); }
    CFinalPurge(const CFinalPurge&) = delete;
    CFinalPurge& operator=(const CFinalPurge&) = delete;

private:
    CCommLink& m_link;
};

}  // namespace

CCommLink::CCommLink(CSerialPort& port, Sleeper sleep) : m_port(port), m_sleep(sleep != nullptr ? sleep : SleepMs) {}

void CCommLink::SleepMs(int ms)
{
    if (ms > 0)
        PlatformSleep(ms);
}

bool CCommLink::Open(const char* device, const LineSettings& settings)
{
    m_lastError = kCodeNoReply;
    if (m_port.IsOpen())
        Close();
    if (device == nullptr || device[0] == '\0')
        return FailOpen(TALVEX_OPEN_NO_DEVICE);
    if (!m_port.Open(device))
        return FailOpen(m_port.OpenFailure());
    if (!m_port.Configure(settings)) {
        const int reason = m_port.OpenFailure();
        m_port.Close();
        return FailOpen(reason != TALVEX_OPEN_OK ? reason : TALVEX_OPEN_SETTINGS);
    }
    m_port.Purge();
    m_openError = TALVEX_OPEN_OK;
    return true;
}

int CCommLink::Close()
{
    if (!m_port.IsOpen())
        return 0;
    return m_port.Close() ? 1 : 0;
}

void CCommLink::PurgeCommAll()
{
    if (m_port.IsOpen())
        m_port.Purge();
}

bool CCommLink::FailOpen(int reason)
{
    // A backend that failed without saying why still failed.
    m_openError = reason != TALVEX_OPEN_OK ? reason : TALVEX_OPEN_OTHER;
    return false;
}

bool CCommLink::Fail(int code)
{
    m_lastError = code;
    return false;
}

bool CCommLink::CommTransact(std::span<const std::uint8_t> request, std::uint8_t* replyData, std::size_t expected,
                             int replyDelayMs)
{
    if (!m_port.IsOpen())
        return Fail(kCodeNotOpen);
    if (expected > kMaxReplyData)
        return Fail(kCodeNoReply);

    PurgeCommAll();
    m_sleep(kSettleMs);
    // An answer to an earlier request that lands during the pause would
    // otherwise be read as this request's reply.
    PurgeCommAll();
    const CFinalPurge finalPurge(*this);
    return Exchange(request, replyData, expected, replyDelayMs);
}

bool CCommLink::Exchange(std::span<const std::uint8_t> request, std::uint8_t* replyData, std::size_t expected,
                         int replyDelayMs)
{
    const IoResult written = m_port.Write(request.data(), request.size(), kGuardMs);
    if (written.status == IoStatus::TimedOut)
        return Fail(kCodeWriteTimeout);
    if (written.status == IoStatus::Failed || written.count != request.size())
        return Fail(kCodeWriteFailed);

    switch (m_port.WaitForInput(kGuardMs)) {
    case IoStatus::Ok: break;
    case IoStatus::TimedOut: return Fail(kCodeNoReply);
    case IoStatus::Failed: return Fail(kCodeReadFailed);
    }

    m_sleep(std::max(replyDelayMs, 0));

    std::array<std::uint8_t, kReplyBufferSize> reply{};
    const IoResult read = m_port.Read(reply.data(), expected + 2, kGuardMs);
    if (read.status == IoStatus::TimedOut)
        return Fail(kCodeReadTimeout);
    if (read.status == IoStatus::Failed)
        return Fail(kCodeReadFailed);

    const Verdict verdict = JudgeReply({reply.data(), read.count}, expected);
    m_lastError = verdict.code;
    if (!verdict.Accepted())
        return false;
    if (replyData != nullptr && expected > 0)
        std::copy_n(reply.begin() + static_cast<std::ptrdiff_t>(verdict.dataOffset), expected, replyData);
    return true;
}

}  // namespace talvex
