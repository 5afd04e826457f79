#include "TalvexMib.h"

#include <Talvex.h>

#include <algorithm>
#include <ctime>
#include <optional>

namespace talvexd {

namespace {

using Type = MibValue::Type;
using Kind = SettingChange::Kind;
using Point = CTransmitterCore::Point;

// The enumerations and TruthValue: 1 is on, stereo, up or true; 2 the other.
constexpr std::int64_t kYes = 1;
constexpr std::int64_t kNo = 2;
std::int64_t YesNo(bool yes) { return yes ? kYes : kNo; }

// The objects a SET may change, and what each takes.
struct WritableObject {
    MibScalar scalar;
    const char* name;  // the object's name in the MIB, for the log
    Type type;
    int minimum;  // Unsigned: the range; Integer: kYes..kNo
    int maximum;
    std::variant<Kind, Point> target;
};

const WritableObject kWritable[] = {
    {MibScalar::Transmitter, "talvexTransmitter", Type::Integer, kYes, kNo, Kind::Transmitter},
    {MibScalar::Frequency, "talvexFrequency", Type::Unsigned, TALVEX_FREQ_MIN, TALVEX_FREQ_MAX, Kind::Frequency},
    {MibScalar::PowerSetting, "talvexPowerSetting", Type::Unsigned, TALVEX_POWER_MIN, TALVEX_POWER_MAX, Kind::Power},
    {MibScalar::LineVolume, "talvexLineVolume", Type::Unsigned, TALVEX_LINE_VOL_MIN, TALVEX_LINE_VOL_MAX,
     Kind::LineVolume},
    {MibScalar::MicVolume, "talvexMicVolume", Type::Unsigned, TALVEX_MIC_VOL_MIN, TALVEX_MIC_VOL_MAX, Kind::MicVolume},
    {MibScalar::SoundMode, "talvexSoundMode", Type::Integer, kYes, kNo, Kind::Sound},
    {MibScalar::Echo, "talvexEcho", Type::Integer, kYes, kNo, Kind::Echo},
    {MibScalar::LineInput, "talvexLineInput", Type::Integer, kYes, kNo, Kind::Line},
    {MibScalar::MicInput, "talvexMicInput", Type::Integer, kYes, kNo, Kind::Mic},
    {MibScalar::TemperaturePoint, "talvexTemperaturePoint", Type::Unsigned, TALVEX_TEMP_POINT_MIN,
     TALVEX_TEMP_POINT_MAX, Point::Temperature},
    {MibScalar::SwrPoint, "talvexSwrPoint", Type::Unsigned, TALVEX_SWR_POINT_MIN, TALVEX_SWR_POINT_MAX, Point::Swr},
};

const WritableObject* Writable(MibScalar scalar)
{
    for (const WritableObject& object : kWritable) {
        if (object.scalar == scalar)
            return &object;
    }
    return nullptr;
}

Oid Under(std::initializer_list<std::uint32_t> tail)
{
    Oid oid(std::begin(kTalvexMibRoot), std::end(kTalvexMibRoot));
    oid.insert(oid.end(), tail);
    return oid;
}

std::uint32_t AlarmIndex(AlarmKind kind) { return static_cast<std::uint32_t>(kind) + 1; }

// DateAndTime in UTC: year (two octets), month, day, hour, minutes,
// seconds, deci-seconds, then '+' 0 0.
std::string DateAndTime(WallClock::time_point moment)
{
    const auto since = moment.time_since_epoch();
    const std::time_t seconds = std::chrono::duration_cast<std::chrono::seconds>(since).count();
    const auto deci = std::chrono::duration_cast<std::chrono::milliseconds>(since).count() % 1000 / 100;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    const int year = utc.tm_year + 1900;
    return {static_cast<char>(year >> 8),
            static_cast<char>(year & 0xff),
            static_cast<char>(utc.tm_mon + 1),
            static_cast<char>(utc.tm_mday),
            static_cast<char>(utc.tm_hour),
            static_cast<char>(utc.tm_min),
            static_cast<char>(utc.tm_sec),
            static_cast<char>(deci),
            '+',
            0,
            0};
}

// Alarms without a reading have no value or threshold to show.
bool HasReading(AlarmKind kind)
{
    return kind == AlarmKind::Swr || kind == AlarmKind::Temperature || kind == AlarmKind::OffAir ||
           kind == AlarmKind::Silence;
}

std::string AlarmValueText(AlarmKind kind, double value)
{
    return HasReading(kind) ? FormatAlarmValue(kind, value) : std::string();
}

std::int64_t SeverityNumber(Severity severity) { return severity == Severity::Critical ? 1 : 2; }

}  // namespace

Oid MibObjectsOid() { return Under({kMibObjects}); }

Oid MibScalarOid(MibScalar scalar) { return Under({kMibObjects, static_cast<std::uint32_t>(scalar), 0}); }

Oid MibAlarmOid(MibAlarmColumn column, AlarmKind kind)
{
    return Under({kMibObjects, kMibAlarmTable, 1, static_cast<std::uint32_t>(column), AlarmIndex(kind)});
}

Oid MibNotificationOid(MibNotification notification)
{
    return Under({kMibNotifications, static_cast<std::uint32_t>(notification)});
}

std::vector<MibInstance> MibInstances(const SiteStatus& s, const std::vector<ActiveAlarm>& alarms,
                                      WallClock::time_point now)
{
    std::vector<MibInstance> out;
    out.reserve(20 + 6 * alarms.size());
    const auto add = [&](MibScalar scalar, Type type, std::int64_t number) {
        out.push_back({MibScalarOid(scalar), {type, number, {}}});
    };
    const auto text = [&](MibScalar scalar, const std::string& octets) {
        out.push_back({MibScalarOid(scalar), {Type::Octets, 0, octets}});
    };
    // Settings only once read, and never outside the range a SET takes.
    const bool read = s.readAt.has_value();
    const auto setting = [&](MibScalar scalar, std::int64_t number) {
        const WritableObject* object = Writable(scalar);
        if (read && number >= object->minimum && number <= object->maximum)
            add(scalar, object->type, number);
    };
    const auto since = std::chrono::duration_cast<std::chrono::seconds>(now - s.readAt.value_or(s.started));

    add(MibScalar::LinkState, Type::Integer, YesNo(s.linkUp));
    setting(MibScalar::Transmitter, YesNo(!s.standby));
    setting(MibScalar::Frequency, s.frequency);
    setting(MibScalar::PowerSetting, s.powerSetting);
    if (read) {
        add(MibScalar::ForwardPower, Type::Unsigned, std::max(0, s.forwardPower));
        add(MibScalar::Swr, Type::Unsigned, std::max(0, s.swr));
        add(MibScalar::Temperature, Type::Integer, s.temperature);
    }
    setting(MibScalar::LineVolume, s.lineVolume);
    setting(MibScalar::MicVolume, s.micVolume);
    if (s.levelReadAt)
        add(MibScalar::AudioLevel, Type::Unsigned, std::clamp(s.level, 0, 65535));
    add(MibScalar::ReadingAge, Type::Unsigned, std::clamp<std::int64_t>(since.count(), 0, UINT32_MAX));
    text(MibScalar::SerialNumber, s.serialNumber);
    text(MibScalar::FirmwareVersion, s.firmwareVersion);
    setting(MibScalar::SoundMode, YesNo(!s.mono));
    setting(MibScalar::Echo, YesNo(s.echoOn));
    setting(MibScalar::LineInput, YesNo(s.lineOn));
    setting(MibScalar::MicInput, YesNo(s.micOn));
    setting(MibScalar::TemperaturePoint, s.temperaturePoint);
    setting(MibScalar::SwrPoint, s.swrPoint);
    text(MibScalar::DeviceType, s.deviceType);

    // The table column by column, each in the alarms' fixed order, as a
    // walk visits it.
    std::vector<ActiveAlarm> rows = alarms;
    std::sort(rows.begin(), rows.end(), [](const ActiveAlarm& a, const ActiveAlarm& b) { return a.kind < b.kind; });
    for (std::uint32_t c = static_cast<std::uint32_t>(MibAlarmColumn::Name);
         c <= static_cast<std::uint32_t>(MibAlarmColumn::Acknowledged); ++c) {
        const auto column = static_cast<MibAlarmColumn>(c);
        for (const ActiveAlarm& a : rows) {
            MibValue value;
            switch (column) {
            case MibAlarmColumn::Name: value = {Type::Octets, 0, AlarmName(a.kind)}; break;
            case MibAlarmColumn::Severity: value = {Type::Integer, SeverityNumber(a.severity), {}}; break;
            case MibAlarmColumn::RaisedAt: value = {Type::Octets, 0, DateAndTime(a.raisedAt)}; break;
            case MibAlarmColumn::Value: value = {Type::Octets, 0, AlarmValueText(a.kind, a.value)}; break;
            case MibAlarmColumn::Threshold: value = {Type::Octets, 0, AlarmValueText(a.kind, a.threshold)}; break;
            case MibAlarmColumn::Acknowledged: value = {Type::Integer, YesNo(a.acknowledged), {}}; break;
            }
            out.push_back({MibAlarmOid(column, a.kind), std::move(value)});
        }
    }
    return out;
}

const MibInstance* FindMibInstance(std::span<const MibInstance> instances, std::span<const std::uint32_t> oid)
{
    const auto at = std::lower_bound(instances.begin(), instances.end(), oid, [](const MibInstance& i, auto key) {
        return std::lexicographical_compare(i.oid.begin(), i.oid.end(), key.begin(), key.end());
    });
    return at != instances.end() && std::equal(at->oid.begin(), at->oid.end(), oid.begin(), oid.end()) ? &*at : nullptr;
}

const MibInstance* NextMibInstance(std::span<const MibInstance> instances, std::span<const std::uint32_t> oid,
                                   bool inclusive)
{
    for (const MibInstance& i : instances) {
        const auto order = std::lexicographical_compare_three_way(i.oid.begin(), i.oid.end(), oid.begin(), oid.end());
        if (order > 0 || (inclusive && order == 0))
            return &i;
    }
    return nullptr;
}

std::variant<MibChange, MibSetError> CheckMibSet(std::span<const std::uint32_t> oid, const MibValue& value)
{
    const Oid objects = MibObjectsOid();
    const bool under = oid.size() > objects.size() && std::equal(objects.begin(), objects.end(), oid.begin());
    // A scalar is talvexObjects.N.0; anything else there is a table cell or
    // nothing at all, neither of which a SET creates.
    if (!under || oid.size() != objects.size() + 2 || oid.back() != 0)
        return MibSetError::NoCreation;
    const auto scalar = static_cast<MibScalar>(oid[objects.size()]);
    const WritableObject* object = Writable(scalar);
    if (object == nullptr) {
        const bool exists = oid[objects.size()] >= static_cast<std::uint32_t>(MibScalar::LinkState) &&
                            oid[objects.size()] <= static_cast<std::uint32_t>(MibScalar::DeviceType);
        return exists ? MibSetError::NotWritable : MibSetError::NoCreation;
    }
    if (value.type != object->type)
        return MibSetError::WrongType;
    if (value.number < object->minimum || value.number > object->maximum)
        return MibSetError::WrongValue;
    int number = static_cast<int>(value.number);
    if (object->type == Type::Integer)
        number = value.number == kYes ? 1 : 0;
    if (const Kind* kind = std::get_if<Kind>(&object->target))
        return MibChange(SettingChange{*kind, number, object->name});
    return MibChange(PointChange{std::get<Point>(object->target), number, object->name});
}

MibTrap AlarmTrap(const AlarmTransition& t)
{
    MibTrap trap;
    trap.trap = MibNotificationOid(t.raised ? MibNotification::AlarmRaised : MibNotification::AlarmCleared);
    trap.variables = {
        {MibAlarmOid(MibAlarmColumn::Name, t.kind), {Type::Octets, 0, AlarmName(t.kind)}},
        {MibAlarmOid(MibAlarmColumn::Severity, t.kind), {Type::Integer, SeverityNumber(t.severity), {}}},
        {MibAlarmOid(MibAlarmColumn::Value, t.kind), {Type::Octets, 0, AlarmValueText(t.kind, t.value)}},
    };
    return trap;
}

MibTrap LinkTrap(bool up)
{
    return {MibNotificationOid(up ? MibNotification::LinkUp : MibNotification::LinkDown),
            {{MibScalarOid(MibScalar::LinkState), {Type::Integer, YesNo(up), {}}}}};
}

std::string OidText(std::span<const std::uint32_t> oid)
{
    std::string text;
    for (const std::uint32_t part : oid) {
        if (!text.empty())
            text += '.';
        text += std::to_string(part);
    }
    return text;
}

}  // namespace talvexd
