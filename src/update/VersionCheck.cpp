#include "update/VersionCheck.h"

#include <string_view>

namespace {

// The piece that starts at position start, and where the next one starts (npos after the last).
std::string_view NextPiece(std::string_view text, std::size_t& start)
{
    const auto dot = text.find('.', start);
    const std::string_view piece = text.substr(start, dot == std::string_view::npos ? dot : dot - start);
    start = dot == std::string_view::npos ? dot : dot + 1;
    return piece;
}

} // namespace

int CompareVersion(const std::string& first, const std::string& second)
{
    if (first.empty() || second.empty()) {
        return 2;
    }
    std::size_t a = 0;
    std::size_t b = 0;
    while (a != std::string_view::npos && b != std::string_view::npos) {
        // string_view compares bytes as unsigned values, a prefix before its extensions.
        const int order = NextPiece(first, a).compare(NextPiece(second, b));
        if (order != 0) {
            return order < 0 ? -1 : 1;
        }
    }
    return 0;
}
