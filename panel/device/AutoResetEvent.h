#pragma once
// An auto-reset event: Set() wakes one wait (or the next one), and a
// satisfied wait resets it. Used as the pollers' stop events.

#include <chrono>
#include <condition_variable>
#include <mutex>

class AutoResetEvent
{
public:
    void Set();
    // true when signalled within `timeout`, false on time-out.
    bool Wait(std::chrono::milliseconds timeout);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};
