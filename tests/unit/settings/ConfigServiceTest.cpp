#include "settings/ConfigService.h"
#include "TestSupport.h"
#include "platform/AppFolder.h"
#include "platform/Autostart.h"
#include "platform/IniFile.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

class ConfigServiceTest : public testing::Test
{
protected:
    void Users(const QByteArray& content) { m_app.Write("orva.ini", content); }
    [[nodiscard]] QStringList UserNames() const
    {
        QStringList names;
        for (const auto& user : CConfigService(m_app.Path()).LoadUsers()) {
            names << user.section + ":" + user.userName;
        }
        return names;
    }

    TempFolder m_app;
    ScopedEnv m_config{"XDG_CONFIG_HOME", m_app.Path() + "config"};
    // The file's own behaviour, whatever keyring the machine has (integration_keyring has one).
    ScopedEnv m_noBus{"DBUS_SESSION_BUS_ADDRESS", std::nullopt};
    ScopedEnv m_noRuntime{"XDG_RUNTIME_DIR", std::nullopt};
};

QByteArray UserSection(int index, const QByteArray& name, const QByteArray& extra = {})
{
    return "[User_" + QByteArray::number(index) + "]\nuserName=" + name + "\n" + extra;
}

TEST_F(ConfigServiceTest, LoadUsersPutsTheCurrentUserFirstThenDescendingSections)
{
    struct Row
    {
        const char* name;
        QByteArray file;
        QStringList expected;
    };
    const QByteArray three = UserSection(0, "13800000000") + UserSection(2, "13900000002") +
                             "[User_3]\nuserName=\n" + UserSection(5, "13700000005");
    const Row rows[] = {
        {"current user in section 2",
         "[Main]\nCurrentUser=User_2\n" + three,
         {"User_2:13900000002", "User_5:13700000005", "User_0:13800000000"}},
        {"current user names an empty section",
         "[Main]\nCurrentUser=User_3\n" + three,
         {"User_5:13700000005", "User_2:13900000002", "User_0:13800000000"}},
        {"CurrentUser compares case-sensitively",
         "[Main]\nCurrentUser=user_0\n" + three,
         {"User_5:13700000005", "User_2:13900000002", "User_0:13800000000"}},
        {"MaxUser limits the sections looked at",
         "[Main]\nCurrentUser=User_5\nMaxUser=3\n" + three,
         {"User_2:13900000002", "User_0:13800000000"}},
        {"MaxUser 0", "[Main]\nMaxUser=0\n" + three, {}},
        {"MaxUser not a number counts as 30",
         "[Main]\nMaxUser=abc\n" + three,
         {"User_5:13700000005", "User_2:13900000002", "User_0:13800000000"}},
        {"no file", {}, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.file.isNull()) {
            QFile::remove(m_app.File("orva.ini"));
        } else {
            Users(row.file);
        }
        EXPECT_EQ(UserNames(), row.expected);
    }
}

TEST_F(ConfigServiceTest, LoadUsersReadsEveryFieldAndFlag)
{
    Users(UserSection(
              0, "a",
              "userPwd=p\nuserTicket=t\nappkey=k\naccount=c\ntoken=n\nisRememberPwd=2\nisAutoLogin=1\n") +
          UserSection(1, "b", "isRememberPwd=abc\nisAutoLogin=\n") +
          UserSection(2, "c", "isRememberPwd= -1\n"));
    const auto users = CConfigService(m_app.Path()).LoadUsers();
    ASSERT_EQ(users.size(), 3);
    EXPECT_EQ(users[2], (SavedUser{"User_0", "a", "p", "t", "k", "n", "c", true, true}));
    EXPECT_EQ(users[1], (SavedUser{"User_1", "b", "", "", "", "", "", false, false}));
    EXPECT_TRUE(users[0].isRememberPwd);
}

