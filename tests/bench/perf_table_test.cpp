// The table's verdicts and the paint figures read from a benchmark report.
#include "PaintFigures.h"
#include "PerfTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace perf {
namespace {

PerfRow Row(std::optional<double> value, std::optional<double> floor, std::optional<double> ceiling)
{
    return {"figure", value, "ms", floor, ceiling, "", 1};
}

TEST(PerfTableVerdict, LimitIsAFloorAndGoalACeiling)
{
    EXPECT_EQ(Judge(Row(0.4, 0.0, 1.0)), Verdict::Ok);
    EXPECT_EQ(Judge(Row(1.0, 0.0, 1.0)), Verdict::Ok);  // the goal itself is met
    EXPECT_EQ(Judge(Row(1.2, 0.0, 1.0)), Verdict::OverGoal);
    EXPECT_EQ(Judge(Row(-0.1, 0.0, 1.0)), Verdict::BelowLimit);  // a fixed wait was cut short
    EXPECT_EQ(Judge(Row(1049.0, 1050.0, std::nullopt)), Verdict::BelowLimit);
    EXPECT_EQ(Judge(Row(5.0, std::nullopt, std::nullopt)), Verdict::Ok);
    EXPECT_EQ(Judge(Row(std::nullopt, 0.0, 1.0)), Verdict::NotMeasured);
}

TEST(PerfTableVerdict, OnlyLimitsAndMissingFiguresFailTheRun)
{
    CPerfTable table;
    table.Add(Row(3.0, 0.0, 1.0));  // over its goal: reported, not failed
    EXPECT_TRUE(table.WithinLimits());
    table.Add(Row(std::nullopt, std::nullopt, 2.0));
    EXPECT_FALSE(table.WithinLimits());

    CPerfTable below;
    below.Add(Row(-1.0, 0.0, std::nullopt));
    EXPECT_FALSE(below.WithinLimits());
}

TEST(PerfTableVerdict, PrintedRowsCarryValuesAndVerdicts)
{
    CPerfTable table;
    table.Add({"status cycle", 1052.25, "ms", 1050.0, 1071.0, "7 x 150 ms", 1});
    table.Add({"panel CPU", 3.5, "% core", std::nullopt, 2.0, "", 2});
    char buffer[2048] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer - 1, "w");
    ASSERT_NE(out, nullptr);
    table.Print(out);
    std::fclose(out);
    const std::string text = buffer;
    EXPECT_NE(text.find("1052.2 ms"), std::string::npos) << text;  // one decimal as asked
    EXPECT_NE(text.find("1071.0 ms"), std::string::npos) << text;
    EXPECT_NE(text.find("3.50 % core"), std::string::npos) << text;
    EXPECT_NE(text.find("over goal"), std::string::npos) << text;
    // The cycle row is within its goal.
    const std::string cycleLine =
        text.substr(text.find("status cycle"), text.find('\n', text.find("status cycle")) - text.find("status cycle"));
    EXPECT_NE(cycleLine.find(" ok "), std::string::npos) << cycleLine;
    EXPECT_EQ(FormatValue(std::nullopt, "ms", 2), "-");
}

TEST(PerfPaintReport, TimesAreReadInMicrosecondsAndNamed)
{
    const QByteArray json = R"({
      "context": {"num_cpus": 2},
      "benchmarks": [
        {"name": "BM_PaintStraight", "run_type": "iteration", "real_time": 250.5, "cpu_time": 249.0, "time_unit": "us"},
        {"name": "BM_PaintCurved", "run_type": "iteration", "real_time": 1.5, "cpu_time": 1.5, "time_unit": "ms"},
        {"name": "BM_PaintSlider", "run_type": "iteration", "real_time": 90000, "time_unit": "ns"},
        {"name": "BM_PaintSlider_mean", "run_type": "aggregate", "real_time": 91, "time_unit": "us"},
        {"name": "BM_PaintLevelMeter", "run_type": "iteration", "error_occurred": true, "real_time": 0, "time_unit": "us"},
        {"name": "BM_PaintImageButton/enabled:0", "run_type": "iteration", "real_time": 12, "time_unit": "us"},
        {"name": "BM_Something", "run_type": "iteration", "real_time": 3, "time_unit": "fortnights"}
      ]})";
    const std::vector<PaintFigure> figures = PaintFiguresFromJson(json);
    ASSERT_EQ(figures.size(), 4u);
    EXPECT_EQ(figures[0].control, "segment display, straight");
    EXPECT_DOUBLE_EQ(figures[0].microseconds, 250.5);
    EXPECT_EQ(figures[1].control, "segment display, curved");
    EXPECT_DOUBLE_EQ(figures[1].microseconds, 1500.0);
    EXPECT_EQ(figures[2].control, "slider");
    EXPECT_DOUBLE_EQ(figures[2].microseconds, 90.0);
    EXPECT_EQ(figures[3].control, "button with image, disabled");

    EXPECT_TRUE(PaintFiguresFromJson("not json").empty());
}

}  // namespace
}  // namespace perf
