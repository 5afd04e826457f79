// One threshold rule fed readings at chosen times.

#include "talvexd/alarms/ThresholdRule.h"

#include <gtest/gtest.h>

#include <vector>

using namespace talvexd;
using namespace std::chrono_literals;
using Direction = CThresholdRule::Direction;
using Output = CThresholdRule::Output;

namespace {

constexpr Output N = Output::Nothing, R = Output::Raised, C = Output::Cleared;
constexpr char kHold = 'h', kReset = 'r', kMeasure = 'm';

struct RuleStep {
    int second;
    double value;  // a reading, with kMeasure
    Output expected;
    char what = kMeasure;
};

}  // namespace

TEST(ThresholdRule, RaisesAfterTheDelayAndClearsPastTheBand)
{
    const WallClock::time_point start = WallClock::time_point{} + 1000h;
    // Above 10 (band 9..10) or below 10 (band 10..11); a delay of 3 s, a clear delay of 2 s.
    const struct {
        const char* name;
        Direction direction;
        std::vector<RuleStep> steps;
    } cases[] = {
        {"raised once the delay has passed", Direction::Above, {{0, 11, N}, {2, 12, N}, {3, 11, R}, {9, 12, N}}},
        {"a crossing shorter than the delay raises nothing",
         Direction::Above,
         {{0, 11, N}, {2, 9, N}, {4, 11, N}, {6, 11, N}, {7, 11, R}}},
        {"a wobble inside the band clears nothing",
         Direction::Above,
         {{0, 11, N}, {3, 11, R}, {4, 9.5, N}, {7, 10, N}, {8, 9.2, N}, {20, 9.9, N}}},
        {"cleared once past the band for the clear delay",
         Direction::Above,
         {{0, 11, N}, {3, 11, R}, {4, 9, N}, {5, 9.5, N}, {6, 8, N}, {8, 8, C}, {9, 10.5, N}}},
        {"a hold keeps the state and starts the wait over",
         Direction::Above,
         {{0, 11, N}, {2, 0, N, kHold}, {3, 11, N}, {5, 11, N}, {6, 11, R}, {7, 0, N, kHold}, {8, 5, N}, {10, 5, C}}},
        {"a reset clears at once, and only what is up",
         Direction::Above,
         {{0, 0, N, kReset}, {0, 11, N}, {3, 11, R}, {3, 0, C, kReset}, {4, 11, N}, {7, 11, R}}},
        {"below: the same, mirrored",
         Direction::Below,
         {{0, 9, N}, {3, 9, R}, {4, 10.5, N}, {6, 10.9, N}, {7, 11, N}, {9, 11, C}}},
        {"a wall clock set back starts the wait over",
         Direction::Above,
         {{10, 11, N}, {5, 11, N}, {7, 11, N}, {8, 11, R}}},
    };
    for (const auto& c : cases) {
        CThresholdRule rule(c.direction, 3s, 1, 2s);
        for (const RuleStep& step : c.steps) {
            const auto at = start + std::chrono::seconds(step.second);
            const Output output = step.what == kHold    ? (rule.Hold(), N)
                                  : step.what == kReset ? rule.Reset()
                                                        : rule.Measure(step.value, 10, at);
            EXPECT_EQ(output, step.expected) << c.name << ", at " << step.second << " s";
        }
    }
    // No delay, no band: raised and cleared by the first reading each way.
    CThresholdRule rule(Direction::Above, 0s, 0, 0s);
    EXPECT_EQ(rule.Measure(10.1, 10, start), R);
    EXPECT_EQ(rule.Measure(10, 10, start), C);
}
