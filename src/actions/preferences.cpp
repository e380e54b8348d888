#include "actions/preferences.h"

namespace velinor {

std::string TPreferencesMan::ParentPath(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string TPreferencesMan::ChildPath(const std::string& path, const std::string& name) {
    if (name.empty()) return path;
    return path.empty() ? name : path + "\\" + name;
}

}  // namespace velinor
