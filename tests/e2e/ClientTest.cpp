// The real client from an application folder of its own, on the real local service, under the X
// display the test runs on: the page driven over DevTools, the windows with xdotool, a picture of
// the screen at each step (build/gallery/e2e-*.png).
#include "ClientSession.h"
#include "LocalServiceProcess.h"
#include "TestSupport.h"

#include "service/OrvaManager.h"
#include "service/ReplyReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QWebSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using TestSupport::TempFolder;
using TestSupport::WaitFor;
using namespace std::chrono_literals;

namespace {

const QString kDemoMobile = QStringLiteral("13800000000");
const QString kDemoPassword = QStringLiteral("examora123");
// The tip box's size and its "yes" button, from its layout.
constexpr int kTipWidth = 380;
constexpr int kTipHeight = 188;
const QPoint kTipYes(308, 148);

QByteArray Post(const std::string& address, const QByteArray& body)
{
    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(QString::fromStdString(address)));
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
    QNetworkReply* reply = network.post(request, body);
    reply->setParent(&network);
    WaitFor([&] { return reply->isFinished(); }, 10s);
    return reply->readAll();
}

class ClientTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under xvfb-run";
        ASSERT_TRUE(m_service.Start(m_data.File("service.db"))) << m_service.Output().toStdString();
        m_client = std::make_unique<ClientSession>(m_service.BaseUrl(), m_service.ImUrl());
    }

    [[nodiscard]] QString Base() const { return QString::fromStdString(m_service.BaseUrl()); }

    // Starts the client and waits for its home page.
    void StartOnTheHomePage()
    {
        m_client->Start();
        ASSERT_TRUE(m_client->WaitForPage([&](const QString& url) {
            return url == Base() + QStringLiteral("Simulation/Subjects/31");
        })) << m_client->PageUrl().toStdString();
        ASSERT_TRUE(WaitFor([&] { return !m_client->Windows(QStringLiteral("Examora")).isEmpty(); }, 10s));
    }

    // A subject's sign-in from the page: the login window, then the subject's papers.
    void SignInFromThePage()
    {
        m_client->Evaluate(QStringLiteral("orvaDoLogin(1, '初级会计实务')"));
        ASSERT_TRUE(m_client->SignInThroughTheLoginWindow(kDemoMobile, kDemoPassword));
        ASSERT_TRUE(m_client->WaitForPage([](const QString& url) {
            return url.contains(QLatin1String("Simulation/Exampaper/31?subId=1&")) &&
                   !url.contains(QLatin1String("userId=0"));
        })) << m_client->PageUrl().toStdString();
    }

    // Confirms the tip box on screen and expects the client to end with 0.
    void ConfirmTheTipAndExpectTheEnd(const QString& picture)
    {
        QStringList tip;
        ASSERT_TRUE(
            WaitFor([&] { return !(tip = m_client->WindowsOfSize(kTipWidth, kTipHeight)).isEmpty(); }, 20s));
        ClientSession::Screenshot(picture);
        const QRect box = ClientSession::Geometry(tip.first());
        ClientSession::Click(box.x() + kTipYes.x(), box.y() + kTipYes.y());
        EXPECT_EQ(m_client->WaitForExit(15000), 0);
    }

    TempFolder m_data;
    LocalServiceProcess m_service;
    std::unique_ptr<ClientSession> m_client;
};

