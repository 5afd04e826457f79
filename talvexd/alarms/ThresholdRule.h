#pragma once
// One threshold rule as a state machine of its own, with no clock and no
// lock: the caller hands it each reading with the time it was taken, and it
// answers whether the alarm went up, came down, or neither. A crossing must
// last the delay before it raises, and a raised alarm clears only once the
// reading has been back past the threshold by the hysteresis for the clear
// delay, so that a reading wobbling about the threshold sends nothing.

#include "talvexd/site/SiteStatus.h"

#include <chrono>
#include <optional>

namespace talvexd {

class CThresholdRule
{
public:
    enum class Direction {
        Above,  // raised while the reading is over the threshold
        Below,  // raised while the reading is under it
    };
    enum class Output { Nothing, Raised, Cleared };

    CThresholdRule() = default;
    CThresholdRule(Direction direction, std::chrono::milliseconds delay, double hysteresis,
                   std::chrono::milliseconds clearDelay);

    // A current reading taken at `now`. The threshold comes with it, since
    // it may follow the transmitter (a protection point, the power setting).
    Output Measure(double value, double threshold, WallClock::time_point now);
    // The readings are not current (the link is down, the transmitter is in
    // a state the rule cannot judge): the alarm stays as it is, and a
    // crossing under way starts over with the next reading.
    void Hold();
    // The rule no longer applies: a raised alarm clears at once.
    Output Reset();
    bool Raised() const { return m_raised; }

private:
    Direction m_direction = Direction::Above;
    std::chrono::milliseconds m_delay{0};
    double m_hysteresis = 0;
    std::chrono::milliseconds m_clearDelay{0};
    bool m_raised = false;
    // Since when the reading has been past the point that changes the
    // state (the threshold while down, threshold and hysteresis while up).
    std::optional<WallClock::time_point> m_pendingSince;
};

}  // namespace talvexd
