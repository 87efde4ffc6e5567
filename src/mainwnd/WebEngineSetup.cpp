#include "mainwnd/WebEngineSetup.h"

#include "diag/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

#include <cstdio>

namespace {

// The five global functions of every page. Calls over the channel are asynchronous, so calls
// made before the channel is connected wait in a queue and go in order once it is; isPlayAudio
// answers at once from the bridge's "playing" property, which the channel keeps on the page side.
constexpr char kBridgeFunctions[] = R"JS(
(function () {
  "use strict";
  if (typeof qt === "undefined" || !qt.webChannelTransport || typeof QWebChannel !== "function") return;
  var bridge = null;
  var waiting = [];
  function call(name, args) {
    if (bridge) {
      try { bridge[name].apply(bridge, args); } catch (error) { }
    } else {
      waiting.push([name, args]);
    }
  }
  window.orvaDoLogin = function (subjectId, subjectName) { call("orvaDoLogin", [subjectId, subjectName]); };
  window.openHomePage = function () { call("openHomePage", []); };
  window.openUrl = function (address) { call("openUrl", [address]); };
  window.playAudio = function (file, play) { call("playAudio", [file, play]); };
  window.isPlayAudio = function () { return bridge !== null && bridge.playing === true; };
  new QWebChannel(qt.webChannelTransport, function (channel) {
    bridge = channel.objects["%1"] || null;
    var queued = waiting;
    waiting = [];
    queued.forEach(function (item) { call(item[0], item[1]); });
  });
})();
)JS";

QString XdgFolder(const char* variable, const QString& fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return QDir::isAbsolutePath(value) ? value : QDir::homePath() + fallback;
}

QString BridgeScriptSource()
{
    QFile channel(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    if (!channel.open(QIODevice::ReadOnly)) {
        LOG_ERROR << "the web channel's script is missing; pages get no bridge";
        return {};
    }
    return QString::fromUtf8(channel.readAll()) +
           QString::fromLatin1(kBridgeFunctions).arg(QLatin1String(kBridgeObjectName));
}

QWebEngineProfile* MakeProfile()
{
    auto* profile = new QWebEngineProfile(QStringLiteral("Examora"));
    profile->setPersistentStoragePath(XdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share")) +
                                      QStringLiteral("/Examora-web"));
    profile->setCachePath(XdgFolder("XDG_CACHE_HOME", QStringLiteral("/.cache")) +
                          QStringLiteral("/Examora"));
    profile->setHttpCacheType(QWebEngineProfile::DiskHttpCache);
    profile->setPersistentCookiesPolicy(QWebEngineProfile::AllowPersistentCookies);
    const QString source = BridgeScriptSource();
    if (!source.isEmpty()) {
        QWebEngineScript script;
        script.setName(QStringLiteral("examora-bridge"));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        script.setRunsOnSubFrames(false);
        script.setSourceCode(source);
        profile->scripts()->insert(script);
    }
    return profile;
}

// What the engine needs beside the library: its helper program and its resources.
QString MissingEnginePart()
{
    QString helper = qEnvironmentVariable("QTWEBENGINE_PROCESS_PATH");
    if (helper.isEmpty()) {
        helper =
            QLibraryInfo::path(QLibraryInfo::LibraryExecutablesPath) + QStringLiteral("/QtWebEngineProcess");
    }
    if (!QFileInfo(helper).isExecutable()) {
        return helper;
    }
    QString resources = qEnvironmentVariable("QTWEBENGINE_RESOURCES_PATH");
    if (resources.isEmpty()) {
        resources = QLibraryInfo::path(QLibraryInfo::DataPath) + QStringLiteral("/resources");
    }
    const QString pack = resources + QStringLiteral("/qtwebengine_resources.pak");
    return QFileInfo::exists(pack) ? QString() : pack;
}

} // namespace

namespace {

QWebEngineProfile* g_profile = nullptr;

} // namespace

QWebEngineProfile* ClientWebProfile()
{
    if (g_profile == nullptr) {
        g_profile = MakeProfile();
    }
    return g_profile;
}

void ReleaseClientWebProfile()
{
    delete g_profile;
    g_profile = nullptr;
}

bool InitWebEngine()
{
    const QString missing = MissingEnginePart();
    if (!missing.isEmpty()) {
        const QString text = QStringLiteral("网页引擎无法启动，缺少：%1").arg(missing);
        LOG_ERROR << "the web engine cannot start; missing:[" << missing << "]";
        std::fprintf(stderr, "Examora: the web engine cannot start; missing %s\n", qPrintable(missing));
        QMessageBox::critical(nullptr, QStringLiteral("错误"), text);
        return false;
    }
    // The profile, and with it the engine's own start, waits for the first page: the version
    // check holds the main thread before any window exists, and the engine must not be starting
    // meanwhile (it needs the main thread while it starts).
    return true;
}
