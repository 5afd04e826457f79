// Every alarm rule judged against status boards as the link would post
// them, with the time passed in.

#include "talvexd/alarms/Alarms.h"
#include "talvexd/config/SiteConfig.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <vector>

using namespace talvexd;
using namespace std::chrono_literals;

namespace {

const WallClock::time_point kStart = WallClock::time_point{} + 1000h;

// What happens to the board at a moment, and what the alarms say to it.
struct Step {
    int second;
    std::function<void(SiteStatus&)> change;  // may be empty
    std::string expected;                     // the transitions, "; " between
    enum What { Cycle, Level, Tick } what = Cycle;
};

// On air at 10 W, SWR 1.2 under a point of 3.0, 40 °C under 65 °C, sound on.
SiteStatus Healthy()
{
    SiteStatus s;
    s.linkUp = true, s.standby = false, s.powerSetting = s.forwardPower = 100, s.swr = 12, s.swrPoint = 30;
    s.temperature = 40, s.temperaturePoint = 65, s.level = 20000;
    return s;
}

void Play(CAlarms& alarms, SiteStatus& status, const std::vector<Step>& steps, const std::string& name)
{
    for (const Step& step : steps) {
        const auto now = kStart + std::chrono::seconds(step.second);
        if (step.change)
            step.change(status);
        if (!status.standby)
            status.onAt = now;  // as the link notes it at every publish
        if (step.what == Step::Cycle)
            status.readAt = now;
        if (step.what == Step::Level)
            status.levelReadAt = now;
        std::string said;
        for (const AlarmTransition& t : alarms.Evaluate(status, now))
            said += (said.empty() ? "" : "; ") + DescribeTransition(t);
        EXPECT_EQ(said, step.expected) << name << ", at " << step.second << " s";
    }
}

template <typename T>
auto Set(T SiteStatus::*field, T value)
{
    return [field, value](SiteStatus& s) { s.*field = value; };
}
auto Standby(bool standby, std::optional<int> askedAtSecond = std::nullopt)
{
    return [=](SiteStatus& s) {
        s.standby = standby;
        if (askedAtSecond)
            s.standbyAskedAt = kStart + std::chrono::seconds(*askedAtSecond);
    };
}
const auto kLinkDown = Set(&SiteStatus::linkUp, false);
const auto kLinkUp = Set(&SiteStatus::linkUp, true);

}  // namespace

TEST(Alarms, EachRuleRaisesAndClearsOnWhatItWatches)
{
    const auto swr = &SiteStatus::swr;
    const auto level = &SiteStatus::level;
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"swr: over its point less 0.2 for 3 s; held in standby, as a trip leaves it",
         {{0, Set(swr, 29), ""},
          {3, {}, "swr raised: 2.9 over 2.8"},
          {4, Standby(true, 4), ""},
          {30, Set(swr, 10), ""},
          {31, Standby(false), ""},
          {41, {}, "swr cleared: 1.0"}}},
        {"swr: no point read yet, nothing to judge by",
         {{0, [](SiteStatus& s) { s.swrPoint = 0, s.swr = 50; }, ""}, {20, {}, ""}}},
        {"swr: a new point moves the threshold",
         {{0, Set(swr, 25), ""}, {5, Set(&SiteStatus::swrPoint, 25), ""}, {8, {}, "swr raised: 2.5 over 2.3"}}},
        {"temperature: within 5 °C of its point for 10 s, in standby too",
         {{0, Standby(true, 0), ""},
          {1, Set(&SiteStatus::temperature, 61), ""},
          {11, {}, "temperature raised: 61 °C over 60 °C"},
          {12, Set(&SiteStatus::temperature, 58), ""},
          {42, {}, "temperature cleared: 58 °C"}}},
        {"off_air: under half the setting for 10 s; cleared by a standby asked for",
         {{0, Set(&SiteStatus::forwardPower, 40), ""},
          {10, {}, "off_air raised: 4.0 W under 5.0 W"},
          {11, Standby(true, 11), "off_air cleared: 4.0 W"}}},
        {"off_air: back over 0.6 of the setting for 10 s",
         {{0, Set(&SiteStatus::forwardPower, 40), ""},
          {10, {}, "off_air raised: 4.0 W under 5.0 W"},
          {30, Set(&SiteStatus::forwardPower, 65), ""},
          {40, {}, "off_air cleared: 6.5 W"}}},
        {"silence: under 20 for 30 s on level readings; standby clears it",
         {{0, Set(level, 10), "", Step::Level},
          {30, {}, "silence raised: 10 under 20", Step::Level},
          {31, {}, "", Step::Tick},
          {32, Standby(true, 32), "silence cleared: 10"}}},
        {"silence: a level reading the same as the last one is not new",
         {{0, Set(level, 10), "", Step::Level}, {40, {}, "", Step::Tick}, {41, {}, "", Step::Cycle}}},
        {"unexpected_standby: nobody asked; cleared when on again",
         {{0, {}, ""},
          {1, Standby(true), "unexpected_standby raised"},
          {5, Standby(false), "unexpected_standby cleared"}}},
        {"unexpected_standby: asked since it was last seen on, or only before",
         {{0, {}, ""},
          {31, Standby(true, 2), ""},
          {32, Standby(false), ""},
          {70, Standby(true, 20), "unexpected_standby raised"}}},
        {"unexpected_standby: the first cycle after a connect is no change",
         {{0, {}, ""},
          {1, kLinkDown, "", Step::Tick},
          {2, [](SiteStatus& s) { s.linkUp = true, s.standby = true; }, ""},
          {3, {}, ""}}},
        {"link: down for 5 s, up again; readings held meanwhile",
         {{0, Set(swr, 29), ""},
          {3, {}, "swr raised: 2.9 over 2.8"},
          {4, kLinkDown, "", Step::Tick},
          {8, Set(swr, 10), ""},
          {9, {}, "link raised", Step::Tick},
          {20, [](SiteStatus& s) { s.standby = true; }, ""},
          {21, kLinkUp, "link cleared", Step::Tick},
          {22, Standby(false), ""},
          {32, {}, "swr cleared: 1.0"}}},
    };
    for (const auto& c : cases) {
        CAlarms alarms(SiteConfig::DefaultAlarmRules());
        SiteStatus status = Healthy();
        Play(alarms, status, c.steps, c.name);
    }
}

