#include "LoginGuard.h"

#include <algorithm>

namespace talvexd {

bool CLoginGuard::Blocked(const std::string& address, Clock::time_point now)
{
    std::lock_guard guard(m_lock);
    const auto entry = m_entries.find(address);
    return entry != m_entries.end() && now < entry->second.blockedUntil;
}

void CLoginGuard::Failed(const std::string& address, Clock::time_point now)
{
    std::lock_guard guard(m_lock);
    if (m_entries.size() >= kMaxEntries && !m_entries.contains(address))
        Prune(now);
    Entry& entry = m_entries[address];
    std::erase_if(entry.failures, [now](Clock::time_point failure) { return now - failure >= kWindow; });
    entry.failures.push_back(now);
    if (entry.failures.size() >= static_cast<std::size_t>(kFailures)) {
        entry.blockedUntil = now + kLockout;
        entry.failures.clear();
    }
}

void CLoginGuard::Succeeded(const std::string& address)
{
    std::lock_guard guard(m_lock);
    m_entries.erase(address);
}

void CLoginGuard::Prune(Clock::time_point now)
{
    const auto lastEvent = [](const Entry& entry) {
        const Clock::time_point lastFailure = entry.failures.empty() ? Clock::time_point{} : entry.failures.back();
        return std::max(lastFailure, entry.blockedUntil - kLockout);
    };
    // Entries that no longer count for anything.
    std::erase_if(m_entries, [&](const auto& item) {
        const Entry& entry = item.second;
        return now >= entry.blockedUntil &&
               std::all_of(entry.failures.begin(), entry.failures.end(),
                           [now](Clock::time_point failure) { return now - failure >= kWindow; });
    });
    // Still full (failures from very many addresses at once): the one quiet
    // for longest gives way.
    if (m_entries.size() >= kMaxEntries) {
        const auto quietest = std::min_element(m_entries.begin(), m_entries.end(), [&](const auto& a, const auto& b) {
            return lastEvent(a.second) < lastEvent(b.second);
        });
        m_entries.erase(quietest);
    }
}

}  // namespace talvexd
