#include "StatusBoard.h"

namespace talvexd {

void CStatusBoard::Publish(const SiteStatus& status, unsigned changes)
{
    {
        std::lock_guard lock(m_lock);
        m_status = status;
        Move(changes);
    }
    if (changes != 0) {
        m_changed.notify_all();
    }
}

void CStatusBoard::Note(unsigned changes)
{
    {
        std::lock_guard lock(m_lock);
        Move(changes);
    }
    if (changes != 0) {
        m_changed.notify_all();
    }
}

void CStatusBoard::Move(unsigned changes)
{
    m_versions.status += (changes & kStatus) ? 1 : 0;
    m_versions.level += (changes & kLevel) ? 1 : 0;
    m_versions.link += (changes & kLink) ? 1 : 0;
    m_versions.alarms += (changes & kAlarms) ? 1 : 0;
}

SiteStatus CStatusBoard::Current() const
{
    std::lock_guard lock(m_lock);
    return m_status;
}

std::pair<SiteStatus, CStatusBoard::Versions> CStatusBoard::Read() const
{
    std::lock_guard lock(m_lock);
    return {m_status, m_versions};
}

CStatusBoard::Versions CStatusBoard::CurrentVersions() const
{
    std::lock_guard lock(m_lock);
    return m_versions;
}

CStatusBoard::Versions CStatusBoard::WaitForChange(const Versions& seen, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_lock);
    m_changed.wait_for(lock, timeout, [&] { return m_closed || !(m_versions == seen); });
    return m_versions;
}

void CStatusBoard::Close()
{
    {
        std::lock_guard lock(m_lock);
        m_closed = true;
    }
    m_changed.notify_all();
}

bool CStatusBoard::Closed() const
{
    std::lock_guard lock(m_lock);
    return m_closed;
}

}  // namespace talvexd
