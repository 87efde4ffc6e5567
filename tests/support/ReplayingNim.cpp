// A stand-in for libnim.so that misbehaves on purpose: every login and logout result is reported
// again after the last one, as a buggy library or a replaying service would. The client's wrapper
// must deliver each result once and call nothing it has already released.

#include "nim_client.h"

#include <initializer_list>

extern "C" {

bool nim_client_init(const char*, const char*, const char*)
{
    return true;
}

void nim_client_login(const char*, const char*, const char*, const char*, nim_json_transport_cb_func cb,
                      const void* user_data)
{
    for (const char* result : {R"({"err_code":200,"login_step":1})", R"({"err_code":200,"login_step":2})",
                               R"({"err_code":200,"login_step":3})", R"({"err_code":200,"login_step":3})",
                               R"({"err_code":302,"login_step":3})", R"({"err_code":200,"login_step":2})"}) {
        cb(result, user_data);
    }
}

void nim_client_logout(int, const char*, nim_json_transport_cb_func cb, const void* user_data)
{
    cb(R"({"err_code":200})", user_data);
    cb(R"({"err_code":500})", user_data);
}

} // extern "C"