TEST_F(ClientTest, SignInFromThePageThenSitAListeningPaperThenTheServiceSignsUsOut)
{
    StartOnTheHomePage();
    ClientSession::Screenshot(QStringLiteral("e2e-home"));
    EXPECT_EQ(
        m_client->Evaluate(QStringLiteral("document.querySelectorAll('[data-subject]').length")).toInt(), 4);

    SignInFromThePage();
    ClientSession::Screenshot(QStringLiteral("e2e-papers"));
    // Signed in, a subject opens at once, with no login window.
    m_client->Evaluate(QStringLiteral("orvaDoLogin(2, '经济法基础')"));
    ASSERT_TRUE(
        m_client->WaitForPage([](const QString& url) { return url.contains(QLatin1String("subId=2&")); }));
    EXPECT_TRUE(m_client->Windows(QStringLiteral("用户登录")).isEmpty());

    // The paper, and its listening question through the client's player.
    m_client->Evaluate(QStringLiteral("document.querySelector('[data-paper]').click()"));
    ASSERT_TRUE(m_client->WaitForPage(
        [](const QString& url) { return url.contains(QLatin1String("/Client/Exam/")); }));
    m_client->Evaluate(
        QStringLiteral("playAudio(location.origin + '/Simulation/media/listening-1.wav', true)"));
    ASSERT_TRUE(WaitFor([&] { return m_client->Evaluate(QStringLiteral("isPlayAudio()")).toBool(); }, 15s));
    ClientSession::Screenshot(QStringLiteral("e2e-exam-playing"));
    m_client->Evaluate(QStringLiteral("playAudio('', false)"));
    EXPECT_TRUE(WaitFor([&] { return !m_client->Evaluate(QStringLiteral("isPlayAudio()")).toBool(); }, 10s));
    EXPECT_GT(QFile(m_client->AudioFile()).size(), 0);

    // The service ends this session: the user is told, and the client ends.
    const QByteArray answer = Post(m_service.BaseUrl() + "admin/notice",
                                   "mobile=" + kDemoMobile.toUtf8() + "&res=logout&msg=" +
                                       QUrl::toPercentEncoding(QStringLiteral("您的账号已在管理端退出")));
    ASSERT_TRUE(answer.contains("\"notices\":1")) << answer.toStdString();
    ConfirmTheTipAndExpectTheEnd(QStringLiteral("e2e-logout-notice"));
    EXPECT_TRUE(m_client->LogText().contains(QStringLiteral("msgDecode[您的账号已在管理端退出]")));
}

TEST_F(ClientTest, AChangeOfUserSignsInAgainAndASignInElsewhereKicksThisClientOut)
{
    StartOnTheHomePage();
    SignInFromThePage();

    // The settings button's menu, now with the change of user.
    const QRect frame = ClientSession::Geometry(m_client->Windows(QStringLiteral("Examora")).first());
    ClientSession::Click(frame.right() + 1 - 143, frame.top() + 24);
    QStringList menu;
    ASSERT_TRUE(WaitFor([&] { return !(menu = m_client->WindowsOfSize(148, 154)).isEmpty(); }, 10s));
    ClientSession::Screenshot(QStringLiteral("e2e-change-menu"));
    const QRect menuFrame = ClientSession::Geometry(menu.first());
    ClientSession::Click(menuFrame.left() + 74, menuFrame.top() + 5 + 18);
    // The login window comes up over the home page; closing it leaves the user signed out.
    QStringList login;
    ASSERT_TRUE(
        WaitFor([&] { return !(login = m_client->Windows(QStringLiteral("用户登录"))).isEmpty(); }, 10s));
    EXPECT_TRUE(m_client->WaitForPage(
        [&](const QString& url) { return url.endsWith(QLatin1String("/Subjects/31")); }));
    const QRect loginFrame = ClientSession::Geometry(login.first());
    ClientSession::Click(loginFrame.left() + 400 - 24, loginFrame.top() + 23);
    ASSERT_TRUE(WaitFor([&] { return m_client->Windows(QStringLiteral("用户登录")).isEmpty(); }, 10s));
    SignInFromThePage();

    // The same account signs in on another machine: the sign-on API, then the IM service.
    const std::string body = COrvaManager::SignParamList(
        {"m=" + kDemoMobile.toStdString(), "p=" + kDemoPassword.toStdString(), "source=tpc"});
    const LoginReply elsewhere = ReplyReader::ReadLoginReply(
        200, Post(m_service.BaseUrl() + "pc/pc-lg", QByteArray::fromStdString(body)).toStdString());
    ASSERT_EQ(elsewhere.outcome, ReplyOutcome::Success);
    QWebSocket other;
    other.open(QUrl(m_service.ImUrl()));
    ASSERT_TRUE(WaitFor([&] { return other.state() == QAbstractSocket::ConnectedState; }));
    other.sendTextMessage(QJsonDocument(QJsonObject{{"type", "login"},
                                                    {"app_key", QString::fromStdString(elsewhere.appKey)},
                                                    {"account", QString::fromStdString(elsewhere.account)},
                                                    {"token", QString::fromStdString(elsewhere.token)}})
                              .toJson(QJsonDocument::Compact));
    ConfirmTheTipAndExpectTheEnd(QStringLiteral("e2e-kicked-out"));
    EXPECT_TRUE(m_client->LogText().contains(QStringLiteral("Nim 被踢.")));
}

