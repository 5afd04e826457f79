#include "PasswordHash.h"

#include <crypt.h>
#include <openssl/crypto.h>

#include <cstring>
#include <memory>

namespace talvexd {
namespace {

// crypt_data is tens of kilobytes: too big for a request thread's stack.
// It holds the password and intermediate state, so it is wiped afterwards.
class CryptScratch
{
public:
    CryptScratch() : m_data(std::make_unique<crypt_data>()) {}
    ~CryptScratch() { OPENSSL_cleanse(m_data.get(), sizeof(crypt_data)); }
    CryptScratch(const CryptScratch&) = delete;
    CryptScratch& operator=(const CryptScratch&) = delete;

    // The hash of `password` under `setting`; nullptr on failure.
    const char* Crypt(const std::string& password, const char* setting)
    {
        const char* out = crypt_r(password.c_str(), setting, m_data.get());
        // libxcrypt reports failure as a string starting with '*'.
        return out != nullptr && out[0] != '*' ? out : nullptr;
    }

private:
    std::unique_ptr<crypt_data> m_data;
};

// A NUL-terminated copy of the password that does not outlive its use.
class SecretCopy
{
public:
    explicit SecretCopy(std::string_view text) : m_text(text) {}
    ~SecretCopy() { OPENSSL_cleanse(m_text.data(), m_text.size()); }
    SecretCopy(const SecretCopy&) = delete;
    SecretCopy& operator=(const SecretCopy&) = delete;
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace

std::string HashPassword(std::string_view password)
{
    if (password.find('\0') != std::string_view::npos)
        return {};
    char setting[CRYPT_GENSALT_OUTPUT_SIZE] = {};
    // Cost 0 is libxcrypt's default for yescrypt; no random bytes given
    // means it takes them from the kernel.
    if (crypt_gensalt_rn("$y$", 0, nullptr, 0, setting, sizeof(setting)) == nullptr)
        return {};
    SecretCopy secret(password);
    CryptScratch scratch;
    const char* hash = scratch.Crypt(secret.Text(), setting);
    return hash != nullptr ? std::string(hash) : std::string();
}

bool VerifyPassword(std::string_view password, const std::string& hash)
{
    if (password.find('\0') != std::string_view::npos || hash.empty())
        return false;
    SecretCopy secret(password);
    CryptScratch scratch;
    const char* computed = scratch.Crypt(secret.Text(), hash.c_str());
    if (computed == nullptr || std::strlen(computed) != hash.size())
        return false;
    return CRYPTO_memcmp(computed, hash.data(), hash.size()) == 0;
}

}  // namespace talvexd
