#pragma once

#include <cstddef>
#include <string_view>

// The name a log line gives its writing function, "Class::Method" (with namespaces) or "Function",
// cut at compile time out of the compiler's pretty function name: no return type, no parameters,
// and a lambda is named after the function it is written in.
namespace FunctionNameDetail {

template <std::size_t N>
struct FixedString
{
    char data[N]{};
    constexpr FixedString() = default;
    constexpr FixedString(const char (&text)[N]) // NOLINT(google-explicit-constructor)
    {
        for (std::size_t i = 0; i < N; ++i) {
            data[i] = text[i];
        }
    }
};

consteval std::string_view Extract(std::string_view pretty)
{
    // The parameter list starts at the first "(" outside template brackets.
    std::size_t depth = 0;
    std::size_t open = pretty.size();
    for (std::size_t i = 0; i < pretty.size(); ++i) {
        const char c = pretty[i];
        if (c == '<') {
            ++depth;
        } else if (c == '>' && depth > 0) {
            --depth;
        } else if (c == '(' && depth == 0) {
            open = i;
            break;
        }
    }
    // The return type ends at the last space outside template brackets before it.
    std::size_t start = 0;
    depth = 0;
    for (std::size_t i = open; i > 0; --i) {
        const char c = pretty[i - 1];
        if (c == '>') {
            ++depth;
        } else if (c == '<' && depth > 0) {
            --depth;
        } else if (c == ' ' && depth == 0) {
            start = i;
            break;
        }
    }
    return pretty.substr(start, open - start);
}

template <FixedString Pretty>
struct FunctionName
{
    static constexpr std::string_view kView = Extract(std::string_view(Pretty.data, sizeof(Pretty.data) - 1));
    static constexpr auto Make()
    {
        FixedString<sizeof(Pretty.data)> name;
        for (std::size_t i = 0; i < kView.size(); ++i) {
            name.data[i] = kView[i];
        }
        return name;
    }
    static constexpr auto kName = Make();
};

} // namespace FunctionNameDetail

// A null-terminated constant with the current function's log name.
#define EXAMORA_FUNCTION_NAME (::FunctionNameDetail::FunctionName<__PRETTY_FUNCTION__>::kName.data)