TEST_F(ClientTest, TheErrorPageComesUpWithoutTheServiceAndGoesWhenItAnswers)
{
    // A client whose question bank is at an address where nothing answers yet.
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const int port = probe.serverPort();
    probe.close();
    ClientSession client(QStringLiteral("http://127.0.0.1:%1/").arg(port).toStdString(), m_service.ImUrl());
    client.Start();
    ASSERT_TRUE(
        client.WaitForPage([](const QString& url) { return url.contains(QLatin1String("error.html")); }));
    EXPECT_TRUE(client.Evaluate(QStringLiteral("document.body.innerText"))
                    .toString()
                    .contains(QStringLiteral("无法连接到考试服务")));
    ClientSession::Screenshot(QStringLiteral("e2e-error-page"));

    LocalServiceProcess late;
    ASSERT_TRUE(late.Start(m_data.File("late.db"), {"--http-port", QString::number(port)}))
        << late.Output().toStdString();
    EXPECT_TRUE(client.WaitForPage(
        [](const QString& url) { return url.endsWith(QLatin1String("/Simulation/Subjects/31")); }, 30000))
        << client.PageUrl().toStdString();
    EXPECT_EQ(client.Evaluate(QStringLiteral("document.querySelectorAll('[data-subject]').length")).toInt(),
              4);
}

TEST_F(ClientTest, CloseKeepsItInTheTrayASecondStartBringsItBackAndTheTrayMenuQuits)
{
    // A notification area on the test's display.
    QProcess tray;
    tray.start(QStringLiteral("trayer"), {"--edge", "top", "--align", "right", "--widthtype", "request",
                                          "--height", "32", "--SetDockType", "false"});
    ASSERT_TRUE(tray.waitForStarted(5000)) << "trayer is part of the test setup";
    QThread::msleep(500);

    m_client->SetHideOnClose();
    StartOnTheHomePage();
    const QString window = m_client->Windows(QStringLiteral("Examora")).first();
    const QRect frame = ClientSession::Geometry(window);
    // The title bar's close button.
    ClientSession::Click(frame.right() - 23, frame.top() + 24);
    ASSERT_TRUE(WaitFor([&] { return m_client->Windows(QStringLiteral("Examora")).isEmpty(); }, 10s));
    QThread::msleep(500);
    EXPECT_TRUE(m_client->Running());
    ClientSession::Screenshot(QStringLiteral("e2e-hidden-in-tray"));

    // A second start brings the hidden window back and leaves.
    EXPECT_EQ(m_client->StartAgainAndWait(20000), std::optional<int>(0));
    EXPECT_TRUE(WaitFor([&] { return !m_client->Windows(QStringLiteral("Examora")).isEmpty(); }, 10s));

    // Hidden again, the tray's menu ends it.
    ClientSession::Click(frame.right() - 23, frame.top() + 24);
    ASSERT_TRUE(WaitFor([&] { return m_client->Windows(QStringLiteral("Examora")).isEmpty(); }, 10s));
    const QString trayWindow =
        RunTool("xdotool", {"search", "--onlyvisible", "--class", "trayer"}).section(QLatin1Char('\n'), 0, 0);
    ASSERT_FALSE(trayWindow.isEmpty());
    const QRect area = ClientSession::Geometry(trayWindow);
    ClientSession::Click(area.left() + area.height() / 2, area.top() + area.height() / 2, 3);
    QStringList menu;
    ASSERT_TRUE(WaitFor([&] { return !(menu = m_client->WindowsOfSize(148, 118)).isEmpty(); }, 10s));
    ClientSession::Screenshot(QStringLiteral("e2e-tray-menu"));
    const QRect menuFrame = ClientSession::Geometry(menu.first());
    // The panel is at the top of the screen here: the menu opens below the icon, whole.
    EXPECT_GE(menuFrame.top(), area.top());
    EXPECT_LE(menuFrame.right(), 1399);
    ClientSession::Click(menuFrame.left() + 74, menuFrame.top() + 5 + 36 * 2 + 18);
    EXPECT_EQ(m_client->WaitForExit(15000), 0);
    tray.kill();
    tray.waitForFinished();
}

