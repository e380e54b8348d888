#pragma once
// Reading and setting a file's times from local-time datecodes. Any thread.
#include <string>

#include "media/datecode.h"

namespace velinor {

// Seconds since 1970 (UTC) with nanoseconds, of a datecode read as local time (daylight
// saving as the time zone had it on that day).
struct UnixTime {
    int64_t Seconds = 0;
    int64_t Nanoseconds = 0;
};
UnixTime LocalDatecodeToUnix(Datecode value);

struct FileTimes {
    Datecode Created = 0;   // the birth time where the file system keeps one, else 0
    Datecode Modified = 0;  // local time
    Datecode Accessed = 0;
};
// False when the file cannot be read.
bool ReadFileTimes(const std::string& path, FileTimes& times);

// Sets the modification time to `value` (local time), leaving the access time as it was. Linux
// keeps the birth time itself, so only the modification time can follow. Answers "" on success,
// else the reason in French.
std::string SetFileModified(const std::string& path, Datecode value);

}  // namespace velinor
