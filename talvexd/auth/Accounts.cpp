#include "Accounts.h"

#include "PasswordHash.h"
#include "UsersFile.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <iostream>
#include <map>
#include <mutex>

#include <sys/stat.h>

namespace talvexd {
namespace {

using Clock = std::chrono::steady_clock;

// How long a correct name and password are taken without the slow hash.
constexpr auto kRememberFor = std::chrono::minutes(5);
// Beyond this many remembered pairs the one closest to expiry gives way.
constexpr std::size_t kMaxRemembered = 1000;
constexpr char kHexDigits[] = "0123456789abcdef";

// What the users file was when it was last read: a rename, a rewrite in
// place or a touch all change it.
struct FileIdentity {
    int statError = 0;  // errno of the stat, ENOENT for a missing file
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeSeconds = 0;
    long mtimeNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return {.statError = errno};
    return {.device = info.st_dev,
            .inode = info.st_ino,
            .size = info.st_size,
            .mtimeSeconds = info.st_mtim.tv_sec,
            .mtimeNanoseconds = info.st_mtim.tv_nsec};
}

struct Account {
    Role role = Role::Viewer;
    std::string hash;
};

struct Remembered {
    Role role = Role::Viewer;
    Clock::time_point expires;
};

}  // namespace

struct CAccounts::State {
    std::string file;
    std::mutex lock;
    std::map<std::string, Account> accounts;
    bool read = false;  // the file was looked at at least once
    FileIdentity seen;  // at the last attempt to read it, good or bad
    // Changes on every reload, so that a check that ran against the old
    // file does not fill the cache after the new one was read.
    std::uint64_t generation = 0;

    // Keyed digests of correct "name\0password" pairs; the key never leaves
    // the process, so the cache tells nothing about the passwords.
    std::array<unsigned char, 32> digestKey{};
    bool digestKeyReady = false;
    std::map<std::string, Remembered> remembered;

    // Unknown names are checked against this, at the cost of a real one.
    std::once_flag dummyOnce;
    std::string dummyHash;

    ~State() { OPENSSL_cleanse(digestKey.data(), digestKey.size()); }

    // Reads the file; the caller holds `lock`.
    bool LoadLocked(std::string* error)
    {
        // Looked at before it is read: a change in between is seen as a
        // change next time, never missed.
        seen = IdentityOf(file);
        read = true;
        // Forgotten even when the new file is refused: whoever edited it
        // meant to change something.
        remembered.clear();
        ++generation;
        std::vector<UserRecord> users;
        if (!LoadUsersFile(file, users, nullptr, error))
            return false;
        accounts.clear();
        for (UserRecord& user : users)
            accounts[user.name] = {user.role, std::move(user.hash)};
        return true;
    }

    void ReloadIfChanged()
    {
        if (read && IdentityOf(file) == seen)
            return;
        std::string error;
        if (!LoadLocked(&error))
            std::cerr << "talvexd: " << error << std::endl;
    }

    // The cache key of a pair; "" when there is no key to make it with.
    std::string Digest(const std::string& name, const std::string& password) const
    {
        if (!digestKeyReady)
            return {};
        std::string message = name;
        message.push_back('\0');
        message += password;
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        const bool ok =
            HMAC(EVP_sha256(), digestKey.data(), static_cast<int>(digestKey.size()),
                 reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length) != nullptr;
        OPENSSL_cleanse(message.data(), message.size());
        return ok ? std::string(reinterpret_cast<const char*>(digest), length) : std::string();
    }

    void Remember(const std::string& digest, Role role, Clock::time_point now)
    {
        if (remembered.size() >= kMaxRemembered) {
            std::erase_if(remembered, [now](const auto& entry) { return entry.second.expires <= now; });
        }
        if (remembered.size() >= kMaxRemembered) {
            auto oldest = remembered.begin();
            for (auto it = remembered.begin(); it != remembered.end(); ++it) {
                if (it->second.expires < oldest->second.expires)
                    oldest = it;
            }
            remembered.erase(oldest);
        }
        remembered[digest] = {role, now + kRememberFor};
    }
};

CAccounts::CAccounts(std::string usersFile) : m_state(new State)
{
    m_state->file = std::move(usersFile);
    m_state->digestKeyReady = RAND_bytes(m_state->digestKey.data(), static_cast<int>(m_state->digestKey.size())) == 1;
}

CAccounts::~CAccounts() { delete m_state; }

bool CAccounts::Load(std::string* error)
{
    std::lock_guard guard(m_state->lock);
    return m_state->LoadLocked(error);
}

std::optional<Role> CAccounts::Authenticate(const std::string& name, const std::string& password)
{
    State& state = *m_state;
    std::call_once(state.dummyOnce, [&state] {
        unsigned char noise[16] = {};
        RAND_bytes(noise, sizeof(noise));
        std::string password;
        for (unsigned char byte : noise) {
            password.push_back(kHexDigits[byte >> 4]);
            password.push_back(kHexDigits[byte & 15]);
        }
        state.dummyHash = HashPassword(password);
    });

    const Clock::time_point now = Clock::now();
    const std::string digest = state.Digest(name, password);
    std::optional<Role> role;
    std::string hash;
    std::uint64_t generation = 0;
    {
        std::lock_guard guard(state.lock);
        state.ReloadIfChanged();
        if (!digest.empty()) {
            const auto cached = state.remembered.find(digest);
            if (cached != state.remembered.end() && now < cached->second.expires)
                return cached->second.role;
        }
        const auto account = state.accounts.find(name);
        if (account != state.accounts.end()) {
            role = account->second.role;
            hash = account->second.hash;
        } else {
            hash = state.dummyHash;
        }
        generation = state.generation;
    }

    // The slow part runs without the lock, so one login does not hold up
    // every other request.
    const bool correct = VerifyPassword(password, hash);
    if (!correct || !role)
        return std::nullopt;
    std::lock_guard guard(state.lock);
    if (!digest.empty() && generation == state.generation)
        state.Remember(digest, *role, now);
    return role;
}

std::optional<Role> CAccounts::RoleOf(const std::string& name)
{
    std::lock_guard guard(m_state->lock);
    m_state->ReloadIfChanged();
    const auto account = m_state->accounts.find(name);
    if (account == m_state->accounts.end())
        return std::nullopt;
    return account->second.role;
}

}  // namespace talvexd
