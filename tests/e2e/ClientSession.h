#pragma once

#include "DevToolsClient.h"
#include "TestSupport.h"

#include <QJsonValue>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The real client as a user has it, for one end-to-end case: its own application folder (the
// build's executable, skin, resources and IM library) on the local service, a fresh home with its
// own XDG folders, the page reachable over the engine's DevTools port, audio into SDL's disk
// driver, and the windows on the X display the tests run on (xdotool).
class ClientSession
{
public:
    // serviceBase "http://127.0.0.1:N/" (the question bank and sign-on API), imUrl the IM service.
    ClientSession(const std::string& serviceBase, const QString& imUrl);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // An environment variable for the client's next starts.
    void SetEnv(const QString& name, const QString& value) { m_extraEnvironment.insert(name, value); }
    // Takes the IM library out of the application folder (before Start).
    void RemoveImLibrary();
    // The per-user registry file of this home.
    void SetHideOnClose();
    // Starts the client (a further start of the same user when one runs already).
    void Start();
    // Another start of the client in the same home; its exit code, or nothing when it does not end.
    std::optional<int> StartAgainAndWait(int timeoutMs);
    [[nodiscard]] QProcess& Process() { return *m_process; }
    [[nodiscard]] int DevToolsPort() const { return m_devTools.Port(); }
    [[nodiscard]] bool Running() const { return m_process->state() != QProcess::NotRunning; }
    // Waits for the client to end and gives its exit code (-1 when it did not end or crashed).
    int WaitForExit(int timeoutMs);

    // The page's address, or an empty text while DevTools shows no page.
    QString PageUrl() { return m_devTools.PageUrl(); }
    // Runs script in the page and gives its value (returned by value, promises awaited).
    QJsonValue Evaluate(const QString& expression) { return m_devTools.Evaluate(expression); }
    bool WaitForPage(const std::function<bool(const QString& url)>& accept, int timeoutMs = 30000)
    {
        return m_devTools.WaitForPage(accept, timeoutMs);
    }

    // The visible top-level windows of the client with that exact title (X window ids).
    QStringList Windows(const QString& title);
    // The visible windows of the client whose size is exactly that.
    QStringList WindowsOfSize(int width, int height);
    [[nodiscard]] static QRect Geometry(const QString& window);
    static void Click(int x, int y, int button = 1);
    static void Type(const QString& text);
    // Saves a picture of the whole screen under the build's gallery folder.
    static void Screenshot(const QString& name);

    // Fills and sends the login window that is on screen.
    bool SignInThroughTheLoginWindow(const QString& mobile, const QString& password);

    [[nodiscard]] QString AudioFile() const { return m_home.File("audio.raw"); }
    // A file of the client's application folder.
    [[nodiscard]] QString AppFile(const QString& name) const { return m_app.File(name); }
    [[nodiscard]] QString LogText() const;

private:
    QProcessEnvironment Environment() const;
    QStringList VisibleWindows(const QString& titlePattern);

    TestSupport::TempFolder m_app;
    TestSupport::TempFolder m_home;
    DevToolsClient m_devTools;
    std::unique_ptr<QProcess> m_process;
    QProcessEnvironment m_extraEnvironment;
};

// Runs a program and gives its standard output (empty when it fails).
QString RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 10000);
