#pragma once

#include "ui/ControlUI.h"
#include "ui/WindowHandle.h"

#include <QString>

#include <cstdint>

class PageBridge;
class QWebEngineView;
class WebPage;

// The client's web view as a toolkit control ("CWkeWebkitUI" in a layout): a Qt WebEngine view on
// the client's profile with the page bridge on its web channel. It loads addresses by the client's
// scheme rule, remembers the last good main-frame address, and shows the local error page (which
// retries by itself) when a page cannot be loaded.
class CWkeWebkitUI final : public CControlUI
{
public:
    enum class LoadKind
    {
        File,
        Url
    };

    CWkeWebkitUI();
    ~CWkeWebkitUI() override;

    [[nodiscard]] QString GetClass() const override { return QStringLiteral("CWkeWebkitUI"); }
    // "homepage" navigates, "url" loads; every attribute also goes to the base control.
    void SetAttribute(const QString& name, const QString& value) override;

    // Makes address the home address and loads it.
    void Navigate(const QString& address);
    void LoadUrl(const QString& address);
    void GoHome();
    // Reloads the page; on the error page, tries the address that failed again.
    void Reload();
    void RunScript(const QString& script);
    void SetUserAgent(const QString& userAgent);
    // The last main-frame address that was neither the error page nor about:blank.
    [[nodiscard]] QString GetCurrentUrl() const { return m_currentUrl; }
    [[nodiscard]] QString GetHomeUrl() const { return m_homeUrl; }
    void SetBaseUrl(const QString& address) { m_baseUrl = address; }
    [[nodiscard]] QString GetBaseUrl() const { return m_baseUrl; }
    void SetUserId(std::int64_t userId) { m_userId = userId; }
    [[nodiscard]] std::int64_t GetUserId() const { return m_userId; }
    void SetNotifyWindow(const WindowHandle& window);
    // Tells the page what the audio player does now (after the client stopped it).
    void RefreshAudioState();

    [[nodiscard]] QWebEngineView* View() const;
    [[nodiscard]] WebPage* Page() const { return m_page; }
    [[nodiscard]] PageBridge* Bridge() const { return m_bridge; }

    // The scheme rule: fewer than 8 units, or a scheme other than http and https (compared in
    // lower case), is a file; about:blank and http(s) addresses are URLs.
    [[nodiscard]] static LoadKind Classify(const QString& address);
    // The error page's address beside the executable.
    [[nodiscard]] static QString ErrorPageUrl();

private:
    void OnUrlChanged(const QUrl& url);
    void ShowErrorPage();
    // Where the error page's retry goes: the last good address, else the home address.
    [[nodiscard]] QString RetryTarget() const;

    WebPage* m_page = nullptr;
    PageBridge* m_bridge = nullptr;
    QString m_homeUrl;
    QString m_currentUrl;
    // The address of the last load that succeeded, and of the last that failed (the engine may
    // report it as the page's address after the failure).
    QString m_goodUrl;
    QString m_failedUrl;
    QString m_errorPageUrl;
    QString m_baseUrl;
    std::int64_t m_userId = 0;
    bool m_closing = false;
};

// The factory's creation function for "CWkeWebkitUI".
CControlUI* CreateWkeWebkitUI();
