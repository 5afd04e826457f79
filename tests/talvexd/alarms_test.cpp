// The alarms as a site lives them: talvex-sim driven through --control, the
// service raising, clearing and logging, the mail and the webhook arriving
// at real receivers once each, and what is owed surviving a kill.

#include "SiteServiceTest.h"

#include "../support/SimProgram.h"
#include "notify/Receivers.h"

#include <signal.h>
#include <sqlite3.h>

#include <set>

using namespace sitetest;

namespace {

using notifytest::CHookReceiver;
using notifytest::CSmtpReceiver;

class SiteAlarms : public SiteService
{
protected:
    // talvex-sim with --control on its own link; false when it did not start.
    bool StartControlledSim()
    {
        m_control = std::make_unique<simtest::SimProgram>(TALVEX_SIM_PATH,
                                                          std::vector<std::string>{"--control", "--link", Device()});
        return m_control->ReadUntil("link: " + Device() + "\n", 5s).find("link: ") != std::string::npos;
    }
    std::string Device() const { return m_dir.File("ttyCTL"); }
    std::string Tell(const std::string& command) { return m_control->Answer(command); }

    void WriteSecret(const std::string& name, const std::string& text)
    {
        std::ofstream(m_dir.File(name)) << text;
        std::filesystem::permissions(m_dir.File(name), std::filesystem::perms::owner_read);
    }

    // The alarms that are up, by name.
    std::map<std::string, Json> Alarms()
    {
        std::map<std::string, Json> alarms;
        const auto response = Client().Get("/api/v1/alarms");
        if (response && response->status == 200) {
            const Json body = Json::parse(response->body);
            for (const Json& alarm : body["alarms"]) {
                alarms[alarm["alarm"].get<std::string>()] = alarm;
            }
        }
        return alarms;
    }
    // The texts of the event log's entries of `kind`, oldest first.
    std::vector<std::string> LogTexts(const std::string& kind)
    {
        std::vector<std::string> texts;
        const auto response = Client().Get("/api/v1/log?limit=1000&kind=" + kind);
        if (response && response->status == 200) {
            const Json body = Json::parse(response->body);
            for (const Json& event : body["events"]) {
                texts.insert(texts.begin(), event["text"].get<std::string>());
            }
        }
        return texts;
    }

    std::unique_ptr<simtest::SimProgram> m_control;
};

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(SiteAlarms, AnSwrAlarmIsRaisedOnceClearedOnceMailedSignedAndLogged)
{
    ASSERT_TRUE(StartControlledSim());
    CSmtpReceiver smtp;
    ASSERT_TRUE(smtp.Start(m_dir, "talvex", "mail-secret"));
    CHookReceiver hook("hook-secret");
    hook.Start();
    WriteSecret("smtp-password", "mail-secret\n");
    WriteSecret("hook-secret", "hook-secret\n");
    StartService(Device(), "",
                 "history_interval = 1\n"
                 "[alarms.swr]\nthreshold = 2.0\ndelay = 1\nhysteresis = 0.3\nclear_delay = 1\n"
                 "[alarms.restart]\nenabled = false\n"
                 "[notify]\nsite = \"Hill\"\n"
                 "[notify.email]\nurl = \"" +
                     smtp.Url() + "\"\nfrom = \"talvex@example.org\"\nto = \"ops@example.org\"\nuser = \"talvex\"\n" +
                     "password_file = \"" + m_dir.File("smtp-password") + "\"\nca_file = \"" + smtp.CertificateFile() +
                     "\"\n[notify.webhook]\nurl = \"" + hook.Url() + "\"\nsecret_file = \"" +
                     m_dir.File("hook-secret") + "\"\n");
    ASSERT_EQ(Put("/api/v1/settings", R"({"transmitter": "on"})", "operator"), 200);

    ASSERT_EQ(Tell("set swr 2.6"), "ok");
    // The delay and one status cycle, with a slow machine's margin.
    ASSERT_TRUE(nettest::WaitFor([&] { return Alarms().count("swr") == 1; }, 6s)) << Log();
    const Json raised = Alarms()["swr"];
    EXPECT_EQ(raised["severity"], "critical");
    EXPECT_EQ(raised["value"], 2.6);
    EXPECT_EQ(raised["threshold"], 2.0);
    // Back under the threshold but inside the band: still up, nothing sent.
    ASSERT_EQ(Tell("set swr 1.8"), "ok");
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Alarms().count("swr"), 1u);
    EXPECT_EQ(Client("operator").Post("/api/v1/alarms/swr/ack", "", "application/json")->status, 200);
    ASSERT_EQ(Tell("set swr 1.2"), "ok");
    ASSERT_TRUE(nettest::WaitFor([&] { return Alarms().count("swr") == 0; }, 6s)) << Log();

