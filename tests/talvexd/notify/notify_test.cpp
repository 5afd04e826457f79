// The notifications as a site gets them: a real SMTP server with STARTTLS
// and a login (smtp_receiver.py) and a webhook receiver of cpp-httplib that
// checks every signature with its own HMAC, both on the loopback.

#include "Receivers.h"
#include "sim/SimTestSupport.h"
#include "talvexd/notify/Notifier.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/hmac.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>

namespace {

using notifytest::CHookReceiver;
using notifytest::CSmtpReceiver;

using namespace std::chrono_literals;
using talvexd::AlarmKind;
using talvexd::AlarmTransition;
using talvexd::CNotifier;
using Json = nlohmann::json;

const AlarmTransition kSwrUp{
    AlarmKind::Swr, true, talvexd::Severity::Critical, talvexd::WallClock::from_time_t(1800000000), 3.2, 2.8};
const AlarmTransition kSwrDown{
    AlarmKind::Swr, false, talvexd::Severity::Critical, talvexd::WallClock::from_time_t(1800000060), 2.5, 2.8};

class NotifyTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Write("password", "mail-secret\n");
        Write("secret", "hook-secret\n");
        m_config.siteName = "Hill";
        m_config.retryFirst = 1s;
        m_config.retryMax = 4s;
        m_config.dataDirectory = m_dir.Path();
        m_config.email = {"",       "talvex@example.org",   {"ops@example.org"},
                          "talvex", m_dir.File("password"), m_dir.File("cert.pem")};
        m_config.webhook = {"", m_dir.File("secret"), ""};
    }
    void Write(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir.File(name)) << text;
        std::filesystem::permissions(m_dir.File(name), std::filesystem::perms::owner_read);
    }
    void StartSmtp()
    {
        ASSERT_TRUE(m_smtp.Start(m_dir, "talvex", "mail-secret"));
        m_config.email.url = m_smtp.Url();
        m_config.email.caFile = m_smtp.CertificateFile();
    }
    std::vector<std::string> Mails() const { return m_smtp.Mails(); }

    simtest::TempDir m_dir;
    talvexd::SiteConfig m_config;
    CSmtpReceiver m_smtp;
    CHookReceiver m_hook{"hook-secret"};
};

TEST_F(NotifyTest, EachRaiseAndClearIsOneMessageOnEachChannel)
{
    StartSmtp();
    m_hook.Start();
    m_config.webhook.url = m_hook.Url();
    CNotifier notifier(m_config);
    std::string error;
    ASSERT_TRUE(notifier.Start(&error)) << error;
    notifier.Notify(kSwrUp);
    notifier.Notify(kSwrDown);
    ASSERT_TRUE(nettest::WaitFor([&] { return Mails().size() == 2 && m_hook.Bodies().size() == 2; }, 15s));
    std::this_thread::sleep_for(500ms);  // nothing more comes
    const auto mails = Mails();
    const auto bodies = m_hook.Bodies();
    ASSERT_EQ(mails.size(), 2u);
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(notifier.Counts().delivered, 4u);
    EXPECT_EQ(notifier.Pending(), 0);
    for (const char* part : {"Subject: [Talvex Hill] CRITICAL: swr raised: 3.2 over 2.8\r\n", "Date: ",
                             "\r\nFrom: talvex@example.org\r\n", "\r\nTo: ops@example.org\r\n", "\r\nMessage-ID: <",
                             "\r\nMIME-Version: 1.0\r\n", "Content-Type: text/plain; charset=utf-8\r\n", "Hill",
                             "critical", "3.2", "2.8", "2027-01-15T08:00:00.000Z", "What to do"})
        EXPECT_NE(mails[0].find(part), std::string::npos) << part;
    EXPECT_NE(mails[1].find("Subject: [Talvex Hill] OK: swr cleared: 2.5\r\n"), std::string::npos);
    EXPECT_EQ(m_hook.BadSignatures(), 0);
    const auto now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(bodies[0]["timestamp"].get<double>(), static_cast<double>(now), 30);
    EXPECT_EQ(bodies[0]["id"].get<std::string>().size(), 32u);
    EXPECT_NE(bodies[0]["id"], bodies[1]["id"]);
    const Json raised = {{"site", "Hill"},
                         {"event", "raised"},
                         {"alarm", "swr"},
                         {"severity", "critical"},
                         {"value", 3.2},
                         {"threshold", 2.8},
                         {"at", "2027-01-15T08:00:00.000Z"}};
    for (const auto& [key, value] : raised.items())
        EXPECT_EQ(bodies[0][key], value) << key;
    EXPECT_EQ(bodies[1]["event"], "cleared");
    EXPECT_EQ(bodies[1]["at"], "2027-01-15T08:01:00.000Z");
}

