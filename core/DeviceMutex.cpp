#include "DeviceMutex.h"

void CDeviceMutex::lock()
{
    const std::thread::id self = std::this_thread::get_id();
    {
        std::unique_lock queue(m_queue);
        if (m_owner != self) {
            const std::uint64_t ticket = m_nextTicket++;
            m_turn.wait(queue, [&] { return m_serving == ticket; });
            m_owner = self;
        }
        ++m_depth;
    }
    // Our turn: the previous holder let go of it before passing the turn on.
    m_mutex.lock();
}

bool CDeviceMutex::try_lock()
{
    const std::thread::id self = std::this_thread::get_id();
    {
        std::lock_guard queue(m_queue);
        if (m_owner == self) {
            ++m_depth;
        } else if (m_depth == 0 && m_serving == m_nextTicket) {
            ++m_nextTicket;  // the turn that is being served now
            m_owner = self;
            m_depth = 1;
        } else {
            return false;
        }
    }
    m_mutex.lock();
    return true;
}

void CDeviceMutex::unlock()
{
    m_mutex.unlock();
    std::lock_guard queue(m_queue);
    if (--m_depth == 0) {
        m_owner = std::thread::id();
        ++m_serving;
        m_turn.notify_all();
    }
}

int CDeviceMutex::Waiting() const
{
    std::lock_guard queue(m_queue);
    // Tickets handed out and not yet served, less the one being served.
    const std::uint64_t queued = m_nextTicket - m_serving;
    return static_cast<int>(m_depth > 0 && queued > 0 ? queued - 1 : queued);
}
