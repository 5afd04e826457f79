#include "Sessions.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include <algorithm>
#include <array>

namespace talvexd {
namespace {

constexpr std::size_t kTokenBytes = 32;

// Sessions are looked up by a digest of the token rather than the token
// itself, so that the time a lookup takes says nothing about how much of a
// guessed token was right.
std::string KeyOf(const std::string& token)
{
    std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
    SHA256(reinterpret_cast<const unsigned char*>(token.data()), token.size(), digest.data());
    return std::string(reinterpret_cast<const char*>(digest.data()), digest.size());
}

bool Idle(const auto& entry, CSessions::Clock::time_point now) { return now - entry.lastUse >= CSessions::kIdleLimit; }

}  // namespace

std::string CSessions::Create(const std::string& user, Clock::time_point now)
{
    std::array<unsigned char, kTokenBytes> bytes{};
    if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1)
        return {};
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string token;
    for (unsigned char byte : bytes) {
        token.push_back(kHexDigits[byte >> 4]);
        token.push_back(kHexDigits[byte & 15]);
    }

    std::lock_guard guard(m_lock);
    std::erase_if(m_entries, [now](const auto& item) { return Idle(item.second, now); });
    if (m_entries.size() >= kMaxSessions) {
        const auto leastRecent = std::min_element(m_entries.begin(), m_entries.end(), [](const auto& a, const auto& b) {
            return a.second.lastUse < b.second.lastUse;
        });
        m_entries.erase(leastRecent);
    }
    m_entries[KeyOf(token)] = {user, now};
    return token;
}

std::optional<std::string> CSessions::Find(const std::string& token, Clock::time_point now)
{
    const std::string key = KeyOf(token);
    std::lock_guard guard(m_lock);
    const auto entry = m_entries.find(key);
    if (entry == m_entries.end())
        return std::nullopt;
    if (Idle(entry->second, now)) {
        m_entries.erase(entry);
        return std::nullopt;
    }
    entry->second.lastUse = now;
    return entry->second.user;
}

void CSessions::End(const std::string& token)
{
    const std::string key = KeyOf(token);
    std::lock_guard guard(m_lock);
    m_entries.erase(key);
}

}  // namespace talvexd
