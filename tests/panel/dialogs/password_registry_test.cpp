// The password store on Windows: HKLM\SOFTWARE\Vemra, value "param", REG_SZ,
// plain text. What an earlier panel stored there is read as it stands, and
// what this one writes an earlier one reads.
#include "dialogs/PasswordStore.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace {

constexpr const char* kKey = "SOFTWARE\\Vemra";
constexpr const char* kValue = "param";

struct RawValue {
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, the terminating zero included
};

void RemoveKey() { ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey); }

// Stores `text` the way an earlier panel did: REG_SZ, its characters and one zero.
void StoreRaw(const std::string& text)
{
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                                nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetValueExA(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
    ::RegCloseKey(key);
}

std::optional<RawValue> ReadRaw()
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    RawValue raw;
    char data[260];
    DWORD size = sizeof data;
    const LONG result = ::RegQueryValueExA(key, kValue, nullptr, &raw.type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        return std::nullopt;
    }
    raw.bytes.assign(data, size);
    return raw;
}

class PasswordRegistryTest : public ::testing::Test
{
protected:
    void SetUp() override { RemoveKey(); }
    void TearDown() override { RemoveKey(); }
};

TEST_F(PasswordRegistryTest, ReadsWhatAnEarlierPanelStored)
{
    EXPECT_EQ(CPasswordStore().Read(), "") << "no key: no password";
    EXPECT_TRUE(CPasswordStore().FileName().isEmpty()) << "the registry, not a file";
    struct Case {
        const char* stored;
        const char* read;
    };
    for (const Case& c : {Case{"", ""}, Case{"s3cret", "s3cret"}, Case{"with space ", "with space "},
                          Case{"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"}}) {
        StoreRaw(c.stored);
        EXPECT_EQ(CPasswordStore().Read(), c.read) << "stored: \"" << c.stored << '"';
    }
}

TEST_F(PasswordRegistryTest, WritesPlainTextThatAnEarlierPanelReads)
{
    ASSERT_TRUE(CPasswordStore().Write("Secret 1"));
    const std::optional<RawValue> raw = ReadRaw();
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw->bytes, std::string("Secret 1", 9)) << "the text and one terminating zero";
    EXPECT_EQ(CPasswordStore().Read(), "Secret 1");

    // Locking with an empty password stores it, and means "no password".
    ASSERT_TRUE(CPasswordStore().Write(""));
    EXPECT_EQ(CPasswordStore().Read(), "");
}

}  // namespace
