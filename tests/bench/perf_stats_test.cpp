// The arithmetic and /proc reading behind the performance table: a wrong rank
// or a misread field would put a false figure beside its goal.
#include "PerfStats.h"

#include <gtest/gtest.h>

#include <cmath>

namespace perf {
namespace {

TEST(PerfPercentile, NearestRankOfUnsortedSamples)
{
    // 1..100 shuffled: the median is 50, the 99th percentile 99, the top 100.
    std::vector<double> samples;
    for (int i = 0; i < 100; ++i) {
        samples.push_back((i * 37) % 100 + 1);
    }
    EXPECT_EQ(Percentile(samples, 0.5), 50.0);
    EXPECT_EQ(Percentile(samples, 0.99), 99.0);
    EXPECT_EQ(Percentile(samples, 1.0), 100.0);
    EXPECT_EQ(Percentile(samples, 0.0), 1.0);

    // With few samples the 99th percentile is the worst one, never past the end.
    EXPECT_EQ(Percentile({3.0, 1.0, 2.0}, 0.99), 3.0);
    EXPECT_EQ(Percentile({3.0, 1.0, 2.0}, 0.5), 2.0);
    EXPECT_EQ(Percentile({7.5}, 0.99), 7.5);
    EXPECT_FALSE(Percentile({}, 0.5).has_value());
}

TEST(PerfPercentile, IntervalsBetweenStamps)
{
    EXPECT_EQ(Intervals({100.0, 1650.0, 3200.5}), (std::vector<double>{1550.0, 1550.5}));
    EXPECT_TRUE(Intervals({42.0}).empty());
    EXPECT_TRUE(Intervals({}).empty());
}

TEST(PerfProcStat, CpuTicksAreUtimePlusStime)
{
    // Fields 14 and 15 (utime 1234, stime 56); the name holds spaces and a ')'.
    const char* line = "4242 (Talvex Panel) x) S 1 4242 4242 0 -1 4194560 5000 0 3 0 1234 56 0 0 20 0 6 0 900 "
                       "500000000 9000 18446744073709551615 1 1 0 0 0 0 0 4096 0 0 0 0 17 1 0 0 0 0 0\n";
    EXPECT_EQ(CpuTicksFromStat(line), 1290u);

    EXPECT_FALSE(CpuTicksFromStat("").has_value());
    EXPECT_FALSE(CpuTicksFromStat("4242 (cut) S 1 2 3").has_value());
    EXPECT_FALSE(CpuTicksFromStat("1 (x) S 1 1 1 0 -1 0 0 0 0 0 12a 3 0").has_value());
}

TEST(PerfProcStat, ResidentMemoryFromStatus)
{
    const char* status = "Name:\tTalvexPanel\n"
                         "VmPeak:\t  999999 kB\n"
                         "VmRSS:\t   61234 kB\n"
                         "RssAnon:\t   20000 kB\n";
    EXPECT_EQ(ResidentKbFromStatus(status), 61234u);
    EXPECT_FALSE(ResidentKbFromStatus("Name:\tx\nVmPeak:\t 5 kB\n").has_value());
    EXPECT_FALSE(ResidentKbFromStatus("VmRSS:\t 5 MB\n").has_value());
}

TEST(PerfProcStat, CorePercent)
{
    // 40 ticks of 100 per second over 20 s is 0.4 s of CPU: 2 % of a core.
    EXPECT_DOUBLE_EQ(CorePercent(40, 100, 20.0), 2.0);
    EXPECT_DOUBLE_EQ(CorePercent(0, 100, 20.0), 0.0);
    EXPECT_DOUBLE_EQ(CorePercent(40, 100, 0.0), 0.0);
}

}  // namespace
}  // namespace perf
