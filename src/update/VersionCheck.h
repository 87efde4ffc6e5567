#pragma once

#include <string>

// Compares two dotted version texts piece by piece, each piece as a byte string (so "10" sorts
// before "9"), only as far as both have pieces. -1: first is older, 0: equal, 1: first is newer,
// 2: either text is empty.
[[nodiscard]] int CompareVersion(const std::string& first, const std::string& second);
