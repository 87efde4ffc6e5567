// examora-localservice: the exam service on this machine, for running the client without a
// network and for the tests. See --help.

#include "HttpService.h"
#include "ImServer.h"
#include "ServiceContext.h"
#include "environment/Environment.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr const char* kDemoMobile = "13800000000";
constexpr const char* kDemoPassword = "examora123";

int s_signalPipe[2] = {-1, -1};

void OnSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(s_signalPipe[1], &byte, 1);
}

// SIGINT and SIGTERM end the event loop, so the service shuts down in order.
void QuitOnSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, s_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(s_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

std::optional<ServiceOptions> ParseOptions(const QCoreApplication& app, QString* error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "The Examora exam service on this machine: sign-on API, question-bank pages, analytics, "
        "version check and installer download on one HTTP port, the IM service on another.");
    parser.addHelpOption();
    const QCommandLineOption httpPort("http-port", "HTTP port on 127.0.0.1 (0: any free port).", "N",
                                      "18080");
    const QCommandLineOption imPort("im-port", "IM (WebSocket) port on 127.0.0.1 (0: any free port).", "N",
                                    "18081");
    const QCommandLineOption db("db", "SQLite database file (created when missing).", "PATH");
    const QCommandLineOption version("update-version", "Version offered by the version check.", "VERSION");
    const QCommandLineOption file("update-file", "Installer served for download.", "PATH");
    const QCommandLineOption key(
        "update-key", "Ed25519 private key (PEM) that signs the installer; \"none\" serves no signature.",
        "PATH", QStringLiteral(EXAMORA_DEV_UPDATE_KEY));
    const QCommandLineOption smsLifetime("sms-lifetime", "Seconds an SMS code stays valid.", "S", "300");
    const QCommandLineOption smsInterval("sms-interval", "Shortest time between two codes to a number.", "S",
                                         "60");
    parser.addOptions({httpPort, imPort, db, version, file, key, smsLifetime, smsInterval});
    parser.process(app);

    ServiceOptions options;
    bool ok[4] = {};
    options.httpPort = parser.value(httpPort).toInt(&ok[0]);
    options.imPort = parser.value(imPort).toInt(&ok[1]);
    options.smsLifetimeSeconds = parser.value(smsLifetime).toLongLong(&ok[2]);
    options.smsIntervalSeconds = parser.value(smsInterval).toLongLong(&ok[3]);
    if (!ok[0] || !ok[1] || options.httpPort < 0 || options.httpPort > 65535 || options.imPort < 0 ||
        options.imPort > 65535) {
        *error = "the ports must be numbers from 0 to 65535";
        return std::nullopt;
    }
    if (!ok[2] || !ok[3] || options.smsLifetimeSeconds < 0 || options.smsIntervalSeconds < 0) {
        *error = "--sms-lifetime and --sms-interval take a number of seconds";
        return std::nullopt;
    }
    QString dbPath = parser.value(db);
    if (dbPath.isEmpty()) {
        const QString folder =
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Examora";
        QDir().mkpath(folder);
        dbPath = folder + "/localservice.db";
    }
    options.dbPath = dbPath.toStdString();
    options.updateVersion =
        parser.isSet(version) ? parser.value(version).toStdString() : GetProductVersionString();
    if (parser.isSet(file)) {
        if (!QFileInfo(parser.value(file)).isFile()) {
            *error = "the installer " + parser.value(file) + " is not a readable file";
            return std::nullopt;
        }
        options.updateFile = parser.value(file).toStdString();
    }
    if (parser.value(key) != QLatin1String("none")) {
        options.updateKey = parser.value(key).toStdString();
    }
    return options;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("examora-localservice");

    ServiceContext context;
    QString error;
    const auto options = ParseOptions(app, &error);
    if (!options) {
        std::fprintf(stderr, "examora-localservice: %s\n", qPrintable(error));
        return 2;
    }
    context.options = *options;
    const EnvironmentSettings keys = CompiledInEnvironmentSettings();
    context.signSecret = keys.signSecret;
    context.imAppKey = keys.imAppKey;

    if (const auto failure = context.store.Open(context.options.dbPath)) {
        std::fprintf(stderr, "examora-localservice: cannot open the database %s: %s\n",
                     context.options.dbPath.c_str(), failure->c_str());
        return 1;
    }
    if (!context.store.FindAccount(kDemoMobile)) {
        context.store.CreateAccount(kDemoMobile, kDemoPassword);
    }

    ImServer im([&context](const QString& appKey, const QString& account, const QString& token) {
        const auto found = context.store.FindAccountByImAccount(account.toStdString());
        if (appKey.toStdString() != context.imAppKey || !found || found->blocked) {
            return 403;
        }
        return context.store.IsImTokenValid(account.toStdString(), token.toStdString()) ? 200 : 302;
    });
    if (!im.Listen(static_cast<quint16>(context.options.imPort))) {
        std::fprintf(stderr, "examora-localservice: cannot listen on 127.0.0.1:%d (is the port taken?)\n",
                     context.options.imPort);
        return 1;
    }
    context.im = std::make_unique<ImChannel>(&im);

    HttpService http(context);
    if (const auto failure = http.Start(context.options.httpPort)) {
        std::fprintf(stderr, "examora-localservice: %s\n", failure->c_str());
        return 1;
    }
    QuitOnSignals(app);

    const std::string base = "http://127.0.0.1:" + std::to_string(http.Port()) + "/";
    context.console.Print("demo account: " + std::string(kDemoMobile) + " / " + kDemoPassword);
    context.console.Print("database: " + context.options.dbPath);
    context.console.Print("pages: " + base + "Simulation/Subjects/31   SMS codes: " + base + "admin");
    context.console.Print("version check: " + base + "client/version (offers " +
                          context.options.updateVersion + ")");
    context.console.Print("ready " + base + " " + im.Url().toStdString());

    const int result = QCoreApplication::exec();
    http.Stop();
    context.im.reset();
    return result;
}
