#pragma once
// The verbs of velinor-cli. Each takes the arguments after the verb and returns the exit status.
#include <string>
#include <vector>

namespace velinor::cli {

using Args = std::vector<std::string>;

struct Verb {
    const char* name;
    const char* usage;
    int (*run)(const Args& args);
};

}  // namespace velinor::cli