TEST_F(ClientTest, CookiesOutliveAQuitAndARestart)
{
    StartOnTheHomePage();
    m_client->Evaluate(QStringLiteral("document.cookie = 'remembered=yes; max-age=86400; path=/'"));
    const QRect frame = ClientSession::Geometry(m_client->Windows(QStringLiteral("Examora")).first());
    ClientSession::Click(frame.right() - 23, frame.top() + 24);
    ASSERT_EQ(m_client->WaitForExit(15000), 0);
    StartOnTheHomePage();
    EXPECT_TRUE(m_client->Evaluate(QStringLiteral("document.cookie"))
                    .toString()
                    .contains(QStringLiteral("remembered=yes")));
}

TEST_F(ClientTest, WithoutTheImLibraryTheClientRunsAndStillQuits)
{
    m_client->RemoveImLibrary();
    StartOnTheHomePage();
    const QRect frame = ClientSession::Geometry(m_client->Windows(QStringLiteral("Examora")).first());
    // The close button, without the hide-on-close preference: the IM logout never answers.
    ClientSession::Click(frame.right() - 23, frame.top() + 24);
    EXPECT_EQ(m_client->WaitForExit(10000), 0);
    EXPECT_TRUE(m_client->LogText().contains(QStringLiteral("the IM logout did not answer")));
}

// The crash reports in the client's dump folder, oldest first.
QStringList CrashReports(const ClientSession& client)
{
    return QDir(client.AppFile("dump")).entryList({"*.dmp"}, QDir::Files, QDir::Time | QDir::Reversed);
}

// The processes of this client's executable (a client restarted by the crash handler is no child
// of the test).
QStringList ClientProcesses(const ClientSession& client)
{
    return RunTool("pgrep", {"-f", "^" + client.AppFile("Examora")}).split('\n', Qt::SkipEmptyParts);
}

// Visible windows of any process with exactly that size.
QStringList AnyWindowsOfSize(int width, int height)
{
    QStringList found;
    for (const QString& window :
         RunTool("xdotool", {"search", "--onlyvisible", "--name", ".*"}).split('\n', Qt::SkipEmptyParts)) {
        const QRect geometry = ClientSession::Geometry(window);
        if (geometry.width() == width && geometry.height() == height) {
            found << window;
        }
    }
    return found;
}

TEST_F(ClientTest, AfterACrashTheClientComesBackAndSaysOnceWhereTheReportIs)
{
    m_client->SetEnv("EXAMORA_TEST_CRASH", "once");
    StartOnTheHomePage();
    EXPECT_EQ(m_client->WaitForExit(20000), -1) << "the client did not crash";
    ASSERT_TRUE(WaitFor([&] { return CrashReports(*m_client).size() == 1; }, 20s));
    const QString report = m_client->AppFile("dump/" + CrashReports(*m_client).first());

    // The new process says what happened, over its main window.
    QStringList tip;
    ASSERT_TRUE(WaitFor([&] { return !(tip = AnyWindowsOfSize(kTipWidth, kTipHeight)).isEmpty(); }, 30s));
    QThread::msleep(1500); // painted, with the page behind it
    ClientSession::Screenshot(QStringLiteral("e2e-crash-notice"));
    EXPECT_TRUE(m_client->LogText().contains("restarted after a crash; report:[" + report + "]"))
        << m_client->LogText().right(2000).toStdString();
    const QRect box = ClientSession::Geometry(tip.first());
    ClientSession::Click(box.x() + kTipYes.x(), box.y() + kTipYes.y());
    EXPECT_TRUE(WaitFor([&] { return AnyWindowsOfSize(kTipWidth, kTipHeight).isEmpty(); }, 10s));
    // It goes on as a client: once, no second crash, its main window there.
    QThread::sleep(2);
    EXPECT_EQ(CrashReports(*m_client).size(), 1);
    EXPECT_EQ(ClientProcesses(*m_client).size(), 1);
    EXPECT_FALSE(RunTool("xdotool", {"search", "--onlyvisible", "--name", "^Examora$"}).isEmpty());
    RunTool("pkill", {"-KILL", "-f", "^" + m_client->AppFile("Examora")});
}

