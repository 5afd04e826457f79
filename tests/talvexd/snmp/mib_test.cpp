#include "talvexd/snmp/TalvexMib.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace talvexd {
namespace {

using namespace std::chrono_literals;
using Type = MibValue::Type;

Oid Objects(std::initializer_list<std::uint32_t> tail)
{
    Oid oid = MibObjectsOid();
    oid.insert(oid.end(), tail);
    return oid;
}

// A status after a few cycles: the simulator's readings.
SiteStatus ReadStatus(WallClock::time_point now)
{
    SiteStatus s;
    s.linkUp = true;
    s.readAt = now - 3s;
    s.levelReadAt = now;
    s.standby = false;
    s.lineOn = true;
    s.frequency = 985;
    s.powerSetting = 100;
    s.forwardPower = 98;
    s.swr = 12;
    s.temperature = -4;
    s.lineVolume = 7;
    s.micVolume = 15;
    s.level = 300;
    s.temperaturePoint = 65;
    s.swrPoint = 30;
    s.serialNumber = "20240300001742";
    return s;
}

std::optional<MibValue> ValueAt(const std::vector<MibInstance>& instances, const Oid& oid)
{
    const MibInstance* found = FindMibInstance(instances, oid);
    return found ? std::optional(found->value) : std::nullopt;
}

TEST(TalvexMib, ServesEveryScalarInWalkOrderAndNothingUnread)
{
    const auto now = WallClock::now();
    const SiteStatus read = ReadStatus(now);
    SiteStatus fresh;  // before the first cycle
    fresh.started = now - 42s;
    SiteStatus failed = read;  // a connect whose reads of the points failed
    failed.temperaturePoint = 0;

    const auto instances = MibInstances(read, {}, now);
    EXPECT_TRUE(std::is_sorted(instances.begin(), instances.end(),
                               [](const MibInstance& a, const MibInstance& b) { return a.oid < b.oid; }));
    EXPECT_EQ(instances.size(), 20u);
    const struct {
        MibScalar scalar;
        const SiteStatus& status;
        std::optional<MibValue> value;
    } cases[] = {
        {MibScalar::LinkState, read, MibValue{Type::Integer, 1, {}}},
        {MibScalar::Transmitter, read, MibValue{Type::Integer, 1, {}}},
        {MibScalar::Frequency, read, MibValue{Type::Unsigned, 985, {}}},
        {MibScalar::Temperature, read, MibValue{Type::Integer, -4, {}}},
        {MibScalar::AudioLevel, read, MibValue{Type::Unsigned, 300, {}}},
        {MibScalar::ReadingAge, read, MibValue{Type::Unsigned, 3, {}}},
        {MibScalar::SerialNumber, read, MibValue{Type::Octets, 0, "20240300001742"}},
        {MibScalar::SoundMode, read, MibValue{Type::Integer, 1, {}}},
        {MibScalar::Echo, read, MibValue{Type::Integer, 2, {}}},
        {MibScalar::LineInput, read, MibValue{Type::Integer, 1, {}}},
        {MibScalar::SwrPoint, read, MibValue{Type::Unsigned, 30, {}}},
        {MibScalar::TemperaturePoint, failed, std::nullopt},
        {MibScalar::LinkState, fresh, MibValue{Type::Integer, 2, {}}},
        {MibScalar::ReadingAge, fresh, MibValue{Type::Unsigned, 42, {}}},
        {MibScalar::Frequency, fresh, std::nullopt},
        {MibScalar::ForwardPower, fresh, std::nullopt},
        {MibScalar::AudioLevel, fresh, std::nullopt},
        {MibScalar::DeviceType, fresh, MibValue{Type::Octets, 0, ""}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueAt(MibInstances(c.status, {}, now), MibScalarOid(c.scalar)), c.value)
            << static_cast<int>(c.scalar);
    }
}

TEST(TalvexMib, AlarmTableGoesColumnByColumnInTheAlarmsFixedOrder)
{
    const auto raised = WallClock::from_time_t(1796857200) + 750ms;  // 2026-12-09 23:00:00.75 UTC
    const ActiveAlarm link{AlarmKind::Link, Severity::Critical, raised, 0, 0, true, "ops", raised};
    const ActiveAlarm swr{AlarmKind::Swr, Severity::Warning, raised, 3.04, 2.0, false, "", std::nullopt};
    const auto instances = MibInstances(SiteStatus{}, {link, swr}, raised);
    const auto first = std::find_if(instances.begin(), instances.end(), [](const MibInstance& i) {
        return i.oid[MibObjectsOid().size()] == kMibAlarmTable;
    });
    std::vector<Oid> table;
    for (auto i = first; i != instances.end(); ++i)
        table.push_back(i->oid);
    ASSERT_EQ(table.size(), 12u);
    EXPECT_EQ(table[0], Objects({21, 1, 2, 1}));  // swr's name, then link's
    EXPECT_EQ(table[1], Objects({21, 1, 2, 5}));
    EXPECT_EQ(table[2], Objects({21, 1, 3, 1}));
    const struct {
        MibAlarmColumn column;
        AlarmKind kind;
        MibValue value;
    } cases[] = {
        {MibAlarmColumn::Name, AlarmKind::Link, {Type::Octets, 0, "link"}},
        {MibAlarmColumn::Severity, AlarmKind::Swr, {Type::Integer, 2, {}}},
        {MibAlarmColumn::Severity, AlarmKind::Link, {Type::Integer, 1, {}}},
        {MibAlarmColumn::RaisedAt,
         AlarmKind::Swr,
         {Type::Octets, 0, {0x07, char(0xEA), 12, 9, 23, 0, 0, 7, '+', 0, 0}}},
        {MibAlarmColumn::Value, AlarmKind::Swr, {Type::Octets, 0, "3.0"}},
        {MibAlarmColumn::Threshold, AlarmKind::Swr, {Type::Octets, 0, "2.0"}},
        {MibAlarmColumn::Value, AlarmKind::Link, {Type::Octets, 0, ""}},
        {MibAlarmColumn::Acknowledged, AlarmKind::Link, {Type::Integer, 1, {}}},
        {MibAlarmColumn::Acknowledged, AlarmKind::Swr, {Type::Integer, 2, {}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueAt(instances, MibAlarmOid(c.column, c.kind)), c.value) << static_cast<int>(c.column);
    }
}

TEST(TalvexMib, NextFindsTheFollowingInstanceWhereverTheWalkIs)
{
    const auto now = WallClock::now();
    const auto instances = MibInstances(ReadStatus(now), {}, now);
    const Oid root(std::begin(kTalvexMibRoot), std::end(kTalvexMibRoot));
    const struct {
        Oid from;
        bool inclusive;
        std::optional<Oid> next;
    } cases[] = {
        {root, false, Objects({1, 0})},
        {Objects({1, 0}), false, Objects({2, 0})},
        {Objects({1, 0}), true, Objects({1, 0})},
        {Objects({9}), false, Objects({9, 0})},
        {Objects({9, 0, 5}), false, Objects({10, 0})},
        {Objects({20, 0}), false, std::nullopt},  // the last: the walk leaves the subtree
        {Objects({21}), false, std::nullopt},
    };
    for (const auto& c : cases) {
        const MibInstance* next = NextMibInstance(instances, c.from, c.inclusive);
        EXPECT_EQ(next ? std::optional(next->oid) : std::nullopt, c.next) << OidText(c.from);
    }
    EXPECT_EQ(FindMibInstance(instances, Objects({3})), nullptr);
}

TEST(TalvexMib, SetIsCheckedBeforeAnythingIsSent)
{
    const auto setting = [](SettingChange::Kind kind, int value) -> std::variant<MibChange, MibSetError> {
        return MibChange(SettingChange{kind, value, ""});
    };
    using K = SettingChange::Kind;
    const struct {
        Oid oid;
        MibValue value;
        std::variant<MibChange, MibSetError> expected;
    } cases[] = {
        {Objects({3, 0}), {Type::Unsigned, 1000, {}}, setting(K::Frequency, 1000)},
        {Objects({3, 0}), {Type::Unsigned, 870, {}}, setting(K::Frequency, 870)},
        {Objects({3, 0}), {Type::Unsigned, 1200, {}}, MibSetError::WrongValue},
        {Objects({3, 0}), {Type::Unsigned, 869, {}}, MibSetError::WrongValue},
        {Objects({3, 0}), {Type::Integer, 1000, {}}, MibSetError::WrongType},
        {Objects({3, 0}), {Type::Octets, 0, "1000"}, MibSetError::WrongType},
        {Objects({2, 0}), {Type::Integer, 2, {}}, setting(K::Transmitter, 0)},
        {Objects({2, 0}), {Type::Integer, 3, {}}, MibSetError::WrongValue},
        {Objects({14, 0}), {Type::Integer, 2, {}}, setting(K::Sound, 0)},
        {Objects({17, 0}), {Type::Integer, 1, {}}, setting(K::Mic, 1)},
        {Objects({9, 0}), {Type::Unsigned, 31, {}}, MibSetError::WrongValue},
        {Objects({19, 0}), {Type::Unsigned, 25, {}}, MibChange(PointChange{CTransmitterCore::Point::Swr, 25, ""})},
        {Objects({5, 0}), {Type::Unsigned, 10, {}}, MibSetError::NotWritable},
        {Objects({12, 0}), {Type::Octets, 0, "x"}, MibSetError::NotWritable},
        {Objects({99, 0}), {Type::Unsigned, 10, {}}, MibSetError::NoCreation},
        {Objects({3}), {Type::Unsigned, 1000, {}}, MibSetError::NoCreation},
        {Objects({3, 1}), {Type::Unsigned, 1000, {}}, MibSetError::NoCreation},
        {Objects({21, 1, 7, 1}), {Type::Integer, 1, {}}, MibSetError::NoCreation},
        {Oid{1, 3, 6, 1, 2, 1, 1, 5, 0}, {Type::Octets, 0, "x"}, MibSetError::NoCreation},
    };
    for (const auto& c : cases) {
        const auto got = CheckMibSet(c.oid, c.value);
        ASSERT_EQ(got.index(), c.expected.index()) << OidText(c.oid) << " " << c.value.number;
        if (const auto* error = std::get_if<MibSetError>(&got)) {
            EXPECT_EQ(*error, std::get<MibSetError>(c.expected)) << OidText(c.oid);
            continue;
        }
        const auto& change = std::get<MibChange>(got);
        const auto& wanted = std::get<MibChange>(c.expected);
        ASSERT_EQ(change.index(), wanted.index());
        if (const auto* s = std::get_if<SettingChange>(&change)) {
            EXPECT_EQ(std::tie(s->kind, s->value),
                      std::tie(std::get<SettingChange>(wanted).kind, std::get<SettingChange>(wanted).value));
            EXPECT_STRNE(s->key, "");  // the object's name, for the log
        } else {
            EXPECT_EQ(std::get<PointChange>(change).value, std::get<PointChange>(wanted).value);
        }
    }
}

TEST(TalvexMib, NotificationsCarryTheAlarmAndTheLink)
{
    const AlarmTransition cleared{AlarmKind::Temperature, false, Severity::Warning, WallClock::now(), 61.4, 70};
    const MibTrap trap = AlarmTrap(cleared);
    EXPECT_EQ(OidText(trap.trap), "1.3.6.1.4.1.8072.9999.9999.7.2.2");
    ASSERT_EQ(trap.variables.size(), 3u);
    EXPECT_EQ(trap.variables[0].oid, Objects({21, 1, 2, 2}));
    EXPECT_EQ(trap.variables[0].value.octets, "temperature");
    EXPECT_EQ(trap.variables[1].value.number, 2);
    EXPECT_EQ(trap.variables[2].value.octets, "61");
    const MibTrap down = LinkTrap(false);
    EXPECT_EQ(OidText(down.trap), "1.3.6.1.4.1.8072.9999.9999.7.2.3");
    EXPECT_EQ(down.variables.at(0).value.number, 2);
    EXPECT_EQ(OidText(LinkTrap(true).trap), "1.3.6.1.4.1.8072.9999.9999.7.2.4");
}

}  // namespace
}  // namespace talvexd
