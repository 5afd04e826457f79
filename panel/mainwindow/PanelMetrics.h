#pragma once
// The panel's readings for Prometheus: a snapshot of what the pollers have
// already read, kept on the UI thread and handed to the metrics listener,
// which serves it from a thread of its own. Serving adds no exchange on the
// serial line, and a scrape never waits for the UI.

#include "core/Readings.h"

#include <MetricsServer.h>

#include <string>

class CPanelMetrics
{
public:
    // What the main window knows besides the readings: its flags and the
    // power setting the transmitter last accepted.
    struct Settings {
        bool standby = true;
        bool echo = false;
        bool lineInput = false;
        bool micInput = false;
        int powerSettingTenths = 0;
    };

    CPanelMetrics();

    // Starts serving at `address` ("[ADDR:]PORT"); false with `error` set
    // when it is malformed or cannot be bound.
    bool Start(const std::string& address, std::string* error);
    void Stop() { m_server.Stop(); }
    // The bound port.
    int Port() const { return m_server.Port(); }

    // A posted reading (or failure) and the window's state as it now is.
    void OnReading(ReadingKind kind, int value, const Settings& settings);

private:
    talvex::metrics::CMetricsServer m_server;
    talvex::metrics::Snapshot m_snapshot;
};
