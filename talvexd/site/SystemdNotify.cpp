#include "SystemdNotify.h"

#include "SiteLink.h"

#include <systemd/sd-daemon.h>

#include <chrono>
#include <string>

namespace talvexd {

CSystemdNotifier::CSystemdNotifier(CSiteLink& link, QObject* parent) : QObject(parent), m_link(link)
{
    connect(&m_link, &CSiteLink::verdict, this, &CSystemdNotifier::OnVerdict);
    connect(&m_link, &CSiteLink::linkChanged, this, [this](bool up) {
        if (m_ready) {  // READY=1 says it first
            sd_notify(0, up ? "STATUS=link up" : "STATUS=link down, reconnecting");
        }
    });
    connect(&m_watchdog, &QTimer::timeout, this, &CSystemdNotifier::Ping);
}

void CSystemdNotifier::Start()
{
    std::uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0) {
        m_watchdog.setInterval(std::chrono::milliseconds(usec / 2000));
        m_watchdog.start();
    }
    if (m_link.HasVerdict()) {
        OnVerdict();
    }
}

void CSystemdNotifier::Stopping()
{
    m_watchdog.stop();
    sd_notify(0, "STOPPING=1");
}

void CSystemdNotifier::OnVerdict()
{
    if (m_ready) {
        return;
    }
    m_ready = true;
    sd_notify(0, m_link.IsUp() ? "READY=1\nSTATUS=link up" : "READY=1\nSTATUS=link down, reconnecting");
}

void CSystemdNotifier::Ping()
{
    const CTransmitterCore& core = m_link.Core();
    const std::uint64_t status = core.StatusCycles();
    const std::uint64_t level = core.LevelCycles();
    if (status != m_statusCycles && level != m_levelCycles) {
        sd_notify(0, "WATCHDOG=1");
    }
    m_statusCycles = status;
    m_levelCycles = level;
}

}  // namespace talvexd
