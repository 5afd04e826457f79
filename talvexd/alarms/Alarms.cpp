#include "Alarms.h"

#include <cmath>

namespace talvexd {

namespace {

using Output = CThresholdRule::Output;
using Direction = CThresholdRule::Direction;

// The default thresholds that follow the protection points: a little under
// the point, so that the alarm comes before the transmitter protects itself.
constexpr int kSwrUnderPointTenths = 2;       // 0.2 of the ratio
constexpr double kTemperatureUnderPoint = 5;  // degrees Celsius

// The link rule reads 1 while down, 0 while up.
constexpr double kLinkDown = 1;
constexpr double kLinkThreshold = 0.5;

CThresholdRule MachineOf(AlarmKind kind, const AlarmRule& rule)
{
    switch (kind) {
    case AlarmKind::Swr:
    case AlarmKind::Temperature: return {Direction::Above, rule.delay, rule.hysteresis, rule.clearDelay};
    case AlarmKind::OffAir:
    case AlarmKind::Silence: return {Direction::Below, rule.delay, rule.hysteresis, rule.clearDelay};
    // Clears with the first sign of the link back.
    case AlarmKind::Link: return {Direction::Above, rule.delay, 0, std::chrono::milliseconds(0)};
    case AlarmKind::UnexpectedStandby:
    case AlarmKind::Restart: break;
    }
    return {};
}

// The threshold set in the rule, else the shipped one (none for the rules
// whose default follows the transmitter).
std::optional<double> FixedThreshold(AlarmKind kind, const AlarmRule& rule)
{
    return rule.threshold ? rule.threshold : DefaultAlarmRule(kind).threshold;
}

}  // namespace

CAlarms::CAlarms(const std::array<AlarmRule, std::size(kAlarmKinds)>& rules) : m_rules(rules)
{
    for (const AlarmKind kind : kAlarmKinds)
        m_machines[Index(kind)] = MachineOf(kind, m_rules[Index(kind)]);
}

std::vector<AlarmTransition> CAlarms::Evaluate(const SiteStatus& status, WallClock::time_point now)
{
    std::vector<AlarmTransition> transitions;
    std::lock_guard lock(m_lock);
    const bool newCycle = status.readAt && status.readAt != m_readAt;
    const bool newLevel = status.levelReadAt && status.levelReadAt != m_levelReadAt;
    m_readAt = status.readAt;
    m_levelReadAt = status.levelReadAt;
    if (Enabled(AlarmKind::Link)) {
        const Output output =
            m_machines[Index(AlarmKind::Link)].Measure(status.linkUp ? 0 : kLinkDown, kLinkThreshold, now);
        Apply(AlarmKind::Link, output, 0, 0, now, transitions);
    }
    if (!status.linkUp) {
        // What the board holds is from before the link went down.
        HoldReadingRules();
        m_sinceConnect = false;
        return transitions;
    }
    if (Enabled(AlarmKind::UnexpectedStandby))
        JudgeStandby(status, now, transitions);
    if (newCycle)
        EvaluateStatus(status, now, transitions);
    if (newLevel)
        EvaluateLevel(status, now, transitions);
    return transitions;
}

void CAlarms::HoldReadingRules()
{
    for (const AlarmKind kind : {AlarmKind::Swr, AlarmKind::Temperature, AlarmKind::OffAir, AlarmKind::Silence})
        m_machines[Index(kind)].Hold();
}

void CAlarms::EvaluateStatus(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out)
{
    const bool on = !status.standby;
    if (Enabled(AlarmKind::Swr)) {
        const AlarmRule& rule = m_rules[Index(AlarmKind::Swr)];
        CThresholdRule& machine = m_machines[Index(AlarmKind::Swr)];
        const double value = status.swr / 10.0;
        const double threshold = rule.threshold.value_or((status.swrPoint - kSwrUnderPointTenths) / 10.0);
        // In standby the SWR is not read, and an SWR trip that caused the
        // standby stays up until the transmitter is on again.
        if (!on || (!rule.threshold && status.swrPoint == 0))
            machine.Hold();
        else
            Apply(AlarmKind::Swr, machine.Measure(value, threshold, now), value, threshold, now, out);
    }
    if (Enabled(AlarmKind::Temperature)) {
        const AlarmRule& rule = m_rules[Index(AlarmKind::Temperature)];
        CThresholdRule& machine = m_machines[Index(AlarmKind::Temperature)];
        const double value = status.temperature;
        const double threshold = rule.threshold.value_or(status.temperaturePoint - kTemperatureUnderPoint);
        if (!rule.threshold && status.temperaturePoint == 0)
            machine.Hold();
        else
            Apply(AlarmKind::Temperature, machine.Measure(value, threshold, now), value, threshold, now, out);
    }
    if (Enabled(AlarmKind::OffAir)) {
        CThresholdRule& machine = m_machines[Index(AlarmKind::OffAir)];
        // Judged as a fraction of the setting, so that the hysteresis is one
        // too; reported in watts.
        const double fraction = FixedThreshold(AlarmKind::OffAir, m_rules[Index(AlarmKind::OffAir)]).value_or(0);
        const double value = status.forwardPower / 10.0;
        // To the hundredth of a watt, as people read it.
        const double threshold = std::round(fraction * status.powerSetting * 10.0) / 100.0;
        // Standby on purpose is not off air, nor is a setting of nothing;
        // unexpected_standby covers the standby nobody asked for.
        const Output output = on && status.powerSetting > 0
                                  ? machine.Measure(double(status.forwardPower) / status.powerSetting, fraction, now)
                                  : machine.Reset();
        Apply(AlarmKind::OffAir, output, value, threshold, now, out);
    }
    if (Enabled(AlarmKind::Silence) && !on) {
        // The level may be read no more in standby: the cycle says so first.
        Apply(AlarmKind::Silence, m_machines[Index(AlarmKind::Silence)].Reset(), status.level,
              FixedThreshold(AlarmKind::Silence, m_rules[Index(AlarmKind::Silence)]).value_or(0), now, out);
    }
}

void CAlarms::JudgeStandby(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out)
{
    const bool raised = m_active[Index(AlarmKind::UnexpectedStandby)].has_value();
    if (!m_sinceConnect) {
        // The first status after a connect is no change, whatever it shows.
        m_sinceConnect = true;
        m_standbySeen = status.standby;
        m_standbyOnAt = status.onAt;
        return;
    }
    if (!status.standby) {
        if (raised)
            Apply(AlarmKind::UnexpectedStandby, Output::Cleared, 0, 0, now, out);
        return;
    }
    // On at some moment since it was last seen in standby: judged on every
    // status, not only a cycle's, since a trip can come before the first
    // cycle after a start-up ends.
    const bool wentToStandby = !m_standbySeen || status.onAt != m_standbyOnAt;
    m_standbySeen = true;
    m_standbyOnAt = status.onAt;
    if (raised || !wentToStandby)
        return;
    // Asked for after it was last seen on: an older ask was for an earlier
    // standby.
    const bool asked = status.standbyAskedAt && status.onAt && *status.standbyAskedAt >= *status.onAt;
    if (!asked)
        Apply(AlarmKind::UnexpectedStandby, Output::Raised, 0, 0, now, out);
}

void CAlarms::EvaluateLevel(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out)
{
    if (!Enabled(AlarmKind::Silence))
        return;
    CThresholdRule& machine = m_machines[Index(AlarmKind::Silence)];
    const double value = status.level;
    const double threshold = FixedThreshold(AlarmKind::Silence, m_rules[Index(AlarmKind::Silence)]).value_or(0);
    const Output output = status.standby ? machine.Reset() : machine.Measure(value, threshold, now);
    Apply(AlarmKind::Silence, output, value, threshold, now, out);
}

void CAlarms::Apply(AlarmKind kind, Output output, double value, double threshold, WallClock::time_point now,
                    std::vector<AlarmTransition>& transitions)
{
    if (output == Output::Nothing)
        return;
    const bool raised = output == Output::Raised;
    const Severity severity = m_rules[Index(kind)].severity;
    std::optional<ActiveAlarm>& active = m_active[Index(kind)];
    if (raised)
        active = ActiveAlarm{kind, severity, now, value, threshold, false, {}, std::nullopt};
    else
        active.reset();
    ++m_version;
    transitions.push_back({kind, raised, severity, now, value, threshold});
}

std::vector<AlarmTransition> CAlarms::Started(WallClock::time_point now)
{
    if (!Enabled(AlarmKind::Restart))
        return {};
    std::lock_guard lock(m_lock);
    const Severity severity = m_rules[Index(AlarmKind::Restart)].severity;
    m_version += 2;
    return {{AlarmKind::Restart, true, severity, now, 0, 0}, {AlarmKind::Restart, false, severity, now, 0, 0}};
}

std::vector<ActiveAlarm> CAlarms::Active() const
{
    std::vector<ActiveAlarm> alarms;
    std::lock_guard lock(m_lock);
    for (const auto& active : m_active) {
        if (active)
            alarms.push_back(*active);
    }
    return alarms;
}

CAlarms::AckResult CAlarms::Acknowledge(AlarmKind kind, const std::string& user, WallClock::time_point now,
                                        ActiveAlarm* alarm)
{
    std::lock_guard lock(m_lock);
    std::optional<ActiveAlarm>& active = m_active[Index(kind)];
    if (!active)
        return AckResult::NotRaised;
    AckResult result = AckResult::AlreadyAcknowledged;
    if (!active->acknowledged) {
        active->acknowledged = true;
        active->acknowledgedBy = user;
        active->acknowledgedAt = now;
        ++m_version;
        result = AckResult::Done;
    }
    if (alarm != nullptr)
        *alarm = *active;
    return result;
}

std::uint64_t CAlarms::Version() const
{
    std::lock_guard lock(m_lock);
    return m_version;
}

bool CAlarms::IsEnabled(AlarmKind kind) const { return Enabled(kind); }

bool CAlarms::IsActive(AlarmKind kind) const
{
    std::lock_guard lock(m_lock);
    return m_active[Index(kind)].has_value();
}

Severity CAlarms::SeverityOf(AlarmKind kind) const { return m_rules[Index(kind)].severity; }

}  // namespace talvexd