TEST_F(NotifyTest, AWrongPasswordKeepsTheMailOwed)
{
    StartSmtp();
    Write("password", "not-it\n");
    CNotifier notifier(m_config);
    std::string error;
    ASSERT_TRUE(notifier.Start(&error)) << error;
    notifier.Notify(kSwrUp);
    ASSERT_TRUE(nettest::WaitFor([&] { return notifier.Counts().failed >= 2; }, 10s));
    EXPECT_EQ(notifier.Pending(), 1);
    EXPECT_EQ(notifier.Counts().delivered, 0u);
    EXPECT_TRUE(Mails().empty());
}

TEST_F(NotifyTest, WhatWasOwedArrivesOnceAfterAnOutageAndARestart)
{
    m_hook.Start();  // for a port of its own, then down
    m_hook.Stop();
    m_config.webhook.url = m_hook.Url();
    auto first = std::make_unique<CNotifier>(m_config);
    std::string error;
    ASSERT_TRUE(first->Start(&error)) << error;
    for (const auto& t : {kSwrUp, kSwrDown, kSwrUp})
        first->Notify(t);
    // A minute down, as a receiver's restart or a network outage takes;
    // the pauses are short here (1 s doubling to 4 s), so that many
    // attempts fail meanwhile and none may count as a delivery.
    std::this_thread::sleep_for(60s);
    EXPECT_GE(first->Counts().failed, 12u);
    m_hook.Start();
    ASSERT_TRUE(nettest::WaitFor([&] { return first->Pending() == 0; }, 10s));

    // Owed when it stops, sent by the next one on the same database.
    m_hook.Stop();
    const auto failed = first->Counts().failed;
    first->Notify(kSwrDown);
    first->Notify(kSwrUp);
    ASSERT_TRUE(nettest::WaitFor([&] { return first->Counts().failed > failed; }, 10s));
    first.reset();
    m_hook.Start();
    CNotifier second(m_config);
    ASSERT_TRUE(second.Start(&error)) << error;
    ASSERT_TRUE(nettest::WaitFor([&] { return m_hook.Bodies().size() >= 5; }, 10s));
    std::this_thread::sleep_for(500ms);
    const auto bodies = m_hook.Bodies();
    ASSERT_EQ(bodies.size(), 5u);
    std::set<std::string> ids;
    std::string events;
    for (const Json& body : bodies) {
        ids.insert(body["id"].get<std::string>());
        events += body["event"].get<std::string>() + " ";
    }
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(events, "raised cleared raised cleared raised ");
    EXPECT_EQ(second.Pending(), 0);
}

TEST_F(NotifyTest, ABurstBecomesOneSummary)
{
    StartSmtp();
    m_hook.Start();
    m_config.webhook.url = m_hook.Url();
    m_config.summaryAfter = 3;
    CNotifier notifier(m_config);
    std::string error;
    ASSERT_TRUE(notifier.Start(&error)) << error;
    for (int i = 0; i < 5; ++i)
        notifier.Notify(i % 2 ? kSwrDown : kSwrUp);
    ASSERT_TRUE(nettest::WaitFor([&] { return notifier.Pending() == 0; }, 15s));
    std::this_thread::sleep_for(500ms);
    // On a loaded machine the first events may go out on their own before
    // the rest are queued; either way, no more than summary_after messages,
    // the last a summary, and every event in one of them.
    const auto mails = Mails();
    const auto bodies = m_hook.Bodies();
    ASSERT_TRUE(!mails.empty() && mails.size() <= 3u) << mails.size();
    ASSERT_TRUE(!bodies.empty() && bodies.size() <= 3u) << bodies.size();
    const std::regex summary("Subject: \\[Talvex Hill\\] CRITICAL: ([0-9]+) alarm events");
    std::size_t mailed = 0;
    for (const std::string& mail : mails) {
        std::smatch events;
        mailed += std::regex_search(mail, events, summary) ? std::stoul(events[1]) : 1;
    }
    EXPECT_TRUE(std::regex_search(mails.back(), summary));
    EXPECT_EQ(mailed, 5u);
    std::size_t posted = 0;
    for (const Json& body : bodies)
        posted += body["event"] == "summary" ? body["alarms"].size() : 1;
    EXPECT_EQ(bodies.back()["event"], "summary");
    EXPECT_EQ(posted, 5u);
    EXPECT_EQ(m_hook.BadSignatures(), 0);
}

}  // namespace
