#include "ClientSession.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

using TestSupport::WaitFor;
using namespace std::chrono_literals;

QString RunTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(timeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

ClientSession::ClientSession(const std::string& serviceBase, const QString& imUrl)
    : m_devTools(DevToolsClient::FreePort())
    , m_process(std::make_unique<QProcess>())
{
    const QString build = QStringLiteral(EXAMORA_APP_DIR "/");
    EXPECT_TRUE(QFile::copy(build + "Examora", m_app.File("Examora")));
    for (const char* shipped : {"skin", "resources", "libnim.so"}) {
        EXPECT_TRUE(QFile::link(build + shipped, m_app.File(shipped))) << shipped;
    }
    const QString base = QString::fromStdString(serviceBase);
    m_app.Write("OrvaLogConf.ini",
                QStringLiteral("[global]\ndefault_loglevel=6\nisUseProcessID=0\nenvIndex=0\n"
                               "[offcieDomain]\nlocal=%1\n[homePageUrl]\nlocal=%1\n"
                               "[tikuDomain]\nlocal=%1\n[imServer]\nlocal=%2\n")
                    .arg(base, imUrl)
                    .toUtf8());
    QDir().mkpath(m_home.File("runtime"));
    QFile::setPermissions(m_home.File("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

ClientSession::~ClientSession()
{
    if (Running()) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
}

void ClientSession::RemoveImLibrary()
{
    EXPECT_TRUE(QFile::remove(m_app.File("libnim.so")));
}

void ClientSession::SetHideOnClose()
{
    QDir().mkpath(m_home.File("config/Examora"));
    m_home.Write("config/Examora/registry.ini", "[SOFTWARE\\Orva\\Examora\\OrvaWinHide]\nWinHide=1\n");
}

QProcessEnvironment ClientSession::Environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", m_home.Path());
    environment.insert("XDG_CONFIG_HOME", m_home.File("config"));
    environment.insert("XDG_DATA_HOME", m_home.File("data"));
    environment.insert("XDG_CACHE_HOME", m_home.File("cache"));
    environment.insert("XDG_RUNTIME_DIR", m_home.File("runtime"));
    environment.insert("QTWEBENGINE_REMOTE_DEBUGGING", QStringLiteral("127.0.0.1:%1").arg(m_devTools.Port()));
    if (getuid() == 0) {
        environment.insert("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
    environment.insert("SDL_AUDIODRIVER", "disk");
    environment.insert("SDL_DISKAUDIOFILE", AudioFile());
    environment.remove("QT_QPA_PLATFORM");
    environment.insert(m_extraEnvironment);
    return environment;
}

void ClientSession::Start()
{
    m_process->setProcessEnvironment(Environment());
    m_process->start(m_app.File("Examora"), {});
    ASSERT_TRUE(m_process->waitForStarted(10000));
}

std::optional<int> ClientSession::StartAgainAndWait(int timeoutMs)
{
    QProcess second;
    second.setProcessEnvironment(Environment());
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    second.start(m_app.File("Examora"), {});
    if (!second.waitForFinished(timeoutMs)) {
        second.kill();
        second.waitForFinished();
        return std::nullopt;
    }
    return second.exitStatus() == QProcess::NormalExit ? std::optional<int>(second.exitCode()) : std::nullopt;
}

int ClientSession::WaitForExit(int timeoutMs)
{
    if (!WaitFor([&] { return !Running(); }, std::chrono::milliseconds(timeoutMs))) {
        return -1;
    }
    return m_process->exitStatus() == QProcess::NormalExit ? m_process->exitCode() : -1;
}

QStringList ClientSession::VisibleWindows(const QString& titlePattern)
{
    const QString pid = QString::number(m_process->processId());
    QStringList found;
    for (const QString& window : RunTool("xdotool", {"search", "--onlyvisible", "--name", titlePattern})
                                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (RunTool("xdotool", {"getwindowpid", window}) == pid) {
            found << window;
        }
    }
    return found;
}

QStringList ClientSession::Windows(const QString& title)
{
    return VisibleWindows(QLatin1Char('^') + title + QLatin1Char('$'));
}

QStringList ClientSession::WindowsOfSize(int width, int height)
{
    QStringList found;
    for (const QString& window : VisibleWindows(QStringLiteral(".*"))) {
        const QRect geometry = Geometry(window);
        if (geometry.width() == width && geometry.height() == height) {
            found << window;
        }
    }
    return found;
}

QRect ClientSession::Geometry(const QString& window)
{
    // "X=..", "Y=..", "WIDTH=..", "HEIGHT=.." lines.
    QRect rect;
    for (const QString& line :
         RunTool("xdotool", {"getwindowgeometry", "--shell", window}).split(QLatin1Char('\n'))) {
        const QString name = line.section(QLatin1Char('='), 0, 0);
        const int value = line.section(QLatin1Char('='), 1).toInt();
        if (name == QLatin1String("X")) {
            rect.moveLeft(value);
        } else if (name == QLatin1String("Y")) {
            rect.moveTop(value);
        } else if (name == QLatin1String("WIDTH")) {
            rect.setWidth(value);
        } else if (name == QLatin1String("HEIGHT")) {
            rect.setHeight(value);
        }
    }
    return rect;
}

void ClientSession::Click(int x, int y, int button)
{
    RunTool("xdotool", {"mousemove", QString::number(x), QString::number(y)});
    QThread::msleep(100);
    RunTool("xdotool", {"click", QString::number(button)});
    QThread::msleep(100);
}

void ClientSession::Type(const QString& text)
{
    RunTool("xdotool", {"type", "--delay", "20", text});
}

void ClientSession::Screenshot(const QString& name)
{
    QDir().mkpath(QStringLiteral(EXAMORA_GALLERY_DIR));
    RunTool("import", {"-window", "root", QStringLiteral(EXAMORA_GALLERY_DIR "/") + name + ".png"}, 20000);
}

bool ClientSession::SignInThroughTheLoginWindow(const QString& mobile, const QString& password)
{
    QStringList login;
    if (!WaitFor([&] { return !(login = Windows(QStringLiteral("用户登录"))).isEmpty(); }, 15s)) {
        return false;
    }
    // The layout's fields and button, from the window's top-left corner.
    const QRect window = Geometry(login.first());
    Click(window.x() + 200, window.y() + 145);
    Type(mobile);
    Click(window.x() + 200, window.y() + 199);
    Type(password);
    Click(window.x() + 200, window.y() + 295);
    return WaitFor([&] { return Windows(QStringLiteral("用户登录")).isEmpty(); }, 30s);
}

QString ClientSession::LogText() const
{
    return QString::fromUtf8(m_app.Read("Log/Servdesk.log"));
}
