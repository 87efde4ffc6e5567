#include "diag/LogMask.h"

#include <algorithm>

namespace LogMask {

namespace {

constexpr std::size_t kShown = 4;
constexpr std::string_view kPassword = "***";

bool Contains(std::initializer_list<std::string_view> keys, std::string_view key)
{
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

} // namespace

std::string Secret(std::string_view value)
{
    // Fewer than twice the shown characters would give too much of a short secret away.
    if (value.size() < 2 * kShown) {
        return std::string(kPassword);
    }
    return std::string(value.substr(0, kShown)) + "\xe2\x80\xa6";
}

std::string Form(std::string_view text, std::initializer_list<std::string_view> passwordKeys,
                 std::initializer_list<std::string_view> secretKeys)
{
    std::string masked;
    masked.reserve(text.size());
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find('&', start), text.size());
        // An address before its query: "host/path?k=v" keeps the part up to "?" as it is. Only the
        // first piece can hold one, before any "=": a "?" inside a value is the value's.
        std::string_view piece = text.substr(start, end - start);
        if (const std::size_t question = piece.find('?');
            start == 0 && question != std::string_view::npos && question < piece.find('=')) {
            masked.append(piece.substr(0, question + 1));
            piece.remove_prefix(question + 1);
        }
        const std::size_t equals = piece.find('=');
        const std::string_view key = piece.substr(0, equals);
        if (equals != std::string_view::npos && Contains(passwordKeys, key)) {
            masked.append(key).append("=").append(kPassword);
        } else if (equals != std::string_view::npos && Contains(secretKeys, key)) {
            masked.append(key).append("=").append(Secret(piece.substr(equals + 1)));
        } else {
            masked.append(piece);
        }
        if (end == text.size()) {
            break;
        }
        masked.push_back('&');
        start = end + 1;
    }
    return masked;
}

std::string JsonMembers(std::string_view text, std::initializer_list<std::string_view> secretKeys)
{
    std::string masked;
    masked.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('"', at);
        if (open == std::string_view::npos) {
            break;
        }
        // A quoted text: a member name when a colon follows it.
        std::size_t close = open + 1;
        while (close < text.size() && text[close] != '"') {
            close += text[close] == '\\' ? 2 : 1;
        }
        if (close >= text.size()) {
            break;
        }
        masked.append(text.substr(at, close + 1 - at));
        at = close + 1;
        const std::string_view name = text.substr(open + 1, close - open - 1);
        std::size_t value = at;
        while (value < text.size() && (text[value] == ' ' || text[value] == ':' || text[value] == '\t' ||
                                       text[value] == '\r' || text[value] == '\n')) {
            ++value;
        }
        if (!Contains(secretKeys, name) || value >= text.size() || text[value] != '"' ||
            text.substr(at, value - at).find(':') == std::string_view::npos) {
            continue;
        }
        std::size_t valueEnd = value + 1;
        while (valueEnd < text.size() && text[valueEnd] != '"') {
            valueEnd += text[valueEnd] == '\\' ? 2 : 1;
        }
        const std::string_view secret = text.substr(value + 1, std::min(valueEnd, text.size()) - value - 1);
        masked.append(text.substr(at, value + 1 - at)).append(Secret(secret));
        if (valueEnd < text.size()) {
            masked.push_back('"');
        }
        at = std::min(valueEnd + 1, text.size());
    }
    masked.append(text.substr(std::min(at, text.size())));
    return masked;
}

} // namespace LogMask
