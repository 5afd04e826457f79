#pragma once
// The device mutex: re-entrant, and handed over in the order it was
// asked for. A thread that lets go and asks again at once (the status thread
// between two readings of a cycle) queues behind those already waiting, so
// the level thread and the operator get the line between two readings
// instead of waiting for the whole cycle. A plain mutex gives no such turn:
// the thread that has just let go nearly always wins it back.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class CDeviceMutex
{
public:
    CDeviceMutex() = default;
    CDeviceMutex(const CDeviceMutex&) = delete;
    CDeviceMutex& operator=(const CDeviceMutex&) = delete;

    // Blocks until every earlier request has had its turn; at once when this
    // thread holds it already.
    void lock();
    // Takes it only when no one holds it and no one waits, or when this
    // thread holds it already.
    bool try_lock();
    void unlock();

    // Threads queued for it now (a holder that re-enters is not counted).
    int Waiting() const;

private:
    // The lock itself, so that thread checkers see it as a lock (and check
    // its order against every other lock).
    std::recursive_mutex m_mutex;
    // Guards the queue below; never held while taking m_mutex.
    mutable std::mutex m_queue;
    std::condition_variable m_turn;
    std::uint64_t m_nextTicket = 0;  // given to the next thread that asks
    std::uint64_t m_serving = 0;     // the ticket whose turn it is
    std::thread::id m_owner;
    int m_depth = 0;
};
