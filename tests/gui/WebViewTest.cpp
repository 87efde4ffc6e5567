// The web view control and its page bridge on the real Qt WebEngine, offscreen, with pages from a
// loopback server.
#include "GuiTestSupport.h"
#include "LoopbackHttpServer.h"
#include "TestSupport.h"

#include "audio/AudioPlayer.h"
#include "mainwnd/PageBridge.h"
#include "mainwnd/WebPage.h"
#include "mainwnd/WkeWebkitUI.h"
#include "messages/PageRequest.h"
#include "messages/WindowMessages.h"
#include "ui/ControlFactory.h"

#include <QFile>
#include <QWebEnginePage>
#include <QtEndian>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>

using namespace GuiTestSupport;
using TestSupport::TempFolder;
using TestSupport::WaitFor;
using namespace std::chrono_literals;

namespace {

const std::string kPage =
    "<!DOCTYPE html><html><head><meta charset=utf-8><title>good</title></head>"
    "<body><p id=text>good page</p><a id=away target=_blank href=/page>away</a></body></html>";
// Calls the bridge from its first script, before the channel can be connected.
const std::string kEarlyPage = "<!DOCTYPE html><html><head><meta charset=utf-8><script>orvaDoLogin(3, "
                               "\"early\");</script></head><body>early</body></html>";

// One second of a tone as a 16-bit mono WAV file.
QByteArray Tone()
{
    constexpr int kRate = 16000;
    QByteArray samples;
    for (int i = 0; i < kRate; ++i) {
        const auto value = qToLittleEndian(static_cast<qint16>(8000 * std::sin(i * 0.1)));
        samples.append(reinterpret_cast<const char*>(&value), 2);
    }
    const auto u32 = [](quint32 value) {
        const auto little = qToLittleEndian(value);
        return QByteArray(reinterpret_cast<const char*>(&little), 4);
    };
    const auto u16 = [](quint16 value) {
        const auto little = qToLittleEndian(value);
        return QByteArray(reinterpret_cast<const char*>(&little), 2);
    };
    return "RIFF" + u32(static_cast<quint32>(36 + samples.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(kRate) + u32(kRate * 2) + u16(2) + u16(16) + "data" +
           u32(static_cast<quint32>(samples.size())) + samples;
}

class WebViewTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_home = new TempFolder;
        // The profile keeps its files below the user's data and cache folders: the test's own.
        qputenv("XDG_DATA_HOME", s_home->File("data").toUtf8());
        qputenv("XDG_CACHE_HOME", s_home->File("cache").toUtf8());
        qputenv("SDL_AUDIODRIVER", "disk");
        qputenv("SDL_DISKAUDIOFILE", s_home->File("audio.raw").toUtf8());
        s_home->Write("tone.wav", Tone());
        CControlFactory::GetInstance()->RegistControl(QStringLiteral("CWkeWebkitUI"), &CreateWkeWebkitUI);
        s_server = new LoopbackHttpServer([](const LoopbackHttpServer::Request& request) {
            LoopbackHttpServer::Response response;
            response.contentType = "text/html; charset=utf-8";
            if (request.target.starts_with("/flaky") && !s_serverAnswers) {
                response.drop = true;
            } else if (request.target.starts_with("/early")) {
                response.body = kEarlyPage;
            } else {
                response.body = kPage;
            }
            return response;
        });
    }
    static void TearDownTestSuite()
    {
        CAudioPlayer::GetInstance().Stop();
        delete s_server;
        delete s_home;
    }

    WebViewTest()
    {
        m_window.onMessage = [this](WindowMessage& message) {
            if (auto request = TakeRecord<WM_USER_LOGIN>(message)) {
                logins.push_back(*request);
            } else if (auto link = TakeRecord<WM_USER_OPEN_URL>(message)) {
                links.push_back(*link);
            }
        };
        m_window.Create(WindowHandle(), QStringLiteral("web"), 0, 0);
        m_window.ShowWindow(true, false);
        m_web = m_window.FindControl<CWkeWebkitUI>(QStringLiteral("web"));
        m_web->SetNotifyWindow(m_window.GetHWND());
        m_web->SetBaseUrl(QString::fromStdString(s_server->Url("")));
    }
    ~WebViewTest() override { m_window.Close(0); }

    QString PageUrl() const { return m_web->Page()->url().toString(); }

    // Loads an address and waits until the page has finished loading it.
    void Load(const QString& address)
    {
        bool done = false;
        const auto connection =
            QObject::connect(m_web->Page(), &QWebEnginePage::loadFinished, [&](bool) { done = true; });
        m_web->LoadUrl(address);
        EXPECT_TRUE(WaitFor([&] { return done; }, 20s)) << address.toStdString();
        QObject::disconnect(connection);
    }

    // Runs script in the page and returns its value.
    QVariant Run(const QString& script)
    {
        bool done = false;
        QVariant result;
        m_web->Page()->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
        });
        EXPECT_TRUE(WaitFor([&] { return done; }, 10s)) << script.toStdString();
        return result;
    }

    static TempFolder* s_home;
    static LoopbackHttpServer* s_server;
    static std::atomic<bool> s_serverAnswers;
    RecordingWindow m_window{TestLayout(QStringLiteral("WebView.xml"))};
    CWkeWebkitUI* m_web = nullptr;
    std::vector<PageRequest> logins;
    std::vector<PageRequest> links;
};

