#include "diag/LogFormatter.h"

#include <charconv>
#include <ctime>

namespace {

template <typename Integer>
void AppendNumber(std::string& out, Integer value)
{
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

void AppendTwoDigits(std::string& out, int value)
{
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

} // namespace

std::string_view LogFormatter::header()
{
    return "\r\n\r\n\t\t-------------------------Log Start-------------------------\r\n\r\n";
}

void LogFormatter::format(const LogRecord& record, std::string& out)
{
    using namespace std::chrono;
    const auto sinceEpoch = record.time.time_since_epoch();
    const std::int64_t second = duration_cast<seconds>(sinceEpoch).count();
    const auto millis = static_cast<int>(duration_cast<milliseconds>(sinceEpoch).count() - second * 1000);
    if (second != m_cachedSecond) {
        const auto t = static_cast<std::time_t>(second);
        std::tm local{};
        localtime_r(&t, &local);
        m_secondText.clear();
        AppendNumber(m_secondText, local.tm_year + 1900);
        m_secondText += '-';
        AppendTwoDigits(m_secondText, local.tm_mon + 1);
        m_secondText += '-';
        AppendTwoDigits(m_secondText, local.tm_mday);
        m_secondText += ' ';
        AppendTwoDigits(m_secondText, local.tm_hour);
        m_secondText += ':';
        AppendTwoDigits(m_secondText, local.tm_min);
        m_secondText += ':';
        AppendTwoDigits(m_secondText, local.tm_sec);
        m_cachedSecond = second;
    }
    out += m_secondText;
    out += '.';
    out.push_back(static_cast<char>('0' + millis / 100));
    AppendTwoDigits(out, millis % 100);

    out += "[ ";
    const std::string_view name = SeverityName(record.severity);
    out += name;
    out.append(5 - name.size(), ' ');
    out += "] [";
    AppendNumber(out, record.threadId);
    out += "] [";
    out += record.function;
    out += '@';
    AppendNumber(out, record.line);
    out += "] - ";
    out += record.message;
    out += "\r\n";
}

std::string LogFormatter::format(const LogRecord& record)
{
    std::string line;
    format(record, line);
    return line;
}
