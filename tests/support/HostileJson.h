#pragma once

#include <string>
#include <vector>

// JSON texts that have broken readers elsewhere: deep nesting, huge numbers, invalid UTF-8,
// embedded NUL bytes, lone surrogates, and every prefix of a valid document (truncation). Every
// reader of outside JSON is fed all of them.
namespace HostileJson {

struct Text
{
    std::string name;
    std::string text;
};

[[nodiscard]] std::vector<Text> Texts();

} // namespace HostileJson
