#include "appmodel/recorded_date.h"

#include <cstdio>
#include <ctime>

std::optional<RecordedDate> RecordedDate_Of(const uint8_t date[7]) {
    const int offset = int8_t(date[6]);
    if (date[1] < 1 || date[1] > 12 || date[2] < 1 || date[2] > 31 || date[3] > 23 || date[4] > 59 ||
        date[5] > 59 || offset < -48 || offset > 52)
        return std::nullopt;
    return RecordedDate{1900 + date[0], date[1], date[2], date[3], date[4], date[5], offset * 15};
}

std::string RecordedDate_Iso(const RecordedDate& d) {
    char text[40];
    const int minutes = d.offsetMinutes < 0 ? -d.offsetMinutes : d.offsetMinutes;
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.year, d.month, d.day,
                  d.hour, d.minute, d.second, d.offsetMinutes < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

int64_t RecordedDate_Seconds(const RecordedDate& d) {
    std::tm tm{};
    tm.tm_year = d.year - 1900;
    tm.tm_mon = d.month - 1;
    tm.tm_mday = d.day;
    tm.tm_hour = d.hour;
    tm.tm_min = d.minute;
    tm.tm_sec = d.second;
    return int64_t(timegm(&tm)) - int64_t(d.offsetMinutes) * 60;
}
