#include "mainwnd/WkeWebkitUI.h"

#include "diag/Log.h"
#include "environment/Environment.h"
#include "mainwnd/PageBridge.h"
#include "mainwnd/WebEngineSetup.h"
#include "mainwnd/WebPage.h"

#include <QFileInfo>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

// Net error "aborted": a load that gave way to another one, which is no failure to show.
constexpr int kErrorAborted = -3;

const QString kErrorPageName = QStringLiteral("error.html");
const QString kAboutBlank = QStringLiteral("about:blank");

QString SchemeOf(const QString& address)
{
    const qsizetype colon = address.indexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return {};
    }
    for (qsizetype i = 0; i < colon; ++i) {
        const QChar c = address.at(i);
        const bool allowed = (c.unicode() < 0x80 && c.isLetter()) || c == QLatin1Char('+') ||
                             c == QLatin1Char('-') || c == QLatin1Char('.');
        if (!allowed) {
            return {};
        }
    }
    return address.left(colon).toLower();
}

// The error page and about:blank are never the current address.
bool IsRemembered(const QString& address)
{
    return !address.contains(kErrorPageName) && !address.contains(kAboutBlank);
}

bool IsWebAddress(const QString& address)
{
    const QString scheme = SchemeOf(address);
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

// A view on the client's own page and profile (the engine's default profile is never made).
QWebEngineView* MakeView()
{
    auto* page = new WebPage(ClientWebProfile());
    auto* view = new QWebEngineView(page);
    page->setParent(view);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    return view;
}

} // namespace

CWkeWebkitUI::CWkeWebkitUI()
    : CControlUI(MakeView())
    , m_page(static_cast<WebPage*>(View()->page()))
    , m_errorPageUrl(ErrorPageUrl())
{

    m_bridge = new PageBridge(PageBridge::View{[this] { return m_userId; }, [this] { return m_baseUrl; },
                                               [this](const QString& address) { LoadUrl(address); }},
                              m_page);
    auto* channel = new QWebChannel(m_page);
    channel->registerObject(QLatin1String(kBridgeObjectName), m_bridge);
    m_page->setWebChannel(channel);

    QObject::connect(m_page, &QWebEnginePage::urlChanged, Context(),
                     [this](const QUrl& url) { OnUrlChanged(url); });
    QObject::connect(
        m_page, &QWebEnginePage::loadingChanged, Context(), [this](const QWebEngineLoadingInfo& info) {
            if (m_closing) {
                return;
            }
            if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus) {
                const QString address = m_page->url().toString();
                if (IsRemembered(address)) {
                    m_goodUrl = address;
                    m_currentUrl = address;
                    m_failedUrl.clear();
                }
                return;
            }
            if (info.status() != QWebEngineLoadingInfo::LoadFailedStatus ||
                info.errorCode() == kErrorAborted ||
                info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain ||
                info.url().toString().contains(kErrorPageName)) {
                return;
            }
            LOG_WARN << "page load failed, code " << info.errorCode() << ":[" << info.url().toString() << "]";
            // The address that failed is no good address, whatever the engine reports of it.
            m_failedUrl = info.url().toString();
            m_currentUrl = m_goodUrl;
            ShowErrorPage();
        });
    QObject::connect(m_page, &QWebEnginePage::renderProcessTerminated, Context(),
                     [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
                         if (m_closing || status == QWebEnginePage::NormalTerminationStatus) {
                             return;
                         }
                         LOG_ERROR << "the page's render process ended, status " << static_cast<int>(status)
                                   << " code " << exitCode;
                         ShowErrorPage();
                     });
}

CWkeWebkitUI::~CWkeWebkitUI()
{
    m_closing = true;
}

CControlUI* CreateWkeWebkitUI()
{
    return new CWkeWebkitUI;
}

QWebEngineView* CWkeWebkitUI::View() const
{
    return static_cast<QWebEngineView*>(GetWidget());
}

void CWkeWebkitUI::SetAttribute(const QString& name, const QString& value)
{
    if (name == QLatin1String("homepage")) {
        Navigate(value);
    } else if (name == QLatin1String("url")) {
        LoadUrl(value);
        return;
    }
    CControlUI::SetAttribute(name, value);
}

CWkeWebkitUI::LoadKind CWkeWebkitUI::Classify(const QString& address)
{
    if (address.size() < 8) {
        return LoadKind::File;
    }
    if (IsWebAddress(address) || address == kAboutBlank) {
        return LoadKind::Url;
    }
    return LoadKind::File;
}

QString CWkeWebkitUI::ErrorPageUrl()
{
    return QUrl::fromLocalFile(GetExeDir() + QStringLiteral("resources/error/") + kErrorPageName).toString();
}

void CWkeWebkitUI::Navigate(const QString& address)
{
    m_homeUrl = address;
    LoadUrl(address);
}

void CWkeWebkitUI::LoadUrl(const QString& address)
{
    // A file is a path, unless it is written as a file: address already.
    const bool asWritten = Classify(address) == LoadKind::Url || SchemeOf(address) == QLatin1String("file");
    m_page->setUrl(asWritten ? QUrl(address) : QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath()));
}

void CWkeWebkitUI::GoHome()
{
    LoadUrl(m_homeUrl);
}

void CWkeWebkitUI::Reload()
{
    if (m_page->url().toString().contains(kErrorPageName)) {
        LoadUrl(RetryTarget());
        return;
    }
    m_page->triggerAction(QWebEnginePage::Reload);
}

void CWkeWebkitUI::RunScript(const QString& script)
{
    m_page->runJavaScript(script);
}

void CWkeWebkitUI::SetUserAgent(const QString& userAgent)
{
    m_page->profile()->setHttpUserAgent(userAgent);
}

void CWkeWebkitUI::SetNotifyWindow(const WindowHandle& window)
{
    m_bridge->SetNotifyWindow(window);
}

void CWkeWebkitUI::RefreshAudioState()
{
    m_bridge->RefreshPlaying();
}

void CWkeWebkitUI::OnUrlChanged(const QUrl& url)
{
    if (m_closing) {
        return;
    }
    const QString address = url.toString();
    // The error page asks for another try by changing its fragment ("#retry-N"): a local page may
    // not open a web address itself, and needs nothing more than that from the client.
    if (address.contains(kErrorPageName) && url.fragment().startsWith(QLatin1String("retry"))) {
        QTimer::singleShot(0, Context(), [this] { LoadUrl(RetryTarget()); });
        return;
    }
    if (IsRemembered(address) && address != m_failedUrl) {
        m_currentUrl = address;
    }
}

QString CWkeWebkitUI::RetryTarget() const
{
    return IsWebAddress(m_currentUrl) ? m_currentUrl : m_homeUrl;
}

void CWkeWebkitUI::ShowErrorPage()
{
    m_page->setUrl(QUrl(m_errorPageUrl));
}
