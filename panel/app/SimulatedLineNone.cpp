#include "SimulatedLine.h"

struct CSimulatedLine::Simulator {};

CSimulatedLine::CSimulatedLine() = default;

CSimulatedLine::~CSimulatedLine() = default;

QString CSimulatedLine::Start(std::string* error)
{
    *error = "this build has no simulated transmitter: run talvex-sim on a Linux machine";
    return QString();
}
