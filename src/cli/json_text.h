#pragma once
// JSON texts of velinor-cli's --json outputs.
#include <string>

namespace velinor::cli {

// Appends `text` as a JSON string, quotes included; bytes that are not UTF-8 are written as the
// Latin-1 character they would be, so the output is always valid JSON.
void AppendJsonString(std::string& out, const std::string& text);

}  // namespace velinor::cli
