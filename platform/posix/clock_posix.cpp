#include <time.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <thread>

#include "platform/clock.h"

namespace zel::platform {
namespace {

class PosixClock final : public Clock {
public:
    std::uint32_t TickCount() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<std::uint32_t>(ms);
    }

    int LocalSecond() override {
        std::time_t now = std::time(nullptr);
        std::tm fields{};
        localtime_r(&now, &fields);
        return fields.tm_sec;
    }

    std::optional<std::int64_t> LocalTimeToUnix(int year, int month, int day, int hour, int minute,
                                                int second) override {
        if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
            minute < 0 || minute > 59 || second < 0 || second > 59)
            return std::nullopt;
        std::tm fields{};
        fields.tm_year = year - 1900;
        fields.tm_mon = month - 1;
        fields.tm_mday = day;
        fields.tm_hour = hour;
        fields.tm_min = minute;
        fields.tm_sec = second;
        fields.tm_isdst = -1;
        errno = 0;
        std::time_t result = std::mktime(&fields);
        if (result == static_cast<std::time_t>(-1) && errno != 0) return std::nullopt;
        // mktime moves a day that the month lacks (31 February) into the next month: that is no date.
        // An hour skipped by a daylight saving change still names a time, so only the date is compared.
        if (fields.tm_mday != day || fields.tm_mon != month - 1 || fields.tm_year != year - 1900) return std::nullopt;
        return static_cast<std::int64_t>(result);
    }

    void Sleep(std::uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
};

}  // namespace

Clock& SystemClock() {
    static PosixClock clock;
    return clock;
}

}  // namespace zel::platform
