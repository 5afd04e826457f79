#pragma once
// The simulated transmitter of --simulate, running inside the program on a
// line of its own. One backend per platform: it needs a POSIX
// pseudo-terminal, so a Windows build says it has none.

#include <QString>

#include <memory>
#include <string>

class CSimulatedLine
{
public:
    CSimulatedLine();
    ~CSimulatedLine();  // stops the simulated transmitter
    CSimulatedLine(const CSimulatedLine&) = delete;
    CSimulatedLine& operator=(const CSimulatedLine&) = delete;

    // Starts it. The device the panel is to open, or an empty string with
    // the reason in `error`.
    QString Start(std::string* error);

private:
    struct Simulator;
    std::unique_ptr<Simulator> m_simulator;
};
