#pragma once

#include "service/MessageField.h"

#include <QString>

#include <string>
#include <vector>

// Stateless operations shared by the account windows and the main window: request signing and
// the text encoders of the sign-on API, the server-message table, and opening addresses in the
// user's browser. Narrow texts are UTF-8 bytes.
class COrvaManager
{
public:
    // "k=v" pieces, sorted byte-wise as whole texts, signed with MD5 over "k=v&...&k=v" + secret;
    // the body has the values form-encoded (a "params" value goes as it is) and ends with
    // "signature=" and the digest. Empty when there is nothing to sign.
    [[nodiscard]] static std::string SignParamList(const std::vector<std::string>& pieces);
    // The same for a query text "k=v&k=v" (no "params" exception); a text without "&" is sent as
    // it stands, followed by "&signature=...".
    [[nodiscard]] static std::string SignQueryString(const std::string& text);
    // Only the 32-digit signature of a query text; empty when there is nothing to sign.
    [[nodiscard]] static std::string MakeSignature(const std::string& text);

    [[nodiscard]] static std::string Md5Hex(const std::string& bytes);
    // Form-value encoding: unreserved bytes copied, space as "+", the rest as %XX.
    [[nodiscard]] static std::string UrlEncode(const std::string& bytes);
    // "+" as space, %XX as its byte; a "%" without two hex digits after it stays as it is.
    [[nodiscard]] static std::string UrlDecode(const std::string& bytes);
    // Address escaping: keeps what an address needs ("/", ":", "=", "&", "%"), space as %20.
    [[nodiscard]] static std::string UrlEscape(const std::string& bytes);

    // One floating-point number with optional blanks around it, as the classic locale reads it.
    [[nodiscard]] static bool IsNumber(const std::string& text);
    // Only ASCII letters and digits (the empty text too).
    [[nodiscard]] static bool IsAlphaNumeric(const std::string& text);
    // Without leading and trailing spaces (0x20 only).
    [[nodiscard]] static std::string TrimSpaces(const std::string& text);

    // The text to show for a refused request's status or state code (the server's own text
    // unless the table replaces it) and the field it belongs to.
    static MessageField GetStateMessage(int code, QString& message);

    // Opens a web address in the user's default browser, logging what it opens. Pages ask for
    // these addresses: anything but an http or https address with a host is refused (WARN line).
    static void SafeOpenUrl(const QString& address, int showCommand);
    // Whether the address (blanks around it aside) is an http or https address with a host.
    [[nodiscard]] static bool IsWebAddress(const QString& address);
    // The same without log lines, and a local executable file is started (the installer).
    static void OpenUrl(const QString& address, int showCommand);

    // The address without trailing spaces and control characters below 0x1E.
    [[nodiscard]] static QString TrimAddressEnd(const QString& address);
};
