#pragma once
// One pseudo-terminal pair: the master side the simulator talks through and
// a slave descriptor the simulator keeps open itself. Holding the slave
// keeps the line settings it was given (raw, so nothing is echoed or
// translated before a client configures the port) and keeps the master from
// reporting a hang-up while no client has the port open.

#include <string>

namespace sim {

class PtyPair
{
public:
    PtyPair() = default;
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool Open(std::string* error);
    // Closes both sides; the slave's device node goes away with the master.
    void Close();
    bool IsOpen() const { return m_master >= 0; }
    int Master() const { return m_master; }
    const std::string& SlavePath() const { return m_slavePath; }

private:
    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
};

}  // namespace sim
