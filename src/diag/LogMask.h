#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

// Keeps secrets out of log lines: passwords become "***", tickets and tokens keep their first
// four characters ("abcd…") so two lines can still be matched up. Used where a line that would
// carry a request body, a reply or an address is formatted; every other part stays as it is.
namespace LogMask {

// A ticket or token: its first four characters and "…"; "***" when it is too short to show any.
[[nodiscard]] std::string Secret(std::string_view value);

// A form body or query text ("k=v&k=v", also an address with one): the values of the password
// keys become "***", those of the secret keys Secret(value).
[[nodiscard]] std::string Form(std::string_view text, std::initializer_list<std::string_view> passwordKeys,
                               std::initializer_list<std::string_view> secretKeys);

// JSON text (well formed or not): the string values of members with these names, wherever they
// stand, become Secret(value). Text that is not JSON passes unchanged.
[[nodiscard]] std::string JsonMembers(std::string_view text,
                                      std::initializer_list<std::string_view> secretKeys);

} // namespace LogMask
