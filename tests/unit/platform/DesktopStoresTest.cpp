#include "TestSupport.h"
#include "platform/Autostart.h"
#include "platform/IniFile.h"
#include "platform/RegistryStore.h"

#include <QFile>

#include <gtest/gtest.h>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

class DesktopStores : public testing::Test
{
protected:
    TempFolder m_home;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_home.Path() + "config"};
};

TEST_F(DesktopStores, RegistryValuesLiveInOneIniFileUnderTheConfigFolder)
{
    const QString key = QStringLiteral("SOFTWARE\\Orva\\Examora\\OrvaWinHide");
    EXPECT_FALSE(RegistryStore::ReadString(key, "WinHide"));

    ASSERT_TRUE(RegistryStore::WriteString(key, "WinHide", "1"));
    EXPECT_EQ(RegistryStore::FilePath(), m_home.Path() + "config/Examora/registry.ini");
    EXPECT_EQ(RegistryStore::ReadString(key.toLower(), "winhide"), QStringLiteral("1"));
    EXPECT_EQ(IniFile::ReadString(RegistryStore::FilePath(), key, "WinHide", {}), "1");

    EXPECT_TRUE(RegistryStore::DeleteValue(key, "WinHide"));
    EXPECT_FALSE(RegistryStore::DeleteValue(key, "WinHide"));
    EXPECT_FALSE(RegistryStore::ReadString(key, "WinHide"));
}

TEST_F(DesktopStores, RegistryRefusesWhatTheRegistryRefuses)
{
    for (const QString& bad : {QString(), QStringLiteral("\\OrvaWinHide")}) {
        SCOPED_TRACE(bad.toStdString());
        EXPECT_FALSE(RegistryStore::WriteString(bad, "WinHide", "1"));
        EXPECT_FALSE(RegistryStore::ReadString(bad, "WinHide"));
    }
    EXPECT_FALSE(QFile::exists(RegistryStore::FilePath()));

    // A value that would not fit the 512-byte buffer of the readers is not found.
    ASSERT_TRUE(RegistryStore::WriteString("k", "fits", QString(255, QLatin1Char('x'))));
    ASSERT_TRUE(RegistryStore::WriteString("k", "toolong", QString(256, QLatin1Char('x'))));
    EXPECT_TRUE(RegistryStore::ReadString("k", "fits"));
    EXPECT_FALSE(RegistryStore::ReadString("k", "toolong"));
}

TEST_F(DesktopStores, AutostartEntryIsWrittenReadAndRemoved)
{
    EXPECT_FALSE(Autostart::IsEnabled());
    EXPECT_FALSE(Autostart::Disable());

    ASSERT_TRUE(Autostart::Enable("/opt/My Apps/Examora"));
    EXPECT_EQ(Autostart::EntryPath(), m_home.Path() + "config/autostart/orvaExamora.desktop");
    EXPECT_TRUE(Autostart::IsEnabled());
    const QByteArray entry = m_home.Read("config/autostart/orvaExamora.desktop");
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << entry.toStdString();
    EXPECT_TRUE(entry.contains("\nExec=\"/opt/My Apps/Examora\"\n")) << entry.toStdString();

    EXPECT_TRUE(Autostart::Disable());
    EXPECT_FALSE(Autostart::IsEnabled());
    EXPECT_FALSE(Autostart::Disable());

    m_home.Write("config/autostart/orvaExamora.desktop", "[Desktop Entry]\nExec=\n");
    EXPECT_FALSE(Autostart::IsEnabled());
    EXPECT_FALSE(Autostart::Enable({}));
}

TEST_F(DesktopStores, AnInstallPathWithALineBreakStaysOnItsLine)
{
    ASSERT_TRUE(Autostart::Enable("/opt/a\nTerminal=true/Examora"));
    const QList<QByteArray> lines = m_home.Read("config/autostart/orvaExamora.desktop").split('\n');
    EXPECT_TRUE(lines.contains(R"(Exec="/opt/a\nTerminal=true/Examora")"));
    EXPECT_EQ(lines.count("Terminal=false"), 1);
    EXPECT_FALSE(lines.contains("Terminal=true/Examora\""));
    EXPECT_TRUE(Autostart::IsEnabled());
}

TEST_F(DesktopStores, ARegistryKeyNameWithABracketReadsBackAndKeepsOneSection)
{
    const QString key = QStringLiteral("SOFTWARE\\Orva]\\Examora[x]\\OrvaWinHide");
    ASSERT_TRUE(RegistryStore::WriteString(key, "WinHide", "1"));
    ASSERT_TRUE(RegistryStore::WriteString(key, "WinHide", "0"));
    EXPECT_EQ(RegistryStore::ReadString(key, "WinHide"), QStringLiteral("0"));
    EXPECT_EQ(m_home.Read("config/Examora/registry.ini").count('['), 2) << "one header";
}

TEST(Autostart, ExecValueQuotesAndEscapesByTheDesktopEntryRules)
{
    struct Row
    {
        const char* path;
        const char* exec;
    };
    const Row rows[] = {
        {"/usr/bin/Examora", R"("/usr/bin/Examora")"},
        {"/a b/Examora", R"("/a b/Examora")"},
        {"/a\"b/E", R"("/a\\"b/E")"},
        {"/a$b/`E`", R"("/a\\$b/\\`E\\`")"},
        {"/a\\b/E", R"("/a\\\\b/E")"},
        {"/100%/E", R"("/100%%/E")"},
        {"/a\nb/\tE\r", R"("/a\nb/\tE\r")"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(Autostart::ExecValue(QString::fromUtf8(row.path)), QString::fromUtf8(row.exec));
    }
}

} // namespace