TEST_F(ClientTest, AClientThatCrashesAtEveryStartStopsAfterTheThirdCrash)
{
    m_client->SetEnv("EXAMORA_TEST_CRASH", "always");
    m_client->Start();
    ASSERT_TRUE(WaitFor([&] { return CrashReports(*m_client).size() >= 3; }, 60s))
        << CrashReports(*m_client).join(' ').toStdString();
    // Nothing comes after the third crash: no process, no further report.
    EXPECT_TRUE(WaitFor([&] { return ClientProcesses(*m_client).isEmpty(); }, 20s));
    QThread::sleep(3);
    EXPECT_TRUE(ClientProcesses(*m_client).isEmpty());
    const QStringList reports = CrashReports(*m_client);
    ASSERT_EQ(reports.size(), 3) << reports.join(' ').toStdString();
    QFile last(m_client->AppFile("dump/" + reports.last()));
    ASSERT_TRUE(last.open(QIODevice::ReadOnly));
    EXPECT_TRUE(last.readAll().contains("restart: no, the third crash within a minute"));
    RunTool("pkill", {"-KILL", "-f", "^" + m_client->AppFile("Examora")});
}

TEST(ClientUpdate, AnInstalledClientUpdatesItselfAndComesBackWithTheUsersAccounts)
{
    ASSERT_FALSE(qEnvironmentVariableIsEmpty("DISPLAY")) << "run under xvfb-run";
    TempFolder home;
    const QString target = home.File("apps/Examora");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.Path());
    environment.insert("XDG_DATA_HOME", home.File("data"));
    environment.insert("XDG_CONFIG_HOME", home.File("config"));
    environment.insert("XDG_CACHE_HOME", home.File("cache"));
    environment.insert("XDG_RUNTIME_DIR", home.File("runtime"));
    environment.insert("TMPDIR", home.Path());
    environment.insert("QTWEBENGINE_REMOTE_DEBUGGING",
                       QStringLiteral("127.0.0.1:%1").arg(DevToolsClient::FreePort()));
    if (getuid() == 0) {
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    QDir().mkpath(home.File("runtime"));
    QFile::setPermissions(home.File("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    // The installed client, and a service that offers this build's installer as a newer version.
    QProcess install;
    install.setProcessEnvironment(environment);
    install.start(QStringLiteral(EXAMORA_INSTALLER), {"--", target, "--no-start"});
    ASSERT_TRUE(install.waitForFinished(60000) && install.exitCode() == 0);
    const QString before = QFileInfo(target).symLinkTarget();
    TempFolder data;
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString httpPort = QString::number(probe.serverPort());
    probe.close();
    auto offering = std::make_unique<LocalServiceProcess>();
    ASSERT_TRUE(
        offering->Start(data.File("service.db"), {"--http-port", httpPort, "--update-version", "9.0.0.0",
                                                  "--update-file", QStringLiteral(EXAMORA_INSTALLER)}))
        << offering->Output().toStdString();
    const QString base = QString::fromStdString(offering->BaseUrl());
    const QString im = offering->ImUrl();
    home.Write(
        "apps/Examora/OrvaLogConf.ini",
        QStringLiteral(
            "[global]\ndefault_loglevel=6\nenvIndex=0\n[offcieDomain]\nlocal=%1\n[homePageUrl]\n"
            "local=%1\n[tikuDomain]\nlocal=%1\n[imServer]\nlocal=%2\n[updateUrl]\nlocal=%1client/version\n")
            .arg(base, im)
            .toUtf8());
    const QByteArray accounts = "[Main]\nCurrentUser=User_0\n[User_0]\nUserName=13800000000\n";
    home.Write("apps/Examora/orva.ini", accounts);

    QProcess client;
    client.setProcessEnvironment(environment);
    client.start(target + "/Examora", {});
    QStringList update;
    ASSERT_TRUE(WaitFor(
        [&] {
            update = RunTool("xdotool", {"search", "--onlyvisible", "--name", "^Examora--升级$"})
                         .split('\n', Qt::SkipEmptyParts);
            return !update.isEmpty() || client.state() == QProcess::NotRunning;
        },
        20s));
    ClientSession::Screenshot(QStringLiteral("e2e-update-window"));
    // Downloaded, verified and started, the installer ends the old client.
    ASSERT_TRUE(WaitFor([&] { return client.state() == QProcess::NotRunning; }, 60s));
    EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(client.exitCode(), 0)
        << client.readAllStandardError().right(3000).toStdString()
        << RunTool("sh", {"-c", "cat " + target + "/dump/*.dmp | head -60"}).toStdString();
    // From now on the service offers nothing newer, so the new version stays.
    offering.reset();
    LocalServiceProcess plain;
    ASSERT_TRUE(plain.Start(data.File("service.db"), {"--http-port", httpPort}));

    // The new version comes up from the installed folder, the user's accounts intact.
    QStringList main;
    ASSERT_TRUE(WaitFor(
        [&] {
            main = RunTool("xdotool", {"search", "--onlyvisible", "--name", "^Examora$"})
                       .split('\n', Qt::SkipEmptyParts);
            return !main.isEmpty();
        },
        60s))
        << home.Read("apps/Examora/Log/Servdesk.log").right(3000).toStdString() << "\n-- earlier:\n"
        << home.Read("apps/Examora/Log/Servdesk.1.log").right(2000).toStdString();
    const QString pid = RunTool("xdotool", {"getwindowpid", main.first()});
    const QString after = QFileInfo(target).symLinkTarget();
    EXPECT_NE(after, before);
    EXPECT_EQ(QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget(), after + "/Examora");
    EXPECT_EQ(home.Read("apps/Examora/orva.ini"), accounts);
    EXPECT_TRUE(home.Exists("data/applications/examora.desktop"));
    ClientSession::Screenshot(QStringLiteral("e2e-updated"));
    ::kill(static_cast<pid_t>(pid.toLongLong()), SIGKILL);
}

TEST_F(ClientTest, AWebEngineThatCannotStartSaysSoAndEnds)
{
    m_client->SetEnv(QStringLiteral("QTWEBENGINE_PROCESS_PATH"),
                     QStringLiteral("/nonexistent/QtWebEngineProcess"));
    m_client->Start();
    QStringList box;
    ASSERT_TRUE(WaitFor([&] { return !(box = m_client->Windows(QStringLiteral("错误"))).isEmpty(); }, 20s));
    ClientSession::Screenshot(QStringLiteral("e2e-engine-missing"));
    RunTool("xdotool", {"windowactivate", "--sync", box.first()});
    RunTool("xdotool", {"key", "--window", box.first(), "Return"});
    EXPECT_EQ(m_client->WaitForExit(15000), 0);
    EXPECT_TRUE(m_client->Process().readAllStandardError().contains("the web engine cannot start"));
    const QString log = m_client->LogText();
    const QString line = log.mid(log.indexOf(QStringLiteral("the web engine cannot start")) - 80, 200);
    EXPECT_TRUE(line.contains(QStringLiteral("ERROR")) && line.contains(QStringLiteral("/nonexistent/")))
        << log.toStdString();
}

} // namespace