TEST(Alarms, ConfiguredRulesRestartAndAcknowledgements)
{
    auto rules = SiteConfig::DefaultAlarmRules();
    AlarmRule& swr = rules[static_cast<std::size_t>(AlarmKind::Swr)];
    swr.threshold = 2.0;
    swr.severity = Severity::Warning;
    rules[static_cast<std::size_t>(AlarmKind::Temperature)].enabled = false;
    CAlarms alarms(rules);
    SiteStatus status = Healthy();
    status.swr = 21;
    status.temperature = 99;
    Play(alarms, status, {{0, {}, ""}, {3, {}, "swr raised: 2.1 over 2.0"}, {100, {}, ""}}, "configured");
    EXPECT_FALSE(alarms.IsActive(AlarmKind::Temperature));
    EXPECT_TRUE(alarms.IsActive(AlarmKind::Swr));

    const std::uint64_t version = alarms.Version();
    ActiveAlarm alarm;
    EXPECT_EQ(alarms.Acknowledge(AlarmKind::OffAir, "ann", kStart, &alarm), CAlarms::AckResult::NotRaised);
    EXPECT_EQ(alarms.Acknowledge(AlarmKind::Swr, "ann", kStart + 5s, &alarm), CAlarms::AckResult::Done);
    EXPECT_EQ(alarms.Acknowledge(AlarmKind::Swr, "bob", kStart + 6s, &alarm), CAlarms::AckResult::AlreadyAcknowledged);
    EXPECT_EQ(alarm.acknowledgedBy, "ann");
    EXPECT_EQ(alarms.Version(), version + 1);
    const std::vector<ActiveAlarm> active = alarms.Active();
    ASSERT_EQ(active.size(), 1u);
    const ActiveAlarm& a = active[0];
    EXPECT_EQ(std::tie(a.kind, a.severity, a.raisedAt, a.value, a.threshold, a.acknowledged, a.acknowledgedBy,
                       a.acknowledgedAt),
              std::tuple(AlarmKind::Swr, Severity::Warning, kStart + 3s, 2.1, 2.0, true, "ann", kStart + 5s));

    // The restart alarm comes and goes at once, and is never up.
    const auto started = alarms.Started(kStart);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(DescribeTransition(started[0]) + "; " + DescribeTransition(started[1]),
              "restart raised; restart cleared");
    EXPECT_FALSE(alarms.IsActive(AlarmKind::Restart));
    EXPECT_EQ(alarms.Version(), version + 3);
    rules[static_cast<std::size_t>(AlarmKind::Restart)].enabled = false;
    EXPECT_TRUE(CAlarms(rules).Started(kStart).empty());
}
