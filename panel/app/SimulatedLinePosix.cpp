#include "SimulatedLine.h"

#include <SimTransmitter.h>

struct CSimulatedLine::Simulator {
    SimTransmitter transmitter{[] {
        SimOptions options;
        options.recordFrames = false;  // the panel may run for days
        return options;
    }()};
};

CSimulatedLine::CSimulatedLine() = default;

CSimulatedLine::~CSimulatedLine() = default;

QString CSimulatedLine::Start(std::string* error)
{
    m_simulator = std::make_unique<Simulator>();
    if (!m_simulator->transmitter.Start(error)) {
        return QString();
    }
    return QString::fromStdString(m_simulator->transmitter.DevicePath());
}
