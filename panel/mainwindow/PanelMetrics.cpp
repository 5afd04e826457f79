#include "PanelMetrics.h"

namespace {

using talvex::metrics::Readings;

// Where each reading kind goes in the snapshot.
int* Field(Readings& r, ReadingKind kind)
{
    switch (kind) {
    case ReadingKind::Level: return &r.audioLevel;
    case ReadingKind::Frequency: return &r.frequencyTenths;
    case ReadingKind::ForwardPower: return &r.forwardPowerTenths;
    case ReadingKind::Swr: return &r.swrTenths;
    case ReadingKind::LineVolume: return &r.lineVolume;
    case ReadingKind::MicVolume: return &r.micVolume;
    case ReadingKind::Temperature: return &r.temperature;
    case ReadingKind::Mono:
    case ReadingKind::State:
    case ReadingKind::Failure: break;
    }
    return nullptr;
}

}  // namespace

CPanelMetrics::CPanelMetrics() { m_snapshot.build = {"TalvexPanel", TALVEX_VERSION}; }

bool CPanelMetrics::Start(const std::string& address, std::string* error)
{
    const auto listen = talvex::metrics::ParseListenAddress(address);
    if (!listen) {
        *error = "malformed listen address '" + address + "'";
        return false;
    }
    m_server.Publish(m_snapshot);
    return m_server.Start(*listen, error);
}

void CPanelMetrics::OnReading(ReadingKind kind, int value, const Settings& settings)
{
    if (kind == ReadingKind::Failure) {
        m_snapshot.CountFailure(value);
        m_snapshot.up = false;
    } else {
        if (!m_snapshot.readings) {
            m_snapshot.readings = Readings{};
            // The panel never reads the protection points on its own.
            m_snapshot.readings->protectionPoints = false;
        }
        Readings& r = *m_snapshot.readings;
        if (int* field = Field(r, kind)) {
            *field = value;
        }
        if (kind == ReadingKind::Mono) {
            r.stereo = value == 0;
        }
        m_snapshot.up = true;
        m_snapshot.lastGood = talvex::metrics::Clock::now();
    }
    if (m_snapshot.readings) {
        Readings& r = *m_snapshot.readings;
        r.standby = settings.standby;
        r.echo = settings.echo;
        r.lineInput = settings.lineInput;
        r.micInput = settings.micInput;
        r.powerSettingTenths = settings.powerSettingTenths;
    }
    m_server.Publish(m_snapshot);
}
