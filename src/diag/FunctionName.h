#pragma once

#include <cstddef>

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

// Works on a copy and by index: some compilers refuse pointers into a template argument object
// in constant expressions.
template <std::size_t N>
consteval FixedString<N> ExtractName(FixedString<N> pretty)
{
    // The parameter list starts at the first "(" outside template brackets.
    std::size_t depth = 0;
    std::size_t open = N - 1;
    for (std::size_t i = 0; i + 1 < N; ++i) {
        const char c = pretty.data[i];
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
        const char c = pretty.data[i - 1];
        if (c == '>') {
            ++depth;
        } else if (c == '<' && depth > 0) {
            --depth;
        } else if (c == ' ' && depth == 0) {
            start = i;
            break;
        }
    }
    FixedString<N> name;
    for (std::size_t i = start; i < open; ++i) {
        name.data[i - start] = pretty.data[i];
    }
    return name;
}

template <FixedString Pretty>
struct FunctionName
{
    static constexpr auto kName = ExtractName(Pretty);
};

} // namespace FunctionNameDetail

// A null-terminated constant with the current function's log name.
#define EXAMORA_FUNCTION_NAME (::FunctionNameDetail::FunctionName<__PRETTY_FUNCTION__>::kName.data)
