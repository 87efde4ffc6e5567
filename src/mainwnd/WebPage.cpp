#include "mainwnd/WebPage.h"

#include "diag/Log.h"

WebPage::WebPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent)
{
}

QWebEnginePage* WebPage::createWindow(WebWindowType)
{
    ++m_refusedWindows;
    LOG_DEBUG << "a page asked for a new window; refused";
    return nullptr;
}

void WebPage::javaScriptAlert(const QUrl&, const QString&)
{
}

bool WebPage::javaScriptConfirm(const QUrl&, const QString&)
{
    return false;
}

bool WebPage::javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*)
{
    return false;
}

bool WebPage::acceptNavigationRequest(const QUrl&, NavigationType, bool)
{
    return true;
}
