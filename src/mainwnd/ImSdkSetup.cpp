#include "mainwnd/ImSdkSetup.h"

#include "diag/Log.h"
#include "environment/Environment.h"
#include "im/SDKInstance.h"
#include "platform/JsonReader.h"
#include "service/HttpTransport.h"

#include <json/json.h>

namespace {

std::string ImConfiguration()
{
    const EnvironmentSettings& environment = GetEnvironmentSettings();
    Json::Value global(Json::objectValue);
    global["sdk_log_level"] = 5;
    global["preload_attach"] = true;
    global["preload_image_quality"] = -1;
    global["sync_session_ack"] = true;
    global["login_retry_max_times"] = 0;
    global["caching_markread_time"] = 1000;
    global["caching_markread_count"] = 10;
    global["db_encrypt_key"] = "";
    global["preload_image_resize"] = "";
    Json::Value config(Json::objectValue);
    config["app_key"] = environment.imAppKey;
    config["server_address"] = environment.imServer;
    config["global_config"] = global;
    return JsonReader::Compact(config);
}

} // namespace

bool InitImSdk()
{
    if (!InitHttpTransport()) {
        LOG_ERROR << "the HTTP transport did not start";
    }
    if (!nim::SDKInstance::Get().Init(std::string(), "Examora", ImConfiguration())) {
        LOG_ERROR << "the IM library did not start; the client runs without the IM channel";
        return false;
    }
    return true;
}
