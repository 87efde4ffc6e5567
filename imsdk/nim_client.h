#pragma once

// The C interface of libnim.so, Examora's IM client library. Every callback runs on the library's
// own thread. Results are JSON texts:
//   login and automatic re-login: {"err_code", "login_step" (1 link, 2 login sent, 3 result),
//                                  "relogin", "retrying"}; 200 at step 3 is success, 302 a bad
//                                  token, 403 a refused account, 408 no connection,
//                                  1000 cancelled by a logout or another login
//   kick-out: {"client_type", "reason_code"}     disconnect and logout: {"err_code"}
//   received message: the message {"msg_body", "client_msg_id", "from_account", "time"};
//   received batch: an array of messages.

#define NIM_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*nim_json_transport_cb_func)(const char* json_params, const void* user_data);
typedef void (*nim_talk_receive_cb_func)(const char* content, const char* json_extension,
                                         const void* user_data);

// json_extension: {"app_key": "...", "server_address": "ws://host:port/", "global_config": {...}}.
// True when the configuration is usable; the library then runs its thread.
NIM_API bool nim_client_init(const char* app_data_dir, const char* app_install_dir,
                             const char* json_extension);
NIM_API void nim_client_login(const char* app_key, const char* account, const char* token,
                              const char* json_extension, nim_json_transport_cb_func cb,
                              const void* user_data);
// logout_type: 1 change of account, 3 application exit.
NIM_API void nim_client_logout(int logout_type, const char* json_extension, nim_json_transport_cb_func cb,
                               const void* user_data);
NIM_API void nim_client_reg_disconnect_cb(const char* json_extension, nim_json_transport_cb_func cb,
                                          const void* user_data);
NIM_API void nim_client_reg_kickout_cb(const char* json_extension, nim_json_transport_cb_func cb,
                                       const void* user_data);
NIM_API void nim_client_reg_auto_relogin_cb(const char* json_extension, nim_json_transport_cb_func cb,
                                            const void* user_data);
NIM_API void nim_talk_reg_receive_cb(const char* json_extension, nim_talk_receive_cb_func cb,
                                     const void* user_data);
NIM_API void nim_talk_reg_receive_msgs_cb(const char* json_extension, nim_talk_receive_cb_func cb,
                                          const void* user_data);
// A new unique id; release it with nim_global_free_buf.
NIM_API char* nim_tool_get_uuid(void);
NIM_API void nim_global_free_buf(void* data);

#ifdef __cplusplus
}
#endif
