#pragma once

#include <string>
#include <vector>

// Signed request bodies worked out outside this code base (MD5 by `openssl md5` and by Python's
// hashlib over the sorted, joined raw pieces followed by the compiled-in signing secret), so that
// a wrong algorithm cannot pass both the client's signing and the service's check, which share
// no code but could share a misreading.
namespace SignedVectors {

struct Vector
{
    const char* name;
    std::vector<std::string> pieces; // as handed to SignParamList
    std::string body;                // what SignParamList must produce
};

inline const std::vector<Vector>& ParamLists()
{
    static const std::vector<Vector> vectors = {
        {"= sorts as a byte",
         {"b=2", "a=x y", "a1=z"},
         "a1=z&a=x+y&b=2&signature=f3f87cb6de309bce1ac2c4a41a3d3e79"},
        {"params unencoded",
         {"params={\"a\":1}", "mobile=13800000000"},
         "mobile=13800000000&params={\"a\":1}&signature=ed440e7cfc19aa5554129cf75c63c794"},
        {"UTF-8 value",
         {"source=tpc", "name=\xe5\xbc\xa0\xe4\xb8\x89"},
         "name=%E5%BC%A0%E4%B8%89&source=tpc&signature=8798d1a53df0f293de2c5db1a1960614"},
    };
    return vectors;
}

struct Query
{
    const char* name;
    std::string text; // as handed to SignQueryString
    std::string body;
};

inline const std::vector<Query>& QueryTexts()
{
    static const std::vector<Query> queries = {
        {"no &", "mobile=13800000000", "mobile=13800000000&signature=f023838432f5e2f6b189052994027706"},
        {"= in a value, & at the end", "ticket=T=1&source=tpc&",
         "source=tpc&ticket=T%3D1&signature=6035facfe94ad545cc0ae20b4780e39f"},
    };
    return queries;
}

} // namespace SignedVectors
