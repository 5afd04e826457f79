#pragma once
// TALVEX-MIB as values: every instance the subtree holds at one moment,
// made from the status board and the alarms that are up; the SETs it
// takes, checked and made into changes; and its notifications. Pure: no
// net-snmp here, so that all of it is tested without an agent. The numbers
// are the MIB's (TALVEX-MIB.txt beside this file) and never change.

#include "talvexd/alarms/Alarm.h"
#include "talvexd/control/SiteChange.h"
#include "talvexd/site/SiteStatus.h"

#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace talvexd {

using Oid = std::vector<std::uint32_t>;

// The module's root, 1.3.6.1.4.1.8072.9999.9999.7: net-snmp's experimental
// space until the project has an enterprise number of its own.
inline constexpr std::uint32_t kTalvexMibRoot[] = {1, 3, 6, 1, 4, 1, 8072, 9999, 9999, 7};

// Under the root.
enum MibBranch : std::uint32_t { kMibObjects = 1, kMibNotifications = 2 };

// The scalars under talvexObjects, each with the instance .0.
enum class MibScalar : std::uint32_t {
    LinkState = 1,
    Transmitter,
    Frequency,
    PowerSetting,
    ForwardPower,
    Swr,
    Temperature,
    LineVolume,
    MicVolume,
    AudioLevel,
    ReadingAge,
    SerialNumber,
    FirmwareVersion,
    SoundMode,
    Echo,
    LineInput,
    MicInput,
    TemperaturePoint,
    SwrPoint,
    DeviceType,
};
// talvexAlarmTable is talvexObjects.21; its entry .1, and these columns,
// each row indexed by the alarm's fixed number (kAlarmKinds' order + 1).
inline constexpr std::uint32_t kMibAlarmTable = 21;
enum class MibAlarmColumn : std::uint32_t { Name = 2, Severity, RaisedAt, Value, Threshold, Acknowledged };

enum class MibNotification : std::uint32_t { AlarmRaised = 1, AlarmCleared, LinkDown, LinkUp };

// A value of one of the syntaxes the MIB uses.
struct MibValue {
    enum class Type {
        Integer,   // INTEGER, Integer32, TruthValue
        Unsigned,  // Unsigned32 and Gauge32 (one tag on the wire)
        Octets,    // DisplayString, DateAndTime
        Other,     // a syntax the MIB does not use: no object takes it
    };
    Type type = Type::Integer;
    std::int64_t number = 0;
    std::string octets;
    bool operator==(const MibValue&) const = default;
};

struct MibInstance {
    Oid oid;
    MibValue value;
};

// talvexObjects' OID, and the OID of a scalar's .0 instance, of an alarm
// table cell and of a notification.
Oid MibObjectsOid();
Oid MibScalarOid(MibScalar scalar);
Oid MibAlarmOid(MibAlarmColumn column, AlarmKind kind);
Oid MibNotificationOid(MibNotification notification);

// Every instance under talvexObjects at `now`, in OID order, as a walk
// returns them. A setting or protection point outside its syntax's range
// (not yet read) is left out rather than served wrong.
std::vector<MibInstance> MibInstances(const SiteStatus& status, const std::vector<ActiveAlarm>& alarms,
                                      WallClock::time_point now);

// The instance at `oid`; with `next`, the first after it (or at it, when
// `inclusive`). Null when there is none.
const MibInstance* FindMibInstance(std::span<const MibInstance> instances, std::span<const std::uint32_t> oid);
const MibInstance* NextMibInstance(std::span<const MibInstance> instances, std::span<const std::uint32_t> oid,
                                   bool inclusive);

// Why a SET of one variable is refused before anything is sent, in the
// terms of SNMP's error statuses.
enum class MibSetError { NotWritable, NoCreation, WrongType, WrongValue };
using MibChange = std::variant<SettingChange, PointChange>;
// A SET of `value` at `oid`, checked: the change it asks for, or why not.
// The change's key is the object's name, for the log.
std::variant<MibChange, MibSetError> CheckMibSet(std::span<const std::uint32_t> oid, const MibValue& value);

// A notification as it is sent: its OID and the variables that go with it.
struct MibTrap {
    Oid trap;
    std::vector<MibInstance> variables;
};
// talvexAlarmRaised or talvexAlarmCleared: the alarm's name, severity and
// value.
MibTrap AlarmTrap(const AlarmTransition& transition);
// talvexLinkUp or talvexLinkDown, with talvexLinkState.
MibTrap LinkTrap(bool up);

// "1.3.6.1.4.1.8072.9999.9999.7.1.3.0", for the log.
std::string OidText(std::span<const std::uint32_t> oid);

}  // namespace talvexd
