#pragma once
// Tells systemd (Type=notify) that the service is ready once the link has
// its first verdict, and pings its watchdog at half the unit's WatchdogSec
// while both pollers are still completing cycles: a poller caught in an
// exchange stops the pings, and systemd restarts the service. Without
// NOTIFY_SOCKET every call does nothing.

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace talvexd {

class CSiteLink;

class CSystemdNotifier : public QObject
{
    Q_OBJECT
public:
    explicit CSystemdNotifier(CSiteLink& link, QObject* parent = nullptr);

    // Sends READY=1 at the link's first verdict (now, when it has one) and
    // starts the watchdog pings when the unit asks for them.
    void Start();
    void Stopping();

private:
    void OnVerdict();
    void Ping();

    CSiteLink& m_link;
    QTimer m_watchdog{this};
    bool m_ready = false;
    std::uint64_t m_statusCycles = 0;
    std::uint64_t m_levelCycles = 0;
};

}  // namespace talvexd
