#pragma once
// Texts between the core's UTF-8 strings and Qt. UI thread only.
#include <QString>
#include <string>

namespace velinor {

inline QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// "label|pattern|label|pattern..." as a Qt file filter; every pattern also matches its upper case,
// since names from cameras and other systems often are.
QString QtFileFilter(const std::string& filter);

}  // namespace velinor
