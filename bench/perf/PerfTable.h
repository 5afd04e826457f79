#pragma once
// The one table the performance run prints: each figure as measured, beside
// the limit it must not cross and the goal it should meet.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace perf {

struct PerfRow {
    std::string figure;             // what was measured
    std::optional<double> value;    // nothing when the measurement failed
    std::string unit;               // "ms", "%", "kB", "us"
    std::optional<double> floor;    // limit: the value may not be below this
    std::optional<double> ceiling;  // goal: the value should not be above this
    std::string reference;          // how the limit or goal comes about
    int decimals = 2;
};

enum class Verdict { Ok, OverGoal, BelowLimit, NotMeasured };

Verdict Judge(const PerfRow& row);
const char* VerdictText(Verdict verdict);

class CPerfTable
{
public:
    void Add(PerfRow row) { m_rows.push_back(std::move(row)); }
    const std::vector<PerfRow>& Rows() const { return m_rows; }
    // True when no figure is below its limit or unmeasured (goals missed
    // are reported, not failed).
    bool WithinLimits() const;
    // Writes the table, aligned, with a heading line.
    void Print(std::FILE* out) const;

private:
    std::vector<PerfRow> m_rows;
};

// "12.35 ms", or "-" for nothing.
std::string FormatValue(const std::optional<double>& value, const std::string& unit, int decimals);

}  // namespace perf
