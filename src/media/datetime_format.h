#pragma once
// The date-time pattern language of every datecode format setting (display, overlay lines,
// file dates, renaming, scene texts), with the French regional settings.
// A DatePattern is compiled once and is immutable, so one instance may be shared by threads.
#include <memory>
#include <string>
#include <string_view>

#include "media/datecode.h"

namespace velinor {

class DatePattern {
public:
    explicit DatePattern(std::string_view pattern);
    ~DatePattern();
    DatePattern(const DatePattern&);
    DatePattern& operator=(const DatePattern&);
    DatePattern(DatePattern&&) noexcept;
    DatePattern& operator=(DatePattern&&) noexcept;

    const std::string& pattern() const;
    // Appends the text of `value` to `out` (no allocation beyond the growth of `out`).
    void formatTo(std::string& out, Datecode value) const;
    std::string format(Datecode value) const;

private:
    struct Compiled;
    std::unique_ptr<Compiled> compiled_;
};

// One-off formatting; compiles the pattern each time.
std::string FormatDateTime(std::string_view pattern, Datecode value);

}  // namespace velinor