TempFolder* WebViewTest::s_home = nullptr;
LoopbackHttpServer* WebViewTest::s_server = nullptr;
std::atomic<bool> WebViewTest::s_serverAnswers{true};

TEST(WebViewAddresses, WebAddressesLoadAsUrlsAndEverythingElseAsFiles)
{
    using Kind = CWkeWebkitUI::LoadKind;
    const struct
    {
        const char* address;
        Kind kind;
    } rows[] = {
        {"http://a", Kind::Url},
        {"https://tiku.example/x", Kind::Url},
        {"HTTPS://TIKU.EXAMPLE/", Kind::Url},
        {"about:blank", Kind::Url},
        {"http:/a", Kind::File},
        {"www.example.com", Kind::File},
        {"file:///tmp/page.html", Kind::File},
        {"ftp://host/file.txt", Kind::File},
        {"javascript:alert(1)", Kind::File},
        {"data:text/html,<b>x</b>", Kind::File},
        {"about:blank#x", Kind::File},
        {"", Kind::File},
        {"h ttp://spaced.example/", Kind::File},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(CWkeWebkitUI::Classify(QString::fromUtf8(row.address)), row.kind) << row.address;
    }
}

TEST_F(WebViewTest, PagesGetTheFiveBridgeFunctionsAndTheirArgumentsAreChecked)
{
    Load(QString::fromStdString(s_server->Url("page")));
    EXPECT_EQ(Run(QStringLiteral("['orvaDoLogin','openHomePage','openUrl','playAudio','isPlayAudio']"
                                 ".every(n => typeof window[n] === 'function')"))
                  .toBool(),
              true);
    // Wrong types do nothing; the right ones post their request once each, in order.
    Run(QStringLiteral(
        "orvaDoLogin('7', '会计'); orvaDoLogin(7, 8); orvaDoLogin(); orvaDoLogin(1e12, 'x');"
        "openUrl(5); openUrl(); playAudio('x', 1); playAudio(1, true);"
        "orvaDoLogin(7.9, '会计 一'); openUrl('https://www.orva.example/a?b=c'); openHomePage();"));
    ASSERT_TRUE(WaitFor([&] { return !logins.empty() && !links.empty(); }));
    ASSERT_TRUE(WaitFor([&] {
        return std::find(m_window.messages.begin(), m_window.messages.end(), WM_USER_OPEN_HOMEPAGE) !=
               m_window.messages.end();
    }));
    ASSERT_EQ(logins.size(), 1U);
    EXPECT_EQ(logins[0].subjectId, 7);
    EXPECT_EQ(logins[0].subjectName, "会计 一");
    ASSERT_EQ(links.size(), 1U);
    EXPECT_EQ(links[0].pageUrl, "https://www.orva.example/a?b=c");
    EXPECT_EQ(Run(QStringLiteral("typeof isPlayAudio()")).toString(), QStringLiteral("boolean"));
    EXPECT_FALSE(CAudioPlayer::GetInstance().IsPlaying());
}

TEST_F(WebViewTest, ASignedInUserGoesStraightToThePaperWithTheNameAsItIs)
{
    Load(QString::fromStdString(s_server->Url("page")));
    m_web->SetUserId(42);
    Run(QStringLiteral("orvaDoLogin(7, '会计 基础')"));
    ASSERT_TRUE(WaitFor([&] { return PageUrl().contains(QLatin1String("Exampaper")); }));
    const QString expected = QString::fromStdString(s_server->Url("")) +
                             QStringLiteral("Simulation/Exampaper/31?subId=7&subName=会计 基础&userId=42");
    EXPECT_EQ(PageBridge::ExamPaperUrl(m_web->GetBaseUrl(), 7, QStringLiteral("会计 基础"), 42), expected);
    EXPECT_EQ(QUrl(PageUrl()).query(QUrl::FullyDecoded),
              QStringLiteral("subId=7&subName=会计 基础&userId=42"));
    EXPECT_TRUE(logins.empty());
}

