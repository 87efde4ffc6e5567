#pragma once

#include <QWebEnginePage>

// The page of the client's web view: it never opens a second window, never shows a script's
// alert, confirmation or prompt, and allows every navigation of its own frame.
class WebPage final : public QWebEnginePage
{
public:
    explicit WebPage(QWebEngineProfile* profile, QObject* parent = nullptr);

    // New-window requests refused since the page was made (for tests and the log).
    [[nodiscard]] int RefusedWindows() const { return m_refusedWindows; }

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& message, const QString& defaultValue,
                          QString* result) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

private:
    int m_refusedWindows = 0;
};
