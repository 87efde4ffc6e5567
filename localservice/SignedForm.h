#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

// A form body signed by the client: its pieces with their values decoded, accepted only when
// the "signature" piece is the keyed digest of the sorted pieces (the client's own algorithm:
// MD5 over the raw values joined with "&", followed by the secret). The value of "params" is
// taken as it stands, since the client sends it unencoded.
class SignedForm
{
public:
    // The form, or nullopt with the reason in *error.
    static std::optional<SignedForm> Parse(const std::string& body, const std::string& secret,
                                           std::string* error);

    // The client's signature over pieces ("key=value", raw values): sorted, joined with "&".
    [[nodiscard]] static std::string Signature(std::vector<std::string> pieces, const std::string& secret);

    // The value of a piece; empty when the form has none.
    [[nodiscard]] std::string Value(const std::string& key) const;
    [[nodiscard]] bool Has(const std::string& key) const { return m_values.count(key) != 0; }

private:
    std::map<std::string, std::string> m_values;
};
