#include "HostileJson.h"

namespace HostileJson {

std::vector<Text> Texts()
{
    using namespace std::string_literals;
    const std::string document =
        R"({"status":200,"message":"ok","ticket":"t","data":{"appKey":"k","token":"x","account":"a"},)"
        R"("state":0,"stateInfo":"","resInfo":"","id":7,"err_code":200,"login_step":3,"msg_body":"m"})";
    std::vector<Text> texts = {
        {"1001 nested arrays", std::string(1001, '[') + std::string(1001, ']')},
        {"deep unclosed objects",
         [] {
             std::string text;
             for (int i = 0; i < 100000; ++i) {
                 text += R"({"a":)";
             }
             return text;
         }()},
        {"100000 nested arrays", std::string(100000, '[') + std::string(100000, ']')},
        {"nesting inside a member", R"({"status":200,"data":)" + std::string(5000, '[')},
        {"number beyond double", R"({"status":1e999999,"err_code":-1e999999})"},
        {"integer beyond 64 bits", R"({"status":123456789012345678901234567890,"id":-99999999999999999999})"},
        {"a million digits", R"({"status":)" + std::string(1000000, '9') + "}"},
        {"invalid UTF-8", "{\"message\":\"\xff\xfe\xc3(\",\"msg_body\":\"\xed\xa0\x80\"}"},
        {"lone surrogate escape", R"({"message":"\ud800","msg_body":"\udfff\u0000"})"},
        {"NUL bytes", "{\"status\":200,\0\"message\":\"x\"}"s},
        {"empty", ""},
        {"only spaces", "   \n\t"},
        {"top-level scalar", "42"},
        {"top-level string", R"("status")"},
        {"huge string", R"({"message":")" + std::string(4 << 20, 'x') + R"("})"},
        {"wrong types everywhere",
         R"({"status":[],"message":{},"ticket":1,"data":"x","state":{},"id":"7","err_code":"200",)"
         R"("login_step":null,"msg_body":[1],"msgs":{},"msg":3,"type":7})"},
    };
    for (std::size_t length = 0; length < document.size(); ++length) {
        texts.push_back({"truncated at " + std::to_string(length), document.substr(0, length)});
    }
    return texts;
}

} // namespace HostileJson
