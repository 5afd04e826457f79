#pragma once
// The alarms of the site: each rule judged against the status board as it
// changes, the alarms that are up, and their acknowledgements. One thread
// evaluates; the HTTP threads read and acknowledge. Safe from every thread.

#include "Alarm.h"
#include "ThresholdRule.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace talvexd {

class CAlarms
{
public:
    explicit CAlarms(const std::array<AlarmRule, std::size(kAlarmKinds)>& rules);

    // Judges every rule against `status`, taken at `now`; the alarms raised
    // and cleared by it. Called at every change
    // of the status board, and also now and then when none comes (once a
    // second), so that a rule waiting out its delay with nothing new to read
    // (the link, down) still fires. Status rules read a status cycle once,
    // silence a level reading once.
    std::vector<AlarmTransition> Evaluate(const SiteStatus& status, WallClock::time_point now);
    // The restart alarm, raised and cleared at once; empty when disabled.
    std::vector<AlarmTransition> Started(WallClock::time_point now);
    // The alarms up now, in the order of kAlarmKinds.
    std::vector<ActiveAlarm> Active() const;

    enum class AckResult { Done, NotRaised, AlreadyAcknowledged };
    // Marks the raised alarm as seen by `user`; with Done and
    // AlreadyAcknowledged, the alarm as it now is goes to `alarm`.
    AckResult Acknowledge(AlarmKind kind, const std::string& user, WallClock::time_point now,
                          ActiveAlarm* alarm = nullptr);
    // Moves at each raise, clear and acknowledgement.
    std::uint64_t Version() const;
    bool IsEnabled(AlarmKind kind) const;
    bool IsActive(AlarmKind kind) const;
    Severity SeverityOf(AlarmKind kind) const;

private:
    static std::size_t Index(AlarmKind kind) { return static_cast<std::size_t>(kind); }
    // Turns one rule's output into a transition and the alarm's record; the
    // caller holds m_lock.
    void Apply(AlarmKind kind, CThresholdRule::Output output, double value, double threshold, WallClock::time_point now,
               std::vector<AlarmTransition>& transitions);
    void HoldReadingRules();
    void EvaluateStatus(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out);
    void JudgeStandby(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out);
    void EvaluateLevel(const SiteStatus& status, WallClock::time_point now, std::vector<AlarmTransition>& out);
    bool Enabled(AlarmKind kind) const { return m_rules[Index(kind)].enabled; }

    const std::array<AlarmRule, std::size(kAlarmKinds)> m_rules;
    mutable std::mutex m_lock;  // guards everything below
    // The machines of the threshold rules (unexpected_standby and restart
    // use none).
    std::array<CThresholdRule, std::size(kAlarmKinds)> m_machines;
    std::array<std::optional<ActiveAlarm>, std::size(kAlarmKinds)> m_active;
    std::uint64_t m_version = 0;
    // The newest status cycle and level reading already judged.
    std::optional<WallClock::time_point> m_readAt;
    std::optional<WallClock::time_point> m_levelReadAt;
    // For unexpected_standby: a status has been judged since the link came
    // up; and, once one found the transmitter in standby, its onAt then.
    bool m_sinceConnect = false;
    bool m_standbySeen = false;
    std::optional<WallClock::time_point> m_standbyOnAt;
};

}  // namespace talvexd
