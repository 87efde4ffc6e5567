#include "CapturingSink.h"
#include "TestSupport.h"
#include "diag/Log.h"
#include "service/OrvaManager.h"

#include <gtest/gtest.h>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

class OpenUrl : public testing::Test
{
protected:
    OpenUrl()
    {
        TestSupport::WriteScript(
            m_bin.File("xdg-open"),
            QStringLiteral("printf '[%s]\\n' \"$1\" >> '%1'\n").arg(m_bin.File("opened")).toUtf8());
        Log::Install(m_sink, 6);
    }
    ~OpenUrl() override { Log::Install(m_sink, 0); }

    QByteArray Opened()
    {
        EXPECT_TRUE(TestSupport::WaitFor([&] { return m_bin.Read("opened").endsWith('\n'); }));
        return m_bin.Read("opened");
    }

    TempFolder m_bin;
    ScopedEnv m_path{"PATH", m_bin.Path().chopped(1) + ":/usr/bin:/bin"};
    std::shared_ptr<CapturingSink> m_sink = std::make_shared<CapturingSink>();
};

TEST_F(OpenUrl, TrimsTheEndOnlyAndLogsBothForms)
{
    const QString address = QStringLiteral("  https://www.orva.example/agreement\t\r\n \x1f");
    COrvaManager::SafeOpenUrl(address, 0);
    EXPECT_EQ(Opened(), "[  https://www.orva.example/agreement\t\r\n \x1f]\n");

    m_bin.Write("opened", "");
    COrvaManager::SafeOpenUrl(QStringLiteral("https://www.orva.example/privacy \r\n"), 0);
    EXPECT_EQ(Opened(), "[https://www.orva.example/privacy]\n");
    const auto entries = m_sink->Entries();
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[2].function, "COrvaManager::SafeOpenUrl");
    EXPECT_EQ(entries[2].message, "url:[https://www.orva.example/privacy \r\n]");
    EXPECT_EQ(entries[3].message, "Open URL_TRIM:[https://www.orva.example/privacy]");
}

TEST_F(OpenUrl, TrimAddressEndStopsAtCode30)
{
    EXPECT_EQ(COrvaManager::TrimAddressEnd(QStringLiteral("a \x1d\x01 ")), "a");
    EXPECT_EQ(COrvaManager::TrimAddressEnd(QStringLiteral("a\x1e ")), QStringLiteral("a\x1e"));
    EXPECT_EQ(COrvaManager::TrimAddressEnd(QStringLiteral(" \r\n")), "");
}

TEST_F(OpenUrl, PagesOpenOnlyWebAddressesButTheInstallerStarts)
{
    TestSupport::WriteScript(m_bin.File("ExamoraUpdate.run"),
                             QStringLiteral("touch '%1'\n").arg(m_bin.File("installer-ran")).toUtf8());
    m_bin.Write("evil.desktop", "[Desktop Entry]\nType=Application\nExec=touch /tmp/owned\n");
    for (const QString& address : {
             m_bin.File("ExamoraUpdate.run"),
             m_bin.File("evil.desktop"),
             "file://" + m_bin.File("ExamoraUpdate.run"),
             QStringLiteral("file:///etc/passwd"),
             QStringLiteral("javascript:alert(1)"),
             QStringLiteral("data:text/html,<script>alert(1)</script>"),
             QStringLiteral("mailto:someone@orva.example"),
             QStringLiteral("ftp://orva.example/x"),
             QStringLiteral("examora-handler://run?x=1"),
             QStringLiteral("https:///no-host"),
             QStringLiteral("https//orva.example"),
             QStringLiteral("--help"),
             QStringLiteral("relative/page.html"),
             QString(),
         }) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_FALSE(COrvaManager::IsWebAddress(address));
        COrvaManager::SafeOpenUrl(address, 0);
        const auto entries = m_sink->Entries();
        ASSERT_FALSE(entries.empty());
        EXPECT_EQ(entries.back().spdlogLevel, spdlog::level::warn);
        EXPECT_EQ(entries.back().message, "refused to open a non-web address url:[" +
                                              COrvaManager::TrimAddressEnd(address).toStdString() + "]");
    }
    for (const char* address : {"https://www.orva.example/agreement", "HTTP://Orva.Example:8080/a?b=c#d",
                                "  https://tiku.orva.example/"}) {
        EXPECT_TRUE(COrvaManager::IsWebAddress(QString::fromUtf8(address))) << address;
    }

    // Only the client's own code starts the installer.
    COrvaManager::OpenUrl(m_bin.File("ExamoraUpdate.run") + "\r\n", 1);
    EXPECT_TRUE(TestSupport::WaitFor([&] { return m_bin.Exists("installer-ran"); }));
    EXPECT_FALSE(m_bin.Exists("opened")) << "nothing refused reached the desktop";
}

} // namespace
