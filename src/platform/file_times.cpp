#include "platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>

#include "platform/error_text.h"

namespace velinor {

namespace {

Datecode LocalFromUnix(int64_t seconds, int64_t nanoseconds) {
    const time_t t = time_t(seconds);
    struct tm local {};
    if (!localtime_r(&t, &local)) return 0;
    DatecodeFields f;
    f.Year = local.tm_year + 1900;
    f.Month = uint8_t(local.tm_mon + 1);
    f.Day = uint8_t(local.tm_mday);
    f.Hour = uint8_t(local.tm_hour);
    f.Minute = uint8_t(local.tm_min);
    f.Second = uint8_t(std::min(local.tm_sec, 59));
    const auto day = MakeDatecode(f);
    if (!day) return 0;
    return *day + double(nanoseconds / 1'000'000) / 1000.0 / kSecondsPerDay;
}

}  // namespace

UnixTime LocalDatecodeToUnix(Datecode value) {
    const DatecodeParts p = DecodeDatecode(value);
    struct tm local {};
    local.tm_year = p.Year - 1900;
    local.tm_mon = p.Month - 1;
    local.tm_mday = p.Day;
    local.tm_hour = p.Hour;
    local.tm_min = p.Minute;
    local.tm_sec = p.Second;
    local.tm_isdst = -1;
    UnixTime u;
    u.Seconds = int64_t(std::mktime(&local));
    u.Nanoseconds = int64_t(p.Millisecond) * 1'000'000;
    return u;
}

bool ReadFileTimes(const std::string& path, FileTimes& times) {
    struct statx sx {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0) return false;
    times.Modified = LocalFromUnix(sx.stx_mtime.tv_sec, sx.stx_mtime.tv_nsec);
    times.Accessed = LocalFromUnix(sx.stx_atime.tv_sec, sx.stx_atime.tv_nsec);
    times.Created =
        (sx.stx_mask & STATX_BTIME) ? LocalFromUnix(sx.stx_btime.tv_sec, sx.stx_btime.tv_nsec) : 0;
    return true;
}

std::string SetFileModified(const std::string& path, Datecode value) {
    if (!std::isfinite(value) || value <= 0) return "date invalide";
    const UnixTime u = LocalDatecodeToUnix(value);
    decltype(stat::st_mtim) ts[2];
    ts[0].tv_sec = 0;
    ts[0].tv_nsec = UTIME_OMIT;
    ts[1].tv_sec = time_t(u.Seconds);
    ts[1].tv_nsec = long(u.Nanoseconds);
    if (::utimensat(AT_FDCWD, path.c_str(), ts, 0) != 0) return ErrorText(errno);
    return {};
}

}  // namespace velinor