TEST_F(ConfigServiceTest, SaveUserChoosesItsSection)
{
    struct Row
    {
        const char* name;
        QByteArray before;
        const char* user;
        const char* section;
        QStringList after;
    };
    const Row rows[] = {
        {"known user is updated in place",
         UserSection(0, "x") + UserSection(4, "u"),
         "u",
         "User_4",
         {"User_4:u", "User_0:x"}},
        {"new user takes the first free section",
         UserSection(0, "x") + UserSection(1, "y"),
         "u",
         "User_2",
         {"User_2:u", "User_1:y", "User_0:x"}},
        {"names differing in case are different users",
         UserSection(0, "U"),
         "u",
         "User_1",
         {"User_1:u", "User_0:U"}},
        {"all sections taken: User_0 is overwritten",
         "[Main]\nMaxUser=2\n" + UserSection(0, "x") + UserSection(1, "y"),
         "u",
         "User_0",
         {"User_0:u", "User_1:y"}},
        {"no file yet", {}, "u", "User_0", {"User_0:u"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(m_app.File("orva.ini"));
        if (!row.before.isNull()) {
            Users(row.before);
        }
        CConfigService(m_app.Path()).SaveUser(row.user, "pw", "ticket", "key", "acct", "tok", true, true);
        EXPECT_EQ(IniFile::ReadString(m_app.File("orva.ini"), "Main", "CurrentUser", {}), row.section);
        EXPECT_EQ(UserNames(), row.after);
    }
}

TEST_F(ConfigServiceTest, SaveUserWritesTheCredentialsOnlyWhenRemembered)
{
    CConfigService store(m_app.Path());
    store.SaveUser("", "pw", "t", "k", "a", "n", true, true);
    EXPECT_FALSE(m_app.Exists("orva.ini"));

    store.SaveUser("u", "pw", "t", "k", "a", "n", true, false);
    EXPECT_EQ(m_app.Read("orva.ini"),
              "[Main]\nCurrentUser=User_0\n\n[User_0]\nuserName=u\nuserPwd=pw\n"
              "userTicket=t\nappkey=k\naccount=a\ntoken=n\nisRememberPwd=1\nisAutoLogin=0\n");
    store.SaveUser("u", "pw", "t", "k", "a", "n", false, true);
    EXPECT_EQ(m_app.Read("orva.ini"),
              "[Main]\nCurrentUser=User_0\n\n[User_0]\nuserName=u\nuserPwd=\n"
              "userTicket=\nappkey=\naccount=\ntoken=\nisRememberPwd=0\nisAutoLogin=1\n");
}

TEST_F(ConfigServiceTest, DeleteUserRemovesTheSectionAndLeavesCurrentUser)
{
    CConfigService store(m_app.Path());
    store.DeleteUser("nobody");
    EXPECT_FALSE(m_app.Exists("orva.ini"));

    Users("[Main]\nCurrentUser=User_1\n" + UserSection(0, "a") + UserSection(1, "b", "token=x\n") +
          UserSection(2, "b"));
    store.DeleteUser("B");
    EXPECT_EQ(UserNames(), (QStringList{"User_1:b", "User_2:b", "User_0:a"}));
    store.DeleteUser("b");
    EXPECT_EQ(UserNames(), (QStringList{"User_2:b", "User_0:a"}));
    EXPECT_FALSE(IniFile::Load(m_app.File("orva.ini")).Value("User_1", "token"));
    EXPECT_EQ(IniFile::ReadString(m_app.File("orva.ini"), "Main", "CurrentUser", {}), "User_1");
}

TEST_F(ConfigServiceTest, ReloginFlagLivesInTheLogConfiguration)
{
    m_app.Write("OrvaLogConf.ini", "; shipped settings\n[global]\nmaxFiles=3\n");
    CConfigService store(m_app.Path());
    EXPECT_FALSE(store.IsRelogin());
    store.SetRelogin("1");
    EXPECT_TRUE(store.IsRelogin());
    store.SetRelogin("0");
    EXPECT_FALSE(store.IsRelogin());
    store.SetRelogin("abc");
    EXPECT_FALSE(store.IsRelogin());
    EXPECT_EQ(m_app.Read("OrvaLogConf.ini"),
              "; shipped settings\n[global]\nmaxFiles=3\n\n[Main]\nisRelogin=abc\n");
}

TEST_F(ConfigServiceTest, WinHideNeedsTheLogConfigurationForItsKey)
{
    EXPECT_TRUE(CConfigService(m_app.Path()).RegistryPath().isEmpty());
    EXPECT_FALSE(CConfigService(m_app.Path()).SetWinHide("OrvaWinHide", true));
    EXPECT_FALSE(CConfigService(m_app.Path()).IsWinHide("OrvaWinHide"));

    m_app.Write("OrvaLogConf.ini", "[global]\n");
    CConfigService store(m_app.Path());
    EXPECT_EQ(store.RegistryPath(), "SOFTWARE\\Orva\\Examora");
    EXPECT_FALSE(store.IsWinHide("OrvaWinHide"));
    ASSERT_TRUE(store.SetWinHide("OrvaWinHide", true));
    EXPECT_EQ(store.ReadRegistryString("OrvaWinHide", "WinHide"), std::make_pair(true, QStringLiteral("1")));

    struct Row
    {
        const char* value;
        bool hide;
    };
    for (const Row& row : {Row{"2", true}, Row{" 1", true}, Row{"0", false}, Row{"-1", false},
                           Row{"abc", false}, Row{"", false}}) {
        SCOPED_TRACE(row.value);
        ASSERT_TRUE(store.WriteRegistryString("OrvaWinHide", "WinHide", row.value));
        EXPECT_EQ(store.IsWinHide("OrvaWinHide"), row.hide);
    }

    m_app.Write("OrvaLogConf.ini", "[Registry]\nRegistryPath=SOFTWARE\\Other\n");
    CConfigService custom(m_app.Path());
    ASSERT_TRUE(custom.SetWinHide("OrvaWinHide", false));
    EXPECT_EQ(custom.ReadRegistryString("OrvaWinHide", "WinHide"), std::make_pair(true, QStringLiteral("0")));
    EXPECT_EQ(store.ReadRegistryString("OrvaWinHide", "WinHide").second, "");
}

TEST_F(ConfigServiceTest, AutoStartPointsTheSessionAtThisExecutable)
{
    CConfigService store(m_app.Path());
    EXPECT_FALSE(store.IsAutoStart());
    EXPECT_FALSE(store.SetAutoStart(false));
    ASSERT_TRUE(store.SetAutoStart(true));
    EXPECT_TRUE(store.IsAutoStart());
    QFile entry(Autostart::EntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        "\nExec=" + Autostart::ExecValue(AppFolder::ExecutablePath()).toUtf8() + "\n"));
    EXPECT_TRUE(store.SetAutoStart(false));
    EXPECT_FALSE(store.IsAutoStart());
}

TEST_F(ConfigServiceTest, AMissingFolderLosesNothingAndCrashesNothing)
{
    CConfigService store(m_app.Path() + "missing/");
    store.SaveUser("u", "p", "t", "k", "a", "n", true, true);
    store.DeleteUser("u");
    store.SetRelogin("1");
    EXPECT_TRUE(store.LoadUsers().isEmpty());
    EXPECT_FALSE(store.IsRelogin());
}

// Every field of a save derives from the user name (see the helper's save loop).
void ExpectConsistent(const IniFile& users)
{
    const QString current = users.String("Main", "CurrentUser", {});
    ASSERT_FALSE(users.String(current, "userName", {}).isEmpty()) << current.toStdString();
    for (int i = 0; i < 30; ++i) {
        const QString section = QStringLiteral("User_%1").arg(i);
        const QString name = users.String(section, "userName", {});
        if (name.isEmpty()) {
            continue;
        }
        for (const char* key : {"userPwd", "userTicket", "appkey", "account", "token"}) {
            EXPECT_EQ(users.String(section, key, "missing"),
                      name + "-" + QString(key).remove("user").toLower())
                << section.toStdString() << " " << key;
        }
        EXPECT_TRUE(users.Value(section, "isAutoLogin"));
    }
}

TEST_F(ConfigServiceTest, AKillInTheMiddleOfSavingLeavesAWholeFile)
{
    for (int round = 0; round < 15; ++round) {
        SCOPED_TRACE(round);
        QProcess writer;
        writer.start(TestSupport::HelperPath(), {"save-loop", m_app.Path()});
        ASSERT_TRUE(writer.waitForReadyRead(10000));
        QThread::msleep(QRandomGenerator::global()->bounded(1, 40));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        ExpectConsistent(IniFile::Load(m_app.File("orva.ini")));
    }
}

} // namespace
