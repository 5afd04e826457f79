// The password store on Windows: HKLM\SOFTWARE\Vemra, value "param", REG_SZ,
// plain text, in the registry's 32-bit view where the earlier (32-bit) panel
// keeps it. What that panel stored is read exactly as it stands, what this
// one writes that panel reads, and reading creates nothing.
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

// Runs Windows' own reg.exe, as an administrator (or an installer) would.
int Reg(const std::string& arguments)
{
    std::string command = "reg.exe " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                          &startup, &process)) {
        return -1;
    }
    ::WaitForSingleObject(process.hProcess, 30000);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

void RemoveKeys()
{
    Reg("delete HKLM\\SOFTWARE\\Vemra /f /reg:32");
    Reg("delete HKLM\\SOFTWARE\\Vemra /f /reg:64");
}

struct RawValue {
    DWORD type = REG_NONE;
    std::string bytes;  // as stored, the terminating zero included
};

std::optional<RawValue> ReadRaw(REGSAM view)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
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
    void SetUp() override { RemoveKeys(); }
    void TearDown() override { RemoveKeys(); }
};

TEST_F(PasswordRegistryTest, ReadsWhatAnEarlierPanelStoredExactly)
{
    EXPECT_TRUE(CPasswordStore().FileName().isEmpty()) << "the registry, not a file";
    EXPECT_EQ(CPasswordStore().Read(), "") << "no key: no password";
    for (const char* view : {"/reg:32", "/reg:64"}) {
        EXPECT_NE(Reg(std::string("query HKLM\\SOFTWARE\\Vemra ") + view), 0) << "reading created the key";
    }

    struct Case {
        const char* view;  // reg.exe's view of the registry
        const char* type;
        std::string stored;
        std::string read;
    };
    const std::string fits(259, 'x');  // with its zero, exactly the earlier panel's buffer
    const Case cases[] = {
        {"/reg:32", "REG_SZ", "s3cret", "s3cret"},
        {"/reg:64", "REG_SZ", "s3cret", ""},  // not where a 32-bit panel looks
        {"/reg:32", "REG_SZ", "with space ", "with space "},
        {"/reg:32", "REG_SZ", "@Invalid()", "@Invalid()"},
        {"/reg:32", "REG_SZ", "@String(abc)", "@String(abc)"},
        {"/reg:32", "REG_SZ", "@@x", "@@x"},
        {"/reg:32", "REG_SZ", fits, fits},
        {"/reg:32", "REG_SZ", std::string(300, 'x'), ""},  // does not fit: no password
        {"/reg:32", "REG_DWORD", "5", ""},                 // not text: no password
    };
    for (const Case& c : cases) {
        RemoveKeys();
        ASSERT_EQ(Reg(std::string("add HKLM\\SOFTWARE\\Vemra /v param /t ") + c.type + " /d \"" + c.stored + "\" /f " +
                      c.view),
                  0);
        EXPECT_EQ(CPasswordStore().Read().toStdString(), c.read) << c.view << ' ' << c.type << " \"" << c.stored << '"';
    }
}

TEST_F(PasswordRegistryTest, WritesPlainTextWhereAnEarlierPanelReadsIt)
{
    for (const std::string password : {"Secret 1", "@abc", "@Invalid()", ""}) {
        ASSERT_TRUE(CPasswordStore().Write(QString::fromStdString(password)));
        const std::optional<RawValue> raw = ReadRaw(KEY_WOW64_32KEY);
        ASSERT_TRUE(raw.has_value()) << password;
        EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(raw->bytes, password + '\0') << "the text as it is and one terminating zero";
        EXPECT_EQ(CPasswordStore().Read().toStdString(), password);
    }
    EXPECT_FALSE(ReadRaw(KEY_WOW64_64KEY).has_value()) << "written into the 64-bit view too";
}

}  // namespace
