#pragma once
// What every test against the simulated transmitter needs, with or without
// widgets: the simulator on a pseudo-terminal, a line that never answers,
// frames in readable form, and event pumping with a time-out.

#include <SimTransmitter.h>

#include <gtest/gtest.h>

#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace sim_test {

// Has the test program's application object deleted after its last test,
// whoever made it. Call it where the object is made; once is enough.
void DeleteApplicationAfterTheLastTest();

// Processes events until `condition` holds or `timeout` has passed; returns
// the condition's final value.
bool PumpUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// Processes events for `duration`.
void PumpFor(std::chrono::milliseconds duration);

// A serial line that is there but never answers: a pseudo-terminal whose
// other end nobody reads. A probe on it costs one full failed transaction.
class DeadPort
{
public:
    DeadPort();
    ~DeadPort();
    DeadPort(const DeadPort&) = delete;
    DeadPort& operator=(const DeadPort&) = delete;

    bool IsValid() const { return m_master >= 0; }
    QString Path() const { return m_path; }
    // The bytes written to the port so far and not yet taken.
    std::vector<std::uint8_t> TakeWritten();

private:
    int m_master = -1;
    QString m_path;
};

using Frame = SimTransmitter::Frame;
Frame F(std::initializer_list<int> bytes);
// Readable form of frames for failure messages: "01 01 03 | 01 01 18".
std::string FramesToString(const std::vector<Frame>& frames);
// The frames whose command code (byte 2) is not in `codes`.
std::vector<Frame> FramesWithout(const std::vector<Frame>& frames, std::initializer_list<int> codes);
// How many of `frames` carry command code `code`.
int CountCode(const std::vector<Frame>& frames, int code);

// Base fixture: the test program's QCoreApplication (unless a derived suite
// made a QApplication first) and a started simulated transmitter. The
// library's port is closed after every test.
class SimTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    // The simulator's device path, as a front end's named port.
    QString SimPort() const { return QString::fromStdString(m_sim.DevicePath()); }
    // Makes the simulator answer "ER" to `code` (once, or until cleared).
    void Refuse(int code, bool persistent = false) { Inject(SimFaultKind::Refuse, code, persistent); }
    // Makes the simulator stay silent to `code` (once, or until cleared).
    void Silence(int code, bool persistent = false) { Inject(SimFaultKind::Silent, code, persistent); }
    void Inject(SimFaultKind kind, int code, bool persistent);
    std::vector<Frame> Sent() const { return m_sim.ReceivedFrames(); }
    // Sets the simulator's state.
    template <typename Change>
    void ChangeState(Change change)
    {
        SimState state = m_sim.State();
        change(state);
        m_sim.SetState(state);
    }

    SimTransmitter m_sim;
};

}  // namespace sim_test
