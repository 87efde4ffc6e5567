// Remembered credentials in a real keyring: GNOME Keyring on a session bus of the test's own
// (tests/support/with-keyring.sh), and the file as before when no keyring answers.
#include "platform/Keyring.h"
#include "TestSupport.h"
#include "platform/IniFile.h"
#include "settings/ConfigService.h"

#include <QCoreApplication>
#include <QProcess>

#include <gtest/gtest.h>

using TestSupport::ScopedEnv;
using TestSupport::TempFolder;

namespace {

const char* const kCredentialKeys[] = {"userPwd", "userTicket", "appkey", "account", "token"};

class KeyringTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) << "run under with-keyring.sh";
    }
    [[nodiscard]] IniFile File() const { return IniFile::Load(m_app.File("orva.ini")); }
    void Save(const QString& user, bool remember)
    {
        m_store.SaveUser(user, "pwd-" + user, "ticket-" + user, "key-" + user, "account-" + user,
                         "token-" + user, remember, false);
    }
    [[nodiscard]] SavedUser Loaded(const QString& user) const
    {
        for (const SavedUser& saved : m_store.LoadUsers()) {
            if (saved.userName == user) {
                return saved;
            }
        }
        return {};
    }

    TempFolder m_app;
    CConfigService m_store{m_app.Path()};
};

TEST_F(KeyringTest, RememberedCredentialsLiveInTheKeyringAndTheFileKeepsItsKeysEmpty)
{
    Save("13800000001", true);
    const IniFile file = File();
    for (const char* key : kCredentialKeys) {
        EXPECT_EQ(file.Value("User_0", key), QString()) << key;
    }
    EXPECT_EQ(file.String("User_0", "userName", {}), "13800000001");
    const Keyring::Result kept = Keyring::Read("13800000001");
    ASSERT_EQ(kept.status, Keyring::Status::Ok) << kept.error.toStdString();
    EXPECT_TRUE(kept.secret.contains("pwd-13800000001"));
    // Another program sees it in the keyring too.
    QProcess tool;
    tool.start("secret-tool", {"search", "--all", "user", "13800000001"});
    ASSERT_TRUE(tool.waitForFinished(10000));
    EXPECT_TRUE(tool.readAllStandardOutput().contains("Examora"))
        << tool.readAllStandardError().toStdString();

    const SavedUser loaded = Loaded("13800000001");
    EXPECT_EQ(loaded.userPwd, "pwd-13800000001");
    EXPECT_EQ(loaded.userTicket, "ticket-13800000001");
    EXPECT_EQ(loaded.appkey, "key-13800000001");
    EXPECT_EQ(loaded.account, "account-13800000001");
    EXPECT_EQ(loaded.token, "token-13800000001");
    EXPECT_TRUE(loaded.isRememberPwd);
}

TEST_F(KeyringTest, AFileOfAnOlderVersionKeepsWorkingAndMovesOnTheNextSave)
{
    m_app.Write("orva.ini", "[Main]\nCurrentUser=User_0\n[User_0]\nuserName=13800000002\nuserPwd=old-pwd\n"
                            "token=old-token\nisRememberPwd=1\n");
    EXPECT_EQ(Loaded("13800000002").userPwd, "old-pwd");
    EXPECT_EQ(Loaded("13800000002").token, "old-token");
    Save("13800000002", true);
    EXPECT_EQ(File().Value("User_0", "userPwd"), QString());
    EXPECT_EQ(Loaded("13800000002").userPwd, "pwd-13800000002");
}

TEST_F(KeyringTest, ForgettingOrDeletingAnAccountTakesItOutOfTheKeyring)
{
    Save("13800000003", true);
    Save("13800000004", true);
    ASSERT_EQ(Keyring::Read("13800000003").status, Keyring::Status::Ok);
    // Signed in again without remembering: nothing of it stays anywhere.
    Save("13800000003", false);
    EXPECT_EQ(Keyring::Read("13800000003").status, Keyring::Status::NotFound);
    EXPECT_EQ(Loaded("13800000003").userPwd, QString());
    m_store.DeleteUser("13800000004");
    EXPECT_EQ(Keyring::Read("13800000004").status, Keyring::Status::NotFound);
    EXPECT_EQ(Loaded("13800000004").userName, QString());
}

TEST_F(KeyringTest, WithoutAKeyringTheFileHoldsTheCredentialsAsBefore)
{
    const ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    const ScopedEnv noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    EXPECT_EQ(Keyring::Read("13800000005").status, Keyring::Status::NoKeyring);
    Save("13800000005", true);
    EXPECT_EQ(File().String("User_0", "userPwd", {}), "pwd-13800000005");
    EXPECT_EQ(Loaded("13800000005").token, "token-13800000005");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