TEST_F(WebViewTest, CallsFromThePagesFirstScriptWaitForTheChannel)
{
    Load(QString::fromStdString(s_server->Url("early")));
    ASSERT_TRUE(WaitFor([&] { return !logins.empty(); }));
    EXPECT_EQ(logins[0].subjectId, 3);
    EXPECT_EQ(logins[0].subjectName, "early");
}

TEST_F(WebViewTest, NoSecondWindowNoAlertAndNoScriptFromAnAddress)
{
    Load(QString::fromStdString(s_server->Url("page")));
    // Each of these would block or open a window if it were shown.
    EXPECT_EQ(Run(QStringLiteral("window.open('/page'); alert('x'); [confirm('y'), prompt('z')]")).toList(),
              (QVariantList{false, QVariant()}));
    Run(QStringLiteral("document.getElementById('away').click()"));
    EXPECT_TRUE(WaitFor([&] { return m_web->Page()->RefusedWindows() == 2; }));
    EXPECT_EQ(PageUrl(), QString::fromStdString(s_server->Url("page")));
    // An address in the javascript: scheme is a file name here, never script.
    Load(QStringLiteral("javascript:document.title='taken'"));
    EXPECT_NE(m_web->Page()->title(), QStringLiteral("taken"));
}

TEST_F(WebViewTest, AFailedLoadShowsTheErrorPageWhichRetriesUntilThePageAnswers)
{
    const QString good = QString::fromStdString(s_server->Url("page"));
    Load(good);
    EXPECT_EQ(m_web->GetCurrentUrl(), good);

    // A server that hangs up: the error page, and the last good address stays the current one.
    s_serverAnswers = false;
    const QString flaky = QString::fromStdString(s_server->Url("flaky"));
    m_web->Navigate(flaky);
    ASSERT_TRUE(WaitFor([&] { return PageUrl().contains(QLatin1String("error.html")); }, 20s));
    EXPECT_EQ(m_web->GetCurrentUrl(), good);
    ASSERT_TRUE(WaitFor([&] {
        return Run(QStringLiteral("document.body.innerText"))
            .toString()
            .contains(QStringLiteral("无法连接到考试服务"));
    }));

    // Its button goes back to the last good address...
    Run(QStringLiteral("document.getElementById('retry').click()"));
    ASSERT_TRUE(WaitFor([&] { return PageUrl() == good && !m_web->Page()->isLoading(); }, 20s));
    EXPECT_EQ(Run(QStringLiteral("document.title")).toString(), QStringLiteral("good"));

    // ...and with nothing good before (the home page failed at start), it tries the home page
    // again by itself until the server answers.
    RecordingWindow fresh{TestLayout(QStringLiteral("WebView.xml"))};
    fresh.Create(WindowHandle(), QStringLiteral("fresh"), 0, 0);
    fresh.ShowWindow(true, false);
    auto* web = fresh.FindControl<CWkeWebkitUI>(QStringLiteral("web"));
    web->Navigate(flaky);
    ASSERT_TRUE(
        WaitFor([&] { return web->Page()->url().toString().contains(QLatin1String("error.html")); }, 20s));
    EXPECT_TRUE(web->GetCurrentUrl().isEmpty());
    s_serverAnswers = true;
    EXPECT_TRUE(WaitFor([&] { return web->GetCurrentUrl() == flaky; }, 20s));
    EXPECT_EQ(web->Page()->url().toString(), flaky);
    fresh.Close(0);
}

TEST_F(WebViewTest, PlayAudioDrivesThePlayerAndIsPlayAudioAnswersAtOnce)
{
    Load(QString::fromStdString(s_server->Url("page")));
    const QString tone = s_home->File("tone.wav");
    Run(QStringLiteral("playAudio('%1', true)").arg(tone));
    ASSERT_TRUE(WaitFor([&] { return Run(QStringLiteral("isPlayAudio()")).toBool(); }));
    EXPECT_TRUE(CAudioPlayer::GetInstance().IsPlaying());
    Run(QStringLiteral("playAudio('', false)"));
    ASSERT_TRUE(WaitFor([&] { return !Run(QStringLiteral("isPlayAudio()")).toBool(); }));
    EXPECT_FALSE(CAudioPlayer::GetInstance().IsPlaying());
    // Playing on to the end: the page hears that too.
    Run(QStringLiteral("playAudio('%1', true)").arg(tone));
    ASSERT_TRUE(WaitFor([&] { return Run(QStringLiteral("isPlayAudio()")).toBool(); }));
    EXPECT_TRUE(WaitFor([&] { return !Run(QStringLiteral("isPlayAudio()")).toBool(); }, 20s));
    EXPECT_GT(QFile(s_home->File("audio.raw")).size(), 0);
}

} // namespace
