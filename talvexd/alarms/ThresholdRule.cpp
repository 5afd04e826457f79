#include "ThresholdRule.h"

namespace talvexd {

CThresholdRule::CThresholdRule(Direction direction, std::chrono::milliseconds delay, double hysteresis,
                               std::chrono::milliseconds clearDelay)
    : m_direction(direction), m_delay(delay), m_hysteresis(hysteresis), m_clearDelay(clearDelay)
{}

CThresholdRule::Output CThresholdRule::Measure(double value, double threshold, WallClock::time_point now)
{
    const bool above = m_direction == Direction::Above;
    // Raised past the threshold; cleared at it or back beyond the band, so
    // that with no hysteresis the two conditions are each other's opposite.
    const bool past = m_raised ? (above ? value <= threshold - m_hysteresis : value >= threshold + m_hysteresis)
                               : (above ? value > threshold : value < threshold);
    if (!past) {
        m_pendingSince.reset();
        return Output::Nothing;
    }
    // A wall clock set back must not stretch the wait.
    if (!m_pendingSince || now < *m_pendingSince)
        m_pendingSince = now;
    if (now - *m_pendingSince < (m_raised ? m_clearDelay : m_delay))
        return Output::Nothing;
    m_pendingSince.reset();
    m_raised = !m_raised;
    return m_raised ? Output::Raised : Output::Cleared;
}

void CThresholdRule::Hold() { m_pendingSince.reset(); }

CThresholdRule::Output CThresholdRule::Reset()
{
    m_pendingSince.reset();
    if (!m_raised)
        return Output::Nothing;
    m_raised = false;
    return Output::Cleared;
}

}  // namespace talvexd
