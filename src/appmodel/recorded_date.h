// The date of a directory record (years since 1900, month, day, hour, minute, second, GMT offset in quarter
// hours), as ckvd gives it to scripts and to the files it copies.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct RecordedDate {
    int year, month, day, hour, minute, second;
    int offsetMinutes; // east of Greenwich
};

// The date when the record holds a valid one.
std::optional<RecordedDate> RecordedDate_Of(const uint8_t date[7]);
// "YYYY-MM-DDTHH:MM:SS+HH:MM".
std::string RecordedDate_Iso(const RecordedDate& date);
// Seconds since 1970 (UTC).
int64_t RecordedDate_Seconds(const RecordedDate& date);
