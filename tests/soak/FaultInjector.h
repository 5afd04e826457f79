#pragma once
// Makes the simulated transmitter misbehave at random moments: refusals
// (one command, or every command for a while), the short "K" answer, cut and
// padded answers, garbage, late answers, and hang-ups after which it comes
// back on the same path. A transmitter that stays silent is left out here:
// each silent request holds the device mutex for the library's full 2-second
// guard, and the user-interface thread legitimately waits for that lock, so
// silence cannot coexist with the run's 2-second responsiveness check; the
// end-to-end fault tests cover it instead.

#include <SimTransmitter.h>

#include <QObject>
#include <QTimer>
#include <atomic>
#include <map>
#include <random>
#include <string>

namespace soak {

// The newest fault injected, for a stall report.
extern std::atomic<const char*> g_lastFault;

class CFaultInjector : public QObject
{
public:
    CFaultInjector(SimTransmitter& sim, std::mt19937& rng);

    void Start();
    // Stops injecting, clears what is pending and brings the line back up.
    void Stop();

    const std::map<std::string, int>& Injected() const { return m_injected; }

private:
    void InjectOne();
    void EndRefusals();
    int RandomCode();

    SimTransmitter& m_sim;
    std::mt19937& m_rng;
    QTimer m_timer;
    QTimer m_refusalEnd;
    std::map<std::string, int> m_injected;
};

}  // namespace soak
