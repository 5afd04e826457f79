#include "SiteChanges.h"

#include "PrometheusText.h"

#include <chrono>

namespace talvexd {

namespace {

using namespace std::chrono_literals;

// How long a change waits for the link's thread before giving up.
constexpr auto kChangeTimeout = 15s;

// Applies one change through the core, as the panel's handler would send it.
CTransmitterCore::Result Apply(CSiteLink& link, const SettingChange& change)
{
    using Kind = SettingChange::Kind;
    using Quantity = CTransmitterCore::Quantity;
    using Function = CTransmitterCore::Function;
    CTransmitterCore& core = link.Core();
    const auto toggle = [&](Function function) -> CTransmitterCore::Result {
        if (core.IsActive(function) == (change.value != 0)) {
            return {true, nullptr};  // already so: a press would undo it
        }
        return core.Toggle(function);
    };
    switch (change.kind) {
    case Kind::Frequency: return core.SetQuantity(Quantity::Frequency, change.value);
    case Kind::Power: return core.SetQuantity(Quantity::Power, change.value);
    case Kind::LineVolume: return core.SetQuantity(Quantity::LineVolume, change.value);
    case Kind::MicVolume: return core.SetQuantity(Quantity::MicVolume, change.value);
    case Kind::Transmitter: {
        if (change.value == 0) {
            link.NoteStandbyAsked();
        }
        if (core.IsPowerOn() == (change.value != 0)) {
            return {true, nullptr};
        }
        const CTransmitterCore::PowerResult power = core.PressPower();
        return {power.ok, power.notConnected ? "Not connected" : power.failText, power.code};
    }
    case Kind::Sound: return toggle(Function::StereoMono);
    case Kind::Echo: return toggle(Function::Echo);
    case Kind::Line: return toggle(Function::Line);
    case Kind::Mic: return toggle(Function::Mic);
    }
    return {false, "unknown setting"};
}

CTransmitterCore::Result Apply(CSiteLink& link, const PointChange& change)
{
    const auto result = CTransmitterCore::SetProtectionPoint(change.point, change.value);
    if (result.ok) {
        link.NoteProtectionPoint(change.point, change.value);
    }
    return result;
}

std::string Text(const SettingChange& change) { return SettingText(change); }
std::string Text(const PointChange& change) { return PointText(change); }

template <typename Change>
ChangeOutcome Run(CSiteLink& link, const CJournal& journal, const std::string& user, const std::vector<Change>& changes)
{
    ChangeOutcome outcome;
    if (!link.IsUp()) {
        outcome.status = ChangeOutcome::Status::LinkDown;
        return outcome;
    }
    const bool ran = link.RunOnLinkThread(
        [&] {
            if (!link.IsUp()) {
                outcome.status = ChangeOutcome::Status::LinkDown;
                return;
            }
            for (const Change& change : changes) {
                const CTransmitterCore::Result result = Apply(link, change);
                const std::string what = std::string("set ") + change.key + " to " + Text(change);
                if (!result.ok) {
                    journal.Record(EventKind::Change, user,
                                   what + ": failed, " + (result.failText ? result.failText : "") + " (code " +
                                       std::to_string(result.code) + ")");
                    outcome.status = ChangeOutcome::Status::Refused;
                    outcome.failText = result.failText ? result.failText : "";
                    outcome.code = result.code;
                    outcome.key = change.key;
                    break;
                }
                journal.Record(EventKind::Change, user, what + ": done");
                ++outcome.applied;
            }
            link.PublishNow();
        },
        kChangeTimeout);
    if (!ran) {
        outcome.status = ChangeOutcome::Status::Busy;
    }
    return outcome;
}

}  // namespace

std::string SettingText(const SettingChange& change)
{
    switch (change.kind) {
    case SettingChange::Kind::Frequency:
    case SettingChange::Kind::Power: return talvex::metrics::FormatTenths(change.value);
    case SettingChange::Kind::Transmitter: return change.value ? "on" : "standby";
    case SettingChange::Kind::Sound: return change.value ? "stereo" : "mono";
    case SettingChange::Kind::Echo:
    case SettingChange::Kind::Line:
    case SettingChange::Kind::Mic: return change.value ? "true" : "false";
    default: return std::to_string(change.value);
    }
}

std::string PointText(const PointChange& change)
{
    return change.point == CTransmitterCore::Point::Swr ? talvex::metrics::FormatTenths(change.value)
                                                        : std::to_string(change.value);
}

ChangeOutcome ApplySettings(CSiteLink& link, const CJournal& journal, const std::string& user,
                            const std::vector<SettingChange>& changes)
{
    return Run(link, journal, user, changes);
}

ChangeOutcome ApplyPoints(CSiteLink& link, const CJournal& journal, const std::string& user,
                          const std::vector<PointChange>& changes)
{
    return Run(link, journal, user, changes);
}

}  // namespace talvexd
