#include "environment/Environment.h"
#include "TestSupport.h"
#include "platform/AppFolder.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using TestSupport::TempFolder;

namespace {

// Points the application folder at a fresh folder for one test.
class EnvironmentTest : public testing::Test
{
protected:
    EnvironmentTest() { AppFolder::Override(m_app.Path()); }
    ~EnvironmentTest() override
    {
        AppFolder::Override({});
        LoadEnvironmentSettings();
    }
    void Conf(const QByteArray& content) { m_app.Write("OrvaLogConf.ini", content); }

    TempFolder m_app;
};

TEST_F(EnvironmentTest, CompiledInValuesHaveTheirFixedForm)
{
    const EnvironmentSettings settings = CompiledInEnvironmentSettings();
    for (const auto* address : {&settings.offcieDomain, &settings.homePageUrl, &settings.tikuDomain}) {
        EXPECT_TRUE(address->starts_with("https://")) << *address;
        EXPECT_TRUE(address->ends_with(".example/")) << *address;
    }
    EXPECT_TRUE(settings.updateUrl.empty());
    EXPECT_TRUE(
        QRegularExpression("^[0-9a-f]{32}$").match(QString::fromStdString(settings.imAppKey)).hasMatch());
    EXPECT_TRUE(QRegularExpression("^[\\x21-\\x7e]{19}$")
                    .match(QString::fromStdString(settings.signSecret))
                    .hasMatch());
}

TEST_F(EnvironmentTest, TheProfileReplacesOnlyTheAddressesItHolds)
{
    const EnvironmentSettings compiled = CompiledInEnvironmentSettings();
    const QByteArray profiles = "[offcieDomain]\nlocal=http://127.0.0.1:8080/\npro=" + QByteArray(300, 'p') +
                                "\n[homePageUrl]\nlocal=http://127.0.0.1:8080/\n"
                                "[tikuDomain]\nlocal=http://127.0.0.1:8080/\nrd=\n"
                                "[updateUrl]\ntest=https://update.test/v\nrd=https://更新.example/\n"
                                "[imServer]\nlocal=ws://127.0.0.1:8081/\n";
    struct Row
    {
        const char* name;
        QByteArray global;
        std::string offcieDomain, homePageUrl, tikuDomain, updateUrl, imServer;
    };
    const Row rows[] = {
        {"no envIndex: no profile", "", compiled.offcieDomain, compiled.homePageUrl, compiled.tikuDomain, "",
         compiled.imServer},
        {"local", "envIndex=0", "http://127.0.0.1:8080/", "http://127.0.0.1:8080/", "http://127.0.0.1:8080/",
         "", "ws://127.0.0.1:8081/"},
        {"test changes only updateUrl", "envIndex=1", compiled.offcieDomain, compiled.homePageUrl,
         compiled.tikuDomain, "https://update.test/v", compiled.imServer},
        {"rd: empty value keeps, non-ASCII stored as UTF-8", "envIndex=2", compiled.offcieDomain,
         compiled.homePageUrl, compiled.tikuDomain, "https://更新.example/", compiled.imServer},
        {"pro: value cut to 259 characters", "envIndex=3", std::string(259, 'p'), compiled.homePageUrl,
         compiled.tikuDomain, "", compiled.imServer},
        {"out of range", "envIndex=4", compiled.offcieDomain, compiled.homePageUrl, compiled.tikuDomain, "",
         compiled.imServer},
        {"negative", "envIndex=-1", compiled.offcieDomain, compiled.homePageUrl, compiled.tikuDomain, "",
         compiled.imServer},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Conf("[global]\n" + row.global + "\n" + profiles);
        LoadEnvironmentSettings();
        const EnvironmentSettings& settings = GetEnvironmentSettings();
        EXPECT_EQ(settings.offcieDomain, row.offcieDomain);
        EXPECT_EQ(settings.homePageUrl, row.homePageUrl);
        EXPECT_EQ(settings.tikuDomain, row.tikuDomain);
        EXPECT_EQ(settings.updateUrl, row.updateUrl);
        EXPECT_EQ(settings.imServer, row.imServer);
        EXPECT_EQ(settings.signSecret, compiled.signSecret);
    }
}

TEST_F(EnvironmentTest, AMissingOrBrokenFileKeepsTheCompiledInValues)
{
    const EnvironmentSettings compiled = CompiledInEnvironmentSettings();
    LoadEnvironmentSettings();
    EXPECT_EQ(GetEnvironmentSettings().offcieDomain, compiled.offcieDomain);
    Conf(QByteArray("\x00\xff[global\nenvIndex", 17));
    LoadEnvironmentSettings();
    EXPECT_EQ(GetEnvironmentSettings().offcieDomain, compiled.offcieDomain);
}

TEST_F(EnvironmentTest, FolderReadersAndVersions)
{
    EXPECT_EQ(GetExeDir(), m_app.Path());
    EXPECT_TRUE(GetExeDir().endsWith('/'));
    Conf("[global]\nmaxFiles=3\nlogdir=" + QByteArray(400, 'd') + "\n");
    EXPECT_EQ(GetLogConfInt("GLOBAL", "maxfiles", 10), 3);
    EXPECT_EQ(GetLogConfInt("global", "missing", 10), 10);
    EXPECT_EQ(GetLogConfString("global", "logdir", {}).size(), 259);

    AppFolder::Override({});
    EXPECT_TRUE(GetExeDir().endsWith("/")) << GetExeDir().toStdString();
    EXPECT_TRUE(QFileInfo::exists(GetExeDir() + "unit_app"));

    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.\\d+$")
                    .match(QString::fromStdString(GetProductVersionString()))
                    .hasMatch());
    EXPECT_EQ(GetFileVersionString(), GetProductVersionString());
}

} // namespace
