#pragma once
// A transmitter that lives on a pseudo-terminal: clients open DevicePath()
// as if it were the serial port and get the transmitter's answers.

#include "SimFault.h"
#include "SimState.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SimOptions {
    // When set, a symbolic link at this path points at the current
    // pseudo-terminal while the line is up; it is removed while the line is
    // down after a hang-up, placed again when it comes back, and removed on Stop.
    std::string linkPath;
    // Seed of the live readings' noise, so runs can be repeated.
    unsigned seed = 1;
    // Keep every received frame for ReceivedFrames(). A simulator that runs
    // for days (the panel's --simulate, the talvex-sim program) turns it off,
    // or its memory would grow with every request.
    bool recordFrames = true;
    // Called on the simulator's thread with every request frame it takes,
    // before it answers (talvex-sim --trace).
    std::function<void(const std::vector<std::uint8_t>&)> onFrame = nullptr;
};

class SimTransmitter
{
public:
    using Frame = std::vector<std::uint8_t>;

    explicit SimTransmitter(SimOptions options = {});
    ~SimTransmitter();
    SimTransmitter(const SimTransmitter&) = delete;
    SimTransmitter& operator=(const SimTransmitter&) = delete;

    // Opens the pseudo-terminal and starts answering. False (with a reason in
    // `error`) when the terminal or the link cannot be made.
    bool Start(std::string* error = nullptr);
    // Stops answering, closes the terminal and removes the link. Idempotent.
    void Stop();
    bool IsRunning() const;

    // The path a client should open: the link when there is one, else the
    // pseudo-terminal's own path.
    std::string DevicePath() const;
    // The current pseudo-terminal's path; empty while the line is down.
    std::string PtyPath() const;
    const std::string& LinkPath() const;

    SimState State() const;
    void SetState(const SimState& state);
    SimReadings Readings() const;
    // Sets the readings and freezes them at these values.
    void SetReadings(const SimReadings& readings);
    // Resumes (true) or freezes (false) the moving readings.
    void SetLiveReadings(bool live);
    // Holds one reading at `value`, in its wire units (see SimReadings), from
    // the next request on, while the others keep moving; reverse power
    // follows a held forward power or SWR. Also holds over frozen readings.
    void HoldReading(SimReading reading, int value);
    // Lets a held reading move by itself again, from the value it was held at.
    void ReleaseReading(SimReading reading);

    void InjectFault(const SimFault& fault);
    void ClearFaults();

    // Drops the line now, as the HangUp fault does; negative `downFor` keeps
    // it down until ComeBack().
    void HangUp(std::chrono::milliseconds downFor);
    void ComeBack();
    bool IsLineUp() const;
    // Counts the pseudo-terminals opened so far (1 after Start).
    unsigned LineGeneration() const;
    // Waits until the line is up with a generation of at least `generation`.
    bool WaitForLine(unsigned generation, std::chrono::milliseconds timeout) const;

    // Every complete request frame received, exact bytes, oldest first
    // (empty when recording is off).
    std::vector<Frame> ReceivedFrames() const;
    void ClearReceived();
    // Waits until at least `count` frames have been received since the last clear.
    bool WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const;
    // When the newest frame was complete (steady clock); for timing clients.
    std::chrono::steady_clock::time_point LastFrameTime() const;
    // Bytes thrown away while looking for the start of a frame.
    std::size_t DiscardedBytes() const;
    // Waits until no answer is waiting to be sent (a delayed one, say).
    bool WaitUntilIdle(std::chrono::milliseconds timeout) const;

private:
    class Worker;
    std::unique_ptr<Worker> m_worker;
};
