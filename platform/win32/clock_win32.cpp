// The system's millisecond counter (GetTickCount, which wraps after 49.7 days exactly as the
// interface allows) and the local time by the time zone rules Windows holds for each date.
#include "platform/win32/windows_api.h"

#include "platform/clock.h"

namespace zel::platform {
namespace {

// Seconds since 1970 of a FILETIME (100-ns steps since 1601).
std::int64_t UnixSeconds(const FILETIME& time) {
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    return static_cast<std::int64_t>(value.QuadPart / 10000000ULL) - 11644473600LL;
}

class Win32Clock final : public Clock {
public:
    std::uint32_t TickCount() override { return ::GetTickCount(); }

    int LocalSecond() override {
        SYSTEMTIME now{};
        ::GetLocalTime(&now);
        return now.wSecond;
    }

    std::optional<std::int64_t> LocalTimeToUnix(int year, int month, int day, int hour, int minute,
                                                int second) override {
        if (year < 1900 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
            minute < 0 || minute > 59 || second < 0 || second > 59)
            return std::nullopt;
        SYSTEMTIME local{};
        local.wYear = static_cast<WORD>(year);
        local.wMonth = static_cast<WORD>(month);
        local.wDay = static_cast<WORD>(day);
        local.wHour = static_cast<WORD>(hour);
        local.wMinute = static_cast<WORD>(minute);
        local.wSecond = static_cast<WORD>(second);
        // SystemTimeToFileTime refuses a day that the month lacks (31 February).
        FILETIME check{};
        if (!::SystemTimeToFileTime(&local, &check)) return std::nullopt;
        SYSTEMTIME utc{};
        FILETIME result{};
        if (!::TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !::SystemTimeToFileTime(&utc, &result))
            return std::nullopt;
        return UnixSeconds(result);
    }

    void Sleep(std::uint32_t milliseconds) override { ::Sleep(milliseconds); }
};

}  // namespace

Clock& SystemClock() {
    static Win32Clock clock;
    return clock;
}

}  // namespace zel::platform
