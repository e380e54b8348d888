#include "media/datetime_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace velinor {

namespace {

// French regional settings, as Windows gives them for fr-FR. The AM and PM strings of that
// locale are empty, so "ampm" prints nothing (it still switches h/hh to the 12-hour clock);
// "am/pm" and "a/p" print their own letters as the pattern spells them.
constexpr std::string_view kShortDateFormat = "dd/mm/yyyy";
constexpr std::string_view kLongDateFormat = "dddd d mmmm yyyy";
constexpr std::string_view kShortTimeFormat = "hh:nn";
constexpr std::string_view kLongTimeFormat = "hh:nn:ss";
constexpr std::string_view kTimeAmString = "";
constexpr std::string_view kTimePmString = "";
constexpr char kDateSeparator = '/';
constexpr char kTimeSeparator = ':';

// Index 1 = Sunday ... 7 = Saturday, 0 for an unrepresentable date.
constexpr std::array<std::string_view, 8> kShortDayNames = {"",     "dim.", "lun.", "mar.",
                                                            "mer.", "jeu.", "ven.", "sam."};
constexpr std::array<std::string_view, 8> kLongDayNames = {"",         "dimanche", "lundi",    "mardi",
                                                           "mercredi", "jeudi",    "vendredi", "samedi"};
// Index 1 = January, 0 for an unrepresentable date.
constexpr std::array<std::string_view, 13> kShortMonthNames = {
    "", "janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."};
constexpr std::array<std::string_view, 13> kLongMonthNames = {
    "",        "janvier", "février",   "mars",    "avril",    "mai",     "juin",
    "juillet", "août",    "septembre", "octobre", "novembre", "décembre"};

// 0001-01-01 00:00 and the first instant after 9999-12-31 on the datecode scale.
constexpr double kMinDatecode = -693'593.0;
constexpr double kEndDatecode = 2'958'466.0;

enum class OpKind : uint8_t {
    Literal,
    Day,
    Day2,
    DayShort,
    DayLong,
    Month,
    Month2,
    MonthShort,
    MonthLong,
    Year2,
    Year4,
    Hour,
    Hour2,
    Hour12,
    Hour12Two,
    Minute,
    Minute2,
    Second,
    Second2,
    Milli,
    Milli3,
    AmPm,            // text span 1 before noon, span 2 from noon on
    SkipIfMidnight,  // skips the next `count` ops when hour, minute and second are all 0
};

struct Op {
    OpKind kind = OpKind::Literal;
    uint32_t offset = 0;  // into the text pool
    uint32_t length = 0;
    uint32_t offset2 = 0;
    uint32_t length2 = 0;  // or the op count of SkipIfMidnight
};

bool startsWithNoCase(std::string_view text, size_t at, std::string_view token) {
    if (text.size() - at < token.size()) return false;
    for (size_t i = 0; i < token.size(); ++i) {
        char c = text[at + i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != token[i]) return false;
    }
    return true;
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Any of the three 12-hour indicators outside quoted text turns h and hh of this (sub)pattern
// to the 12-hour clock, wherever it stands.
bool usesTwelveHourClock(std::string_view f) {
    for (size_t i = 0; i < f.size(); ++i) {
        const char c = f[i];
        if (c == '\'' || c == '"') {
            ++i;
            while (i < f.size() && f[i] != c) ++i;
        } else if ((c == 'a' || c == 'A') &&
                   (startsWithNoCase(f, i, "A/P") || startsWithNoCase(f, i, "AMPM") ||
                    startsWithNoCase(f, i, "AM/PM"))) {
            return true;
        }
    }
    return false;
}

class Compiler {
public:
    std::vector<Op> ops;
    std::string pool;
    size_t maxLength = 0;
    size_t mergeFloor = 0;  // ops before this index never take more literal text

    // `nesting` 0 is the user's pattern, 1 a regional format it names; regional formats never
    // expand further. `timeFlag` is set inside the time formats, where m means minutes.
    void compile(std::string_view f, int nesting, bool timeFlag) {
        if (nesting > 1) return;
        const bool clock12 = usesTwelveHourClock(f);
        char lastToken = ' ';
        size_t i = 0;
        while (i < f.size()) {
            const char original = f[i];
            const char token = upper(original);
            size_t count = 1;
            switch (token) {
                case '\'':
                case '"': {
                    size_t end = i + 1;
                    while (end < f.size() && f[end] != original) ++end;
                    literal(f.substr(i + 1, end - i - 1));
                    count = end - i + 1;  // an unmatched quote runs to the end of the pattern
                    break;
                }
                case 'A':
                    if (startsWithNoCase(f, i, "AMPM")) {
                        count = 4;
                        amPm(kTimeAmString, kTimePmString);
                    } else if (startsWithNoCase(f, i, "AM/PM")) {
                        count = 5;
                        amPm(f.substr(i, 2), f.substr(i + 3, 2));
                    } else if (startsWithNoCase(f, i, "A/P")) {
                        count = 3;
                        amPm(f.substr(i, 1), f.substr(i + 2, 1));
                    } else {
                        literal(f.substr(i, 1));
                    }
                    break;
                case '/':
                    literal(std::string_view(&kDateSeparator, 1));
                    break;
                case ':':
                    literal(std::string_view(&kTimeSeparator, 1));
                    break;
                case 'C':
                case 'D':
                case 'H':
                case 'M':
                case 'N':
                case 'S':
                case 'T':
                case 'Y':
                case 'Z':
                    while (i + count < f.size() && upper(f[i + count]) == token) ++count;
                    run(token, count, nesting, timeFlag, clock12, lastToken);
                    // Only letters carry the "minutes after hours" link: "hh mm" and "hh:mm"
                    // both give minutes, "hh nn mm" gives the month.
                    lastToken = token;
                    break;
                default:
                    literal(f.substr(i, 1));
                    break;
            }
            i += count;
        }
    }

private:
    void run(char token, size_t count, int nesting, bool timeFlag, bool clock12, char lastToken) {
        switch (token) {
            case 'Y':
                emit(count > 2 ? OpKind::Year4 : OpKind::Year2, 5);
                break;
            case 'M':
                if (lastToken == 'H' || timeFlag)
                    emit(count == 1 ? OpKind::Minute : OpKind::Minute2, 2);
                else if (count <= 2)
                    emit(count == 1 ? OpKind::Month : OpKind::Month2, 2);
                else
                    emit(count == 3 ? OpKind::MonthShort : OpKind::MonthLong, 10);
                break;
            case 'D':
                if (count <= 2)
                    emit(count == 1 ? OpKind::Day : OpKind::Day2, 2);
                else if (count <= 4)
                    emit(count == 3 ? OpKind::DayShort : OpKind::DayLong, 10);
                else
                    compile(count == 5 ? kShortDateFormat : kLongDateFormat, nesting + 1, false);
                break;
            case 'H':
                if (clock12)
                    emit(count == 1 ? OpKind::Hour12 : OpKind::Hour12Two, 2);
                else
                    emit(count == 1 ? OpKind::Hour : OpKind::Hour2, 2);
                break;
            case 'N':
                emit(count == 1 ? OpKind::Minute : OpKind::Minute2, 2);
                break;
            case 'S':
                emit(count == 1 ? OpKind::Second : OpKind::Second2, 2);
                break;
            case 'Z':
                emit(count == 1 ? OpKind::Milli : OpKind::Milli3, 3);
                break;
            case 'T':
                compile(count == 1 ? kShortTimeFormat : kLongTimeFormat, nesting + 1, true);
                break;
            case 'C': {
                compile(kShortDateFormat, nesting + 1, false);
                const size_t skip = ops.size();
                ops.push_back(Op{.kind = OpKind::SkipIfMidnight});
                literal(" ");
                compile(kLongTimeFormat, nesting + 1, true);
                ops[skip].length2 = static_cast<uint32_t>(ops.size() - skip - 1);
                mergeFloor = ops.size();
                break;
            }
            default:
                break;
        }
    }

    void emit(OpKind kind, size_t width) {
        ops.push_back(Op{.kind = kind});
        maxLength += width;
    }

    uint32_t store(std::string_view text) {
        const auto at = static_cast<uint32_t>(pool.size());
        pool.append(text);
        return at;
    }

    void literal(std::string_view text) {
        if (text.empty()) return;
        maxLength += text.size();
        // Adjacent literals become one copy.
        if (ops.size() > mergeFloor && ops.back().kind == OpKind::Literal &&
            ops.back().offset + ops.back().length == pool.size()) {
            pool.append(text);
            ops.back().length += static_cast<uint32_t>(text.size());
            return;
        }
        const uint32_t at = store(text);
        ops.push_back(
            Op{.kind = OpKind::Literal, .offset = at, .length = static_cast<uint32_t>(text.size())});
    }

    void amPm(std::string_view am, std::string_view pm) {
        const uint32_t amAt = store(am);
        const uint32_t pmAt = store(pm);
        ops.push_back(Op{.kind = OpKind::AmPm,
                         .offset = amAt,
                         .length = static_cast<uint32_t>(am.size()),
                         .offset2 = pmAt,
                         .length2 = static_cast<uint32_t>(pm.size())});
        maxLength += std::max(am.size(), pm.size());
    }
};

// Appends `value` in decimal with at least `digits` digits, padded with zeros.
void appendNumber(std::string& out, uint32_t value, int digits) {
    char buf[10];
    int n = 0;
    do {
        buf[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n < digits) buf[n++] = '0';
    while (n > 0) out.push_back(buf[--n]);
}

void appendTwo(std::string& out, uint32_t value) {
    if (value < 100) {
        const char two[2] = {static_cast<char>('0' + value / 10), static_cast<char>('0' + value % 10)};
        out.append(two, 2);
    } else {
        appendNumber(out, value, 2);
    }
}

}  // namespace

struct DatePattern::Compiled {
    std::string pattern;
    std::vector<Op> ops;
    std::string pool;
    size_t maxLength = 0;
};

DatePattern::DatePattern(std::string_view pattern) : compiled_(std::make_unique<Compiled>()) {
    compiled_->pattern = std::string(pattern);
    Compiler c;
    // An empty pattern means the short date and, when not midnight, the long time.
    c.compile(pattern.empty() ? std::string_view("c") : pattern, 0, false);
    compiled_->ops = std::move(c.ops);
    compiled_->pool = std::move(c.pool);
    compiled_->maxLength = c.maxLength;
}

DatePattern::~DatePattern() = default;
DatePattern::DatePattern(const DatePattern& other)
    : compiled_(other.compiled_ ? std::make_unique<Compiled>(*other.compiled_) : nullptr) {}
DatePattern& DatePattern::operator=(const DatePattern& other) {
    if (this != &other) compiled_ = other.compiled_ ? std::make_unique<Compiled>(*other.compiled_) : nullptr;
    return *this;
}
DatePattern::DatePattern(DatePattern&&) noexcept = default;
DatePattern& DatePattern::operator=(DatePattern&&) noexcept = default;

const std::string& DatePattern::pattern() const {
    static const std::string kEmpty;
    return compiled_ ? compiled_->pattern : kEmpty;
}

void DatePattern::formatTo(std::string& out, Datecode value) const {
    if (!compiled_) return;
    const Compiled& c = *compiled_;
    // A value outside years 1-9999 (or not a number) formats as all-zero fields with empty names.
    DatecodeParts p;
    if (std::isfinite(value) && value >= kMinDatecode && value < kEndDatecode) p = DecodeDatecode(value);
    const auto year = static_cast<uint32_t>(p.Year);
    const auto month = static_cast<uint32_t>(p.Month);
    const auto day = static_cast<uint32_t>(p.Day);
    const auto hour = static_cast<uint32_t>(p.Hour);
    const auto minute = static_cast<uint32_t>(p.Minute);
    const auto second = static_cast<uint32_t>(p.Second);
    const auto milli = static_cast<uint32_t>(p.Millisecond);
    const uint32_t hour12 = hour % 12 == 0 ? 12 : hour % 12;
    const size_t monthIndex = month < kLongMonthNames.size() ? month : 0;
    const size_t dayIndex = p.DayOfWeek >= 0 && p.DayOfWeek < 8 ? static_cast<size_t>(p.DayOfWeek) : 0;

    out.reserve(out.size() + c.maxLength);
    const Op* op = c.ops.data();
    const Op* const end = op + c.ops.size();
    for (; op < end; ++op) {
        switch (op->kind) {
            case OpKind::Literal:
                out.append(c.pool, op->offset, op->length);
                break;
            case OpKind::Day:
                appendNumber(out, day, 1);
                break;
            case OpKind::Day2:
                appendTwo(out, day);
                break;
            case OpKind::DayShort:
                out.append(kShortDayNames[dayIndex]);
                break;
            case OpKind::DayLong:
                out.append(kLongDayNames[dayIndex]);
                break;
            case OpKind::Month:
                appendNumber(out, month, 1);
                break;
            case OpKind::Month2:
                appendTwo(out, month);
                break;
            case OpKind::MonthShort:
                out.append(kShortMonthNames[monthIndex]);
                break;
            case OpKind::MonthLong:
                out.append(kLongMonthNames[monthIndex]);
                break;
            case OpKind::Year2:
                appendTwo(out, year % 100);
                break;
            case OpKind::Year4:
                appendNumber(out, year, 4);
                break;
            case OpKind::Hour:
                appendNumber(out, hour, 1);
                break;
            case OpKind::Hour2:
                appendTwo(out, hour);
                break;
            case OpKind::Hour12:
                appendNumber(out, hour12, 1);
                break;
            case OpKind::Hour12Two:
                appendTwo(out, hour12);
                break;
            case OpKind::Minute:
                appendNumber(out, minute, 1);
                break;
            case OpKind::Minute2:
                appendTwo(out, minute);
                break;
            case OpKind::Second:
                appendNumber(out, second, 1);
                break;
            case OpKind::Second2:
                appendTwo(out, second);
                break;
            case OpKind::Milli:
                appendNumber(out, milli, 1);
                break;
            case OpKind::Milli3:
                appendNumber(out, milli, 3);
                break;
            case OpKind::AmPm:
                if (hour < 12)
                    out.append(c.pool, op->offset, op->length);
                else
                    out.append(c.pool, op->offset2, op->length2);
                break;
            case OpKind::SkipIfMidnight:
                if (hour == 0 && minute == 0 && second == 0) op += op->length2;
                break;
        }
    }
}

std::string DatePattern::format(Datecode value) const {
    std::string out;
    formatTo(out, value);
    return out;
}

std::string FormatDateTime(std::string_view pattern, Datecode value) {
    return DatePattern(pattern).format(value);
}

}  // namespace velinor
