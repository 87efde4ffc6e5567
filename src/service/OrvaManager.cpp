#include "service/OrvaManager.h"

#include "diag/Log.h"
#include "environment/Environment.h"
#include "platform/ShellOpen.h"

#include <QCryptographicHash>
#include <QUrl>

#include <algorithm>
#include <locale>
#include <sstream>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsUnreserved(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void AppendPercent(std::string& out, unsigned char c)
{
    out += '%';
    out += kHexDigits[c >> 4];
    out += kHexDigits[c & 0x0F];
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Join(const std::vector<std::string>& pieces)
{
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) {
            joined += '&';
        }
        joined += pieces[i];
    }
    return joined;
}

std::string Signature(const std::string& joined)
{
    return COrvaManager::Md5Hex(joined + GetEnvironmentSettings().signSecret);
}

// The pieces of a query text, empty ones kept but an empty last one dropped.
std::vector<std::string> SplitQuery(const std::string& text)
{
    std::vector<std::string> pieces;
    std::size_t start = 0;
    for (;;) {
        const auto amp = text.find('&', start);
        if (amp == std::string::npos) {
            if (start < text.size()) {
                pieces.push_back(text.substr(start));
            }
            return pieces;
        }
        pieces.push_back(text.substr(start, amp - start));
        start = amp + 1;
    }
}

// A query text as the signature sees it: a text with "&" is split, sorted and joined again; a text
// without one is taken whole.
struct QueryPieces
{
    bool split = false;
    std::vector<std::string> sorted;
    std::string joined;
};

QueryPieces ReadQuery(const std::string& text)
{
    if (text.find('&') == std::string::npos) {
        return {false, {}, text};
    }
    QueryPieces query{true, SplitQuery(text), {}};
    std::sort(query.sorted.begin(), query.sorted.end());
    query.joined = Join(query.sorted);
    return query;
}

// Key with its "=", then the value as encode says; a piece without "=" is all value.
template <typename EncodeValue>
std::string Body(const std::vector<std::string>& sortedPieces, const std::string& signature,
                 EncodeValue encode)
{
    std::string body;
    for (const auto& piece : sortedPieces) {
        const auto equals = piece.find('=');
        const std::string keyPart = equals == std::string::npos ? std::string() : piece.substr(0, equals + 1);
        const std::string value = equals == std::string::npos ? piece : piece.substr(equals + 1);
        body += keyPart;
        body += encode(keyPart, value);
        body += '&';
    }
    return body + "signature=" + signature;
}

} // namespace

std::string COrvaManager::SignParamList(const std::vector<std::string>& pieces)
{
    std::vector<std::string> sorted = pieces;
    std::sort(sorted.begin(), sorted.end());
    const std::string joined = Join(sorted);
    if (joined.empty()) {
        return {};
    }
    return Body(sorted, Signature(joined), [](const std::string& keyPart, const std::string& value) {
        return keyPart == "params=" ? value : UrlEncode(value);
    });
}

std::string COrvaManager::SignQueryString(const std::string& text)
{
    const QueryPieces query = ReadQuery(text);
    if (query.joined.empty()) {
        return {};
    }
    const std::string signature = Signature(query.joined);
    if (!query.split) {
        return text + "&signature=" + signature;
    }
    return Body(query.sorted, signature,
                [](const std::string&, const std::string& value) { return UrlEncode(value); });
}

std::string COrvaManager::MakeSignature(const std::string& text)
{
    const QueryPieces query = ReadQuery(text);
    return query.joined.empty() ? std::string() : Signature(query.joined);
}

std::string COrvaManager::Md5Hex(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Md5)
        .toHex()
        .toStdString();
}

std::string COrvaManager::UrlEncode(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += ch;
        } else if (c == ' ') {
            out += '+';
        } else {
            AppendPercent(out, c);
        }
    }
    return out;
}

std::string COrvaManager::UrlDecode(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < bytes.size() && HexValue(bytes[i + 1]) >= 0 &&
                   HexValue(bytes[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(bytes[i + 1]) * 16 + HexValue(bytes[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string COrvaManager::UrlEscape(const std::string& bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsUnreserved(c) || c == '-' || c == '.' || c == '_' || c == '%' || c == '/' || c == ':' ||
            c == '=' || c == '&') {
            out += ch;
        } else if (c == ' ') {
            out += "%20";
        } else {
            AppendPercent(out, c);
        }
    }
    return out;
}

bool COrvaManager::IsNumber(const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0;
    in >> value;
    if (in.fail()) {
        return false;
    }
    in >> std::ws;
    return in.eof();
}

bool COrvaManager::IsAlphaNumeric(const std::string& text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return IsUnreserved(static_cast<unsigned char>(c)); });
}

std::string COrvaManager::TrimSpaces(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

MessageField COrvaManager::GetStateMessage(int code, QString& message)
{
    switch (code) {
    case -1:
    case 306:
    case 400:
    case 700:
        return MessageField::Account;
    case 207:
    case 302:
        return MessageField::Code;
    case 201:
        message = QStringLiteral("您填写的手机号格式错误");
        return MessageField::Account;
    case 209:
        message = QStringLiteral("验证码错误");
        return MessageField::Code;
    case 301:
        message = QStringLiteral("账号不存在，请注册后重试！");
        return MessageField::Account;
    case 305:
        message = QStringLiteral("此手机号已经注册过了");
        return MessageField::Account;
    case 401:
        message = QStringLiteral("账号或密码输入错误！");
        return MessageField::General;
    case 402:
        message = QStringLiteral("账号不存在，请注册后重试");
        return MessageField::Account;
    case 416:
        message = QStringLiteral("发送验证码频率过高");
        return MessageField::Code;
    default:
        return MessageField::General;
    }
}

QString COrvaManager::TrimAddressEnd(const QString& address)
{
    qsizetype end = address.size();
    while (end > 0 && (address[end - 1] == QLatin1Char(' ') || address[end - 1].unicode() < 30)) {
        --end;
    }
    return address.left(end);
}

bool COrvaManager::IsWebAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

void COrvaManager::SafeOpenUrl(const QString& address, int /*showCommand*/)
{
    LOG_VERB << "url:[" << address << "]";
    const QString trimmed = TrimAddressEnd(address);
    LOG_VERB << "Open URL_TRIM:[" << trimmed << "]";
    // Pages ask for these addresses: a local file, a launcher or another scheme's handler could
    // run anything, so only web addresses go to the desktop.
    if (!IsWebAddress(trimmed)) {
        LOG_WARN << "refused to open a non-web address url:[" << trimmed << "]";
        return;
    }
    (void)ShellOpen::Open(trimmed, ShellOpen::Mode::OpenOnly);
}

void COrvaManager::OpenUrl(const QString& address, int /*showCommand*/)
{
    (void)ShellOpen::Open(TrimAddressEnd(address), ShellOpen::Mode::AllowExecute);
}
