#include "PerfTable.h"

#include <algorithm>
#include <array>

namespace perf {

Verdict Judge(const PerfRow& row)
{
    if (!row.value) {
        return Verdict::NotMeasured;
    }
    if (row.floor && *row.value < *row.floor) {
        return Verdict::BelowLimit;
    }
    if (row.ceiling && *row.value > *row.ceiling) {
        return Verdict::OverGoal;
    }
    return Verdict::Ok;
}

const char* VerdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok: return "ok";
    case Verdict::OverGoal: return "over goal";
    case Verdict::BelowLimit: return "BELOW LIMIT";
    case Verdict::NotMeasured: return "NOT MEASURED";
    }
    return "?";
}

bool CPerfTable::WithinLimits() const
{
    return std::none_of(m_rows.begin(), m_rows.end(), [](const PerfRow& row) {
        const Verdict v = Judge(row);
        return v == Verdict::BelowLimit || v == Verdict::NotMeasured;
    });
}

std::string FormatValue(const std::optional<double>& value, const std::string& unit, int decimals)
{
    if (!value) {
        return "-";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, *value, unit.c_str());
    return text;
}

void CPerfTable::Print(std::FILE* out) const
{
    using Line = std::array<std::string, 6>;
    std::vector<Line> lines;
    lines.push_back({"Figure", "Measured", "Limit (>=)", "Goal (<=)", "Verdict", "Reference"});
    for (const PerfRow& row : m_rows) {
        lines.push_back({row.figure, FormatValue(row.value, row.unit, row.decimals),
                         row.floor ? FormatValue(row.floor, row.unit, row.decimals) : "-",
                         row.ceiling ? FormatValue(row.ceiling, row.unit, row.decimals) : "-", VerdictText(Judge(row)),
                         row.reference});
    }
    std::array<std::size_t, 6> width{};
    for (const Line& line : lines) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            width[i] = std::max(width[i], line[i].size());
        }
    }
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const Line& line = lines[n];
        std::fprintf(out, "%-*s  %*s  %*s  %*s  %-*s  %s\n", static_cast<int>(width[0]), line[0].c_str(),
                     static_cast<int>(width[1]), line[1].c_str(), static_cast<int>(width[2]), line[2].c_str(),
                     static_cast<int>(width[3]), line[3].c_str(), static_cast<int>(width[4]), line[4].c_str(),
                     line[5].c_str());
        if (n == 0) {
            std::size_t total = 0;
            for (std::size_t w : width) {
                total += w + 2;
            }
            std::fprintf(out, "%s\n", std::string(total + 8, '-').c_str());
        }
    }
}

}  // namespace perf
