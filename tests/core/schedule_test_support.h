#pragma once
// For the schedule tests: a time zone for one test, and UTC moments computed
// by plain calendar arithmetic, independent of the C library's time functions
// that the code under test uses.

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

namespace schedule_test {

class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* zone) : m_had(std::getenv("TZ") != nullptr)
    {
        m_previous = m_had ? std::getenv("TZ") : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        m_had ? setenv("TZ", m_previous.c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_had;
    std::string m_previous;
};

// Seconds since 1970-01-01 00:00 UTC of a UTC wall-clock time (proleptic
// Gregorian calendar).
constexpr std::int64_t Utc(std::int64_t y, unsigned mo, unsigned d, int h = 0, int mi = 0, int s = 0)
{
    y -= mo <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (mo > 2 ? mo - 3 : mo + 9) + 2) / 5 + d - 1;
    const std::int64_t days = era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
    return days * 86'400 + h * 3'600 + mi * 60 + s;
}

// Central European time with its daylight-saving rule spelled out, so that
// no zone database is needed; a fixed zone five hours behind UTC; UTC.
inline constexpr char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";
inline constexpr char kFixedMinus5[] = "EST5";
inline constexpr char kUtc[] = "UTC0";

}  // namespace schedule_test
