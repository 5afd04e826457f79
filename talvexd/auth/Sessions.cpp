#include "Sessions.h"

#include <openssl/rand.h>
#include <openssl/sha.h>

#include "talvexd/auth/UsersFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <sstream>

#include <fcntl.h>
#include <unistd.h>

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

std::string Hex(const std::string& bytes)
{
    static constexpr char kHexDigits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(kHexDigits[byte >> 4]);
        text.push_back(kHexDigits[byte & 15]);
    }
    return text;
}

std::optional<std::string> FromHex(const std::string& text)
{
    if (text.size() != 2 * SHA256_DIGEST_LENGTH)
        return std::nullopt;
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto digit = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        };
        const int high = digit(text[i]);
        const int low = digit(text[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

// The file keeps wall-clock seconds; the sessions a steady clock.
std::int64_t WallSeconds(CSessions::Clock::time_point moment)
{
    const auto wall = std::chrono::system_clock::now() - (CSessions::Clock::now() - moment);
    return std::chrono::duration_cast<std::chrono::seconds>(wall.time_since_epoch()).count();
}

CSessions::Clock::time_point SteadyMoment(std::int64_t wallSeconds)
{
    const auto wall = std::chrono::system_clock::time_point(std::chrono::seconds(wallSeconds));
    const auto ago = std::max<std::chrono::system_clock::duration>(std::chrono::system_clock::now() - wall, {});
    return CSessions::Clock::now() - std::chrono::duration_cast<CSessions::Clock::duration>(ago);
}

}  // namespace

CSessions::CSessions(std::string file, Report report) : m_file(std::move(file)), m_report(std::move(report)) {}

bool CSessions::Load(std::string* error)
{
    if (m_file.empty())
        return true;
    std::ifstream in(m_file);
    if (!in) {
        if (::access(m_file.c_str(), F_OK) != 0)
            return true;
        *error = "cannot read " + m_file;
        return false;
    }
    const auto now = Clock::now();
    std::lock_guard guard(m_lock);
    std::string line;
    int bad = 0;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string digest;
        std::string user;
        std::int64_t lastUse = 0;
        const auto key = fields >> digest >> user >> lastUse ? FromHex(digest) : std::nullopt;
        if (!key || !ValidUserName(user)) {
            ++bad;
            continue;
        }
        const Entry entry{user, SteadyMoment(lastUse), SteadyMoment(lastUse)};
        if (!Idle(entry, now) && m_entries.size() < kMaxSessions)
            m_entries[*key] = entry;
    }
    if (bad > 0) {
        *error = m_file + ": " + std::to_string(bad) + " lines are not sessions and were left out";
        return false;
    }
    return true;
}

void CSessions::Save()
{
    if (m_file.empty())
        return;
    std::string text;
    for (auto& [key, entry] : m_entries) {
        entry.savedUse = entry.lastUse;
        text += Hex(key) + " " + entry.user + " " + std::to_string(WallSeconds(entry.lastUse)) + "\n";
    }
    // Whole or not at all: a new file, renamed over the old one.
    const std::string temporary = m_file + ".new";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ok = fd >= 0 && ::fsync(fd) == 0 && ok;
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temporary.c_str(), m_file.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        if (!m_saveFailed && m_report)
            m_report("sessions: cannot write " + m_file + "; a restart will log everyone out");
    }
    m_saveFailed = !ok;
}

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
    m_entries[KeyOf(token)] = {user, now, now};
    Save();
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
        Save();
        return std::nullopt;
    }
    entry->second.lastUse = now;
    const std::string user = entry->second.user;
    if (now - entry->second.savedUse >= kSaveEvery)
        Save();
    return user;
}

void CSessions::End(const std::string& token)
{
    const std::string key = KeyOf(token);
    std::lock_guard guard(m_lock);
    if (m_entries.erase(key) > 0)
        Save();
}

}  // namespace talvexd
