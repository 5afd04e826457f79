// The transaction against a scripted port that records every operation:
// the order of the steps, and the code and final purge of every way out.

#include "CommLink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using talvex::IoResult;
using talvex::IoStatus;
using Bytes = std::vector<std::uint8_t>;
using Log = std::vector<std::string>;

Log g_log;

void RecordSleep(int ms) { g_log.push_back("sleep " + std::to_string(ms)); }

struct CScriptedPort final : talvex::CSerialPort {
    bool Open(const char*) override
    {
        m_open = true;
        return true;
    }
    bool Configure(const talvex::LineSettings&) override { return true; }
    bool Close() override
    {
        m_open = false;
        return true;
    }
    bool IsOpen() const override { return m_open; }
    void Purge() override { g_log.push_back("purge"); }
    IoResult Write(const std::uint8_t*, std::size_t size, int guardMs) override
    {
        g_log.push_back("write " + std::to_string(size) + " /" + std::to_string(guardMs));
        return {m_write, m_write == IoStatus::Ok ? size - m_writeShortBy : 0};
    }
    IoStatus WaitForInput(int timeoutMs) override
    {
        g_log.push_back("wait /" + std::to_string(timeoutMs));
        return m_wait;
    }
    IoResult Read(std::uint8_t* data, std::size_t size, int guardMs) override
    {
        g_log.push_back("read " + std::to_string(size) + " /" + std::to_string(guardMs));
        const std::size_t count = std::min(size, m_reply.size());
        std::memcpy(data, m_reply.data(), count);
        return {m_read, count};
    }

    bool m_open = false;
    IoStatus m_write = IoStatus::Ok;
    std::size_t m_writeShortBy = 0;
    IoStatus m_wait = IoStatus::Ok;
    IoStatus m_read = IoStatus::Ok;
    Bytes m_reply{'O', 'K', 0x03, 0xE8};
};

const Bytes kGetFreq{0x01, 0x01, 0x1C};

TEST(CommTransact, RunsEveryStepInOrderAndDeliversTheData)
{
    CScriptedPort port;
    talvex::CCommLink link(port, RecordSleep);
    std::uint8_t data[2] = {};
    EXPECT_FALSE(link.CommTransact(kGetFreq, data, 2, 100));
    EXPECT_EQ(link.LastError(), talvex::kCodeNotOpen);

    ASSERT_TRUE(link.Open("/dev/scripted", {}));
    EXPECT_EQ(link.LastError(), talvex::kCodeNoReply);
    g_log.clear();
    ASSERT_TRUE(link.CommTransact(kGetFreq, data, 2, 100));
    EXPECT_EQ(link.LastError(), talvex::kCodeOk);
    EXPECT_EQ(data[0] * 256 + data[1], 1000);
    const Log steps{"purge", "sleep 50", "purge", "write 3 /2000", "wait /2000", "sleep 100", "read 4 /2000", "purge"};
    EXPECT_EQ(g_log, steps);

    // A negative reply delay does not wait.
    g_log.clear();
    ASSERT_TRUE(link.CommTransact(kGetFreq, data, 2, -5));
    EXPECT_EQ(g_log.at(5), "sleep 0");
}

TEST(CommTransact, EveryFailureSetsItsCodeStopsThereAndStillPurges)
{
    struct Case {
        const char* name;
        void (*arrange)(CScriptedPort&);
        int code;
        const char* lastStep;
    };
    const Case cases[] = {
        {"write time-out", [](CScriptedPort& p) { p.m_write = IoStatus::TimedOut; }, 3, "write"},
        {"write failure", [](CScriptedPort& p) { p.m_write = IoStatus::Failed; }, 5, "write"},
        {"short write", [](CScriptedPort& p) { p.m_writeShortBy = 1; }, 5, "write"},
        {"no reply", [](CScriptedPort& p) { p.m_wait = IoStatus::TimedOut; }, -1, "wait"},
        {"hang-up", [](CScriptedPort& p) { p.m_wait = IoStatus::Failed; }, 6, "wait"},
        {"read time-out", [](CScriptedPort& p) { p.m_read = IoStatus::TimedOut; }, 4, "read"},
        {"read failure", [](CScriptedPort& p) { p.m_read = IoStatus::Failed; }, 6, "read"},
        {"refusal",
         [](CScriptedPort& p) {
             p.m_reply = {'E', 'R'};
         },
         1, "read"},
        {"one byte short",
         [](CScriptedPort& p) {
             p.m_reply = {'O', 'K', 3};
         },
         -1, "read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CScriptedPort port;
        talvex::CCommLink link(port, RecordSleep);
        ASSERT_TRUE(link.Open("/dev/scripted", {}));
        c.arrange(port);
        g_log.clear();
        std::uint8_t data[2] = {0xAA, 0xBB};
        EXPECT_FALSE(link.CommTransact(kGetFreq, data, 2, 100));
        EXPECT_EQ(link.LastError(), c.code);
        EXPECT_EQ(data[0], 0xAA);  // the output stays untouched
        EXPECT_EQ(data[1], 0xBB);
        ASSERT_GE(g_log.size(), 2u);
        EXPECT_EQ(g_log.back(), "purge");
        EXPECT_EQ(g_log[g_log.size() - 2].rfind(c.lastStep, 0), 0u) << g_log[g_log.size() - 2];
        EXPECT_TRUE(link.IsOpen());  // a failed exchange never closes the port
    }
}

}  // namespace