    ASSERT_TRUE(nettest::WaitFor([&] { return smtp.Mails().size() >= 2 && hook.Bodies().size() >= 2; }, 15s));
    std::this_thread::sleep_for(1s);  // nothing more comes
    const auto mails = smtp.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_TRUE(Contains(mails[0], "Subject: [Talvex Hill] CRITICAL: swr raised: 2.6 over 2.0\r\n")) << mails[0];
    EXPECT_TRUE(Contains(mails[1], "swr cleared")) << mails[1];
    const auto bodies = hook.Bodies();
    ASSERT_EQ(bodies.size(), 2u);
    EXPECT_EQ(bodies[0]["event"], "raised");
    EXPECT_EQ(bodies[1]["event"], "cleared");
    EXPECT_EQ(hook.BadSignatures(), 0);

    EXPECT_EQ(LogTexts("alarm_raised"), std::vector<std::string>{"swr raised: 2.6 over 2.0"});
    EXPECT_EQ(LogTexts("alarm_acknowledged").size(), 1u);
    EXPECT_EQ(LogTexts("alarm_cleared").size(), 1u);
    EXPECT_EQ(LogTexts("change"), std::vector<std::string>{"set transmitter to on: done"});
    EXPECT_EQ(LogTexts("service").at(0).rfind("started, version", 0), 0u);
    // The history has the readings (one row a second) in its minute.
    const auto history = Client().Get("/api/v1/history?reading=swr_ratio&step=60");
    ASSERT_EQ(history->status, 200) << history->body;
    double highest = 0;
    const Json points = Json::parse(history->body)["points"];
    for (const Json& point : points) {
        highest = std::max(highest, point["max"].get<double>());
    }
    EXPECT_EQ(highest, 2.6);
    EXPECT_TRUE(Contains(Client().Get("/metrics")->body, "talvex_alarm_active{alarm=\"swr\",severity=\"critical\"} 0"));
}

TEST_F(SiteAlarms, AStandbyNobodyAskedForIsRaisedAndWhatIsOwedOutlivesAKill)
{
    ASSERT_TRUE(StartControlledSim());
    CHookReceiver hook("hook-secret");
    hook.Start();  // for a port of its own, then down until the end
    hook.Stop();
    WriteSecret("hook-secret", "hook-secret\n");
    StartService(Device(), "",
                 "history_interval = 1\n[notify]\nretry_first = 1\nretry_max = 2\n[notify.webhook]\nurl = \"" +
                     hook.Url() + "\"\nsecret_file = \"" + m_dir.File("hook-secret") + "\"\n");
    ASSERT_EQ(Put("/api/v1/settings", R"({"transmitter": "on"})", "operator"), 200);
    ASSERT_EQ(Put("/api/v1/settings", R"({"transmitter": "standby"})", "operator"), 200);
    std::this_thread::sleep_for(3s);
    EXPECT_EQ(Alarms().count("unexpected_standby"), 0u) << "a standby the operator asked for";
    ASSERT_EQ(Put("/api/v1/settings", R"({"transmitter": "on"})", "operator"), 200);
    ASSERT_EQ(Tell("standby"), "ok");
    ASSERT_TRUE(nettest::WaitFor([&] { return Alarms().count("unexpected_standby") == 1; }, 5s)) << Log();

    // Killed mid-way through its writes (one history row a second), with
    // three notifications owed: the restart's raise and clear, the standby's.
    std::this_thread::sleep_for(1500ms);
    ::kill(m_service.Pid(), SIGKILL);
    ASSERT_TRUE(nettest::WaitFor([&] { return !m_service.Running(); }, 5s));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_dir.File("talvex.db").c_str(), &db), SQLITE_OK);
    std::string verdict;
    sqlite3_exec(
        db, "PRAGMA integrity_check",
        [](void* out, int, char** values, char**) {
            *static_cast<std::string*>(out) += values[0];
            return 0;
        },
        &verdict, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(verdict, "ok");

    // Started again, it owes two more (its own restart); the receiver,
    // back, gets the five once each.
    ASSERT_TRUE(m_service.Start({TALVEXD_PATH, "--config", ConfigPath()}, m_dir.File("talvexd-again.log")));
    ASSERT_TRUE(WaitForLink("up", 15s));
    hook.Start();
    ASSERT_TRUE(nettest::WaitFor([&] { return hook.Bodies().size() >= 5; }, 15s)) << Log();
    std::this_thread::sleep_for(3s);  // a retry would have come by now
    std::set<std::string> ids;
    std::string events;
    for (const Json& body : hook.Bodies()) {
        ids.insert(body["id"].get<std::string>());
        events += body["alarm"].get<std::string>() + " " + body["event"].get<std::string>() + ", ";
    }
    EXPECT_EQ(ids.size(), 5u) << events;
    EXPECT_EQ(events, "restart raised, restart cleared, unexpected_standby raised, restart raised, restart cleared, ");
    EXPECT_EQ(hook.BadSignatures(), 0);
}

}  // namespace
