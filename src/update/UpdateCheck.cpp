#include "update/UpdateCheck.h"

#include "diag/Log.h"
#include "environment/Environment.h"
#include "service/HttpTransport.h"
#include "update/VersionCheck.h"

#include <QDir>
#include <QFileInfo>

namespace UpdateCheck {

std::atomic<bool> versionCheckBusy{true};
std::atomic<bool> showMainWindow{true};

namespace {

Target g_target;

bool IsBlank(char c)
{
    return c == ' ' || static_cast<unsigned char>(c) <= 0x1D;
}

std::string TrimBlanks(const std::string& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return text.substr(begin, end - begin);
}

} // namespace

void StartVersionCheck(const std::string& updateUrl)
{
    HttpRequest request(updateUrl, nullptr, 0,
                        [updateUrl](bool ret, int responseCode, const std::string& reply) {
                            OnPostVersionCallback(ret, responseCode, reply, updateUrl);
                        });
    request.AddHeader("Content-Type", "application/x-www-form-urlencoded");
    request.AddHeader("Methord", "get");
    request.AddHeader("charset", "utf-8");
    request.Post();
}

void OnPostVersionCallback(bool ret, int responseCode, const std::string& reply, const std::string& postUrl)
{
    LOG_VERB << "ret:[" << (ret ? 1 : 0) << "] response_code:[" << responseCode << "] reply:[" << reply
             << "] PostURL:[" << postUrl << "]";
    if (!ret || responseCode != 200 || reply.empty()) {
        versionCheckBusy = false;
        LOG_ERROR << "Get Version Information Failed.Result:[" << reply << "] PostURL:[" << postUrl << "]";
        return;
    }
    const std::size_t hash = reply.find('#');
    if (hash == std::string::npos) {
        versionCheckBusy = false;
        return;
    }
    const std::string serverVersion = reply.substr(0, hash);
    const std::string localVersion = GetProductVersionString();
    LOG_VERB << "localVersion:[" << localVersion << "] serverVersion:[" << serverVersion << "]";
    const int order = CompareVersion(localVersion, serverVersion);
    if (order == 0) {
        LOG_VERB << "the local version is latest.";
    } else if (order != -1) {
        LOG_VERB << "服务器版本低.";
    } else {
        LOG_VERB << "Need Update.";
        const QString folder = GetExeDir() + QStringLiteral("updatebox");
        if (!QFileInfo::exists(folder)) {
            QDir().mkpath(folder);
        }
        g_target.installerPath = folder.toStdString() + "/ExamoraUpdate.run";
        g_target.downloadUrl = TrimBlanks(reply.substr(hash + 1));
        showMainWindow = false;
    }
    versionCheckBusy = false;
}

Target RecordedTarget()
{
    return g_target;
}

void Reset()
{
    g_target = {};
    showMainWindow = true;
    versionCheckBusy = true;
}

} // namespace UpdateCheck
