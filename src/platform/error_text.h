#pragma once
// What the system said went wrong, in French, for the messages the user reads: the errors a file
// operation meets day to day (missing file, no right, full or read-only disk, name taken…) have
// their own text; any other keeps the system's.
#include <string>

namespace velinor {

std::string ErrorText(int error);

}  // namespace velinor
