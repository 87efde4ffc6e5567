#include "SignedForm.h"

#include "service/OrvaManager.h"

#include <algorithm>

std::optional<SignedForm> SignedForm::Parse(const std::string& body, const std::string& secret,
                                            std::string* error)
{
    std::vector<std::string> raw;
    std::size_t start = 0;
    while (start <= body.size()) {
        const std::size_t end = std::min(body.find('&', start), body.size());
        raw.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    if (!raw.empty() && raw.back().empty()) {
        raw.pop_back();
    }

    SignedForm form;
    std::string signature;
    std::vector<std::string> pieces; // "key=value" with the values as the client signed them
    for (const std::string& piece : raw) {
        const std::size_t equals = piece.find('=');
        if (equals == std::string::npos) {
            pieces.push_back(COrvaManager::UrlDecode(piece));
            continue;
        }
        const std::string key = piece.substr(0, equals);
        const std::string encoded = piece.substr(equals + 1);
        if (key == "signature") {
            if (!signature.empty()) {
                *error = "more than one signature";
                return std::nullopt;
            }
            signature = encoded;
            continue;
        }
        const std::string value = key == "params" ? encoded : COrvaManager::UrlDecode(encoded);
        pieces.push_back(key);
        pieces.back().append("=").append(value);
        form.m_values.emplace(key, value);
    }
    if (signature.empty()) {
        *error = "the request is not signed";
        return std::nullopt;
    }
    if (Signature(std::move(pieces), secret) != signature) {
        *error = "the signature does not match the request";
        return std::nullopt;
    }
    return form;
}

std::string SignedForm::Signature(std::vector<std::string> pieces, const std::string& secret)
{
    std::sort(pieces.begin(), pieces.end());
    std::string joined;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        joined += (i == 0 ? "" : "&") + pieces[i];
    }
    return COrvaManager::Md5Hex(joined + secret);
}

std::string SignedForm::Value(const std::string& key) const
{
    const auto found = m_values.find(key);
    return found == m_values.end() ? std::string() : found->second;
}
