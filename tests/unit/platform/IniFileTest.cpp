#include "platform/IniFile.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using TestSupport::TempFolder;

namespace {

const QByteArray kFixture = "\xEF\xBB\xBF; a comment = not a key\r\n"
                            "[Global]\r\n"
                            "  Level = 5  \r\n"
                            "name = \" quoted \"\r\n"
                            "single='x'\r\n"
                            "empty=\r\n"
                            "neg=-12abc\r\n"
                            "junk=abc\r\n"
                            "big=99999999999\r\n"
                            "plus=+7\r\n"
                            "blank=   \t 42\r\n"
                            "utf8=考试\r\n"
                            "mark=\xEF\xBB\xBF\r\n"
                            "no equals sign here\r\n"
                            "\r\n"
                            "[global]\r\n"
                            "Level=9\r\n"
                            "extra=only in the second section\r\n"
                            "[ Other ]\r\n"
                            "key=v=w\r\n";

struct ReadCase
{
    const char* name;
    const char* section;
    const char* key;
    QString text; // with default "dflt"
    int number;   // with default 77
};

TEST(IniFile, ReadsWithTheProfileFunctionRules)
{
    TempFolder folder;
    folder.Write("conf.ini", kFixture);
    const IniFile ini = IniFile::Load(folder.File("conf.ini"));

    const ReadCase cases[] = {
        {"key and section ignore case, blanks trimmed", "GLOBAL", "level", "5", 5},
        {"first section of a name wins", "global", "extra", "dflt", 77},
        {"one pair of quotes is removed", "Global", "name", " quoted ", 0},
        {"single quotes too", "Global", "single", "x", 0},
        {"empty value: empty text, default number", "Global", "empty", "", 77},
        {"leading number with sign", "Global", "neg", "-12abc", -12},
        {"no leading number reads 0", "Global", "junk", "abc", 0},
        {"too large is clamped", "Global", "big", "99999999999", 2147483647},
        {"plus sign", "Global", "plus", "+7", 7},
        {"blanks before the number", "Global", "blank", "42", 42},
        {"UTF-8 text", "Global", "utf8", QStringLiteral("考试"), 0},
        {"U+FEFF in a value is no byte-order mark", "Global", "mark", QString(QChar(0xFEFF)), 0},
        {"a line without = is no key", "Global", "no equals sign here", "dflt", 77},
        {"a comment is no key", "Global", "; a comment", "dflt", 77},
        {"section name trimmed, value keeps its =", "other", "KEY", "v=w", 0},
        {"missing section", "nowhere", "key", "dflt", 77},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            ini.String(QString::fromUtf8(row.section), QString::fromUtf8(row.key), QStringLiteral("dflt")),
            row.text);
        EXPECT_EQ(ini.Int(QString::fromUtf8(row.section), QString::fromUtf8(row.key), 77), row.number);
    }
}

TEST(IniFile, CutsValuesToTheCallersBuffer)
{
    TempFolder folder;
    const QByteArray longValue(300, 'a');
    // A pair of UTF-16 units (an emoji) straddling the cut must not be split in half.
    const QByteArray straddling = QByteArray(258, 'b') + "\xF0\x9F\x98\x80" + "tail";
    folder.Write("conf.ini", "[s]\nlong=" + longValue + "\nemoji=" + straddling + "\n");
    const IniFile ini = IniFile::Load(folder.File("conf.ini"));

    EXPECT_EQ(ini.String("s", "long", {}).size(), 259);
    EXPECT_EQ(ini.String("s", "long", {}, 10), QString(9, QLatin1Char('a')));
    const QString cut = ini.String("s", "emoji", {});
    EXPECT_EQ(cut, QString(258, QLatin1Char('b')));
    EXPECT_EQ(ini.String("s", "missing", QString(400, QLatin1Char('d'))).size(), 259);
}

TEST(IniFile, EditsKeepEveryOtherLineAndTheFileStyle)
{
    TempFolder folder;
    folder.Write("conf.ini", kFixture);
    IniFile ini = IniFile::Load(folder.File("conf.ini"));
    ini.SetValue("GLOBAL", "LEVEL", "6");        // existing key: its line is replaced, its name kept
    ini.SetValue("Other", "added", "1");         // new key goes after the section's last entry
    ini.SetValue("New", "k", "line\r\nbreak=1"); // a line break cannot inject a second entry
    ini.RemoveSection("global");                 // both sections of that name go
    ASSERT_TRUE(ini.Save());

    EXPECT_EQ(folder.Read("conf.ini"), QByteArray("\xEF\xBB\xBF; a comment = not a key\r\n"
                                                  "[ Other ]\r\n"
                                                  "key=v=w\r\n"
                                                  "added=1\r\n"
                                                  "\r\n"
                                                  "[New]\r\n"
                                                  "k=line  break=1\r\n"));
    const IniFile reread = IniFile::Load(folder.File("conf.ini"));
    EXPECT_EQ(reread.String("new", "k", {}), "line  break=1");
    EXPECT_FALSE(reread.Value("new", "break"));
}

TEST(IniFile, NewKeysAreInsertedBeforeTheBlankLinesBetweenSections)
{
    TempFolder folder;
    folder.Write("conf.ini", "[a]\nx=1\n\n[b]\ny=2\n");
    ASSERT_TRUE(IniFile::WriteString(folder.File("conf.ini"), "a", "z", "3"));
    EXPECT_EQ(folder.Read("conf.ini"), QByteArray("[a]\nx=1\nz=3\n\n[b]\ny=2\n"));
}

TEST(IniFile, RemovingASectionRemovesEveryOneOfItsNameAndNothingBetween)
{
    IniFile ini = IniFile::FromContent({}, "; head\n[a]\nx=1\n[b]\ny=2\n[A]\nz=3\n[c]\n[a]\n");
    ini.RemoveSection("a");
    EXPECT_EQ(ini.Content(), QByteArray("; head\n[b]\ny=2\n[c]\n"));
    EXPECT_EQ(ini.String("b", "y", {}), "2");
    ini.RemoveSection("missing");
    EXPECT_EQ(ini.Content(), QByteArray("; head\n[b]\ny=2\n[c]\n"));
}

// The users file holds remembered passwords and tokens: only its owner may read it, also when it
// was readable by others before it was written.
TEST(IniFile, WrittenFilesAreForTheOwnerOnlyAndNoTemporaryFileStays)
{
    TempFolder folder;
    ASSERT_TRUE(IniFile::WriteString(folder.File("users.ini"), "Main", "CurrentUser", "User_0"));
    EXPECT_EQ(folder.Read("users.ini"), QByteArray("[Main]\nCurrentUser=User_0\n"));
    EXPECT_EQ(QFileInfo(folder.File("users.ini")).permissions() & 0x0077, 0);
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{"users.ini"});

    folder.Write("old.ini", "[Main]\n");
    ASSERT_TRUE(
        QFile::setPermissions(folder.File("old.ini"), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                          QFileDevice::ReadGroup | QFileDevice::ReadOther));
    ASSERT_TRUE(IniFile::WriteString(folder.File("old.ini"), "Main", "CurrentUser", "User_0"));
    EXPECT_EQ(QFileInfo(folder.File("old.ini")).permissions() & 0x0077, 0);
}

TEST(IniFile, BadFilesReadAsEmptyAndAreNeverOverwritten)
{
    TempFolder folder;
    QByteArray junk;
    for (int i = 0; i < 4096; ++i) {
        junk += static_cast<char>((i * 37) % 256);
    }
    folder.Write("junk.ini", junk);
    folder.Write("hugeline.ini", "[s]\nk=" + QByteArray(2 * 1024 * 1024, 'x') + "\nn=5\n");
    folder.Write("cr-only.ini", "[s]\rn=5\r");
    QDir().mkpath(folder.File("folder.ini"));

    struct Row
    {
        const char* name;
        const char* file;
        int expected;
    };
    const Row rows[] = {
        {"binary junk", "junk.ini", 77},
        {"a 2 MiB line", "hugeline.ini", 5},
        {"old Mac line ends are one long line", "cr-only.ini", 77},
        {"a folder in its place", "folder.ini", 77},
        {"missing", "missing.ini", 77},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(IniFile::ReadInt(folder.File(row.file), "s", "n", 77), row.expected);
    }

    EXPECT_FALSE(IniFile::WriteString(folder.File("folder.ini"), "s", "n", "1"));
    EXPECT_TRUE(QFileInfo(folder.File("folder.ini")).isDir());

    QFile big(folder.File("big.ini"));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(IniFile::kMaxFileSize + 1));
    big.close();
    EXPECT_FALSE(IniFile::WriteString(folder.File("big.ini"), "s", "n", "1"));
    EXPECT_EQ(QFileInfo(folder.File("big.ini")).size(), IniFile::kMaxFileSize + 1);

    // Junk that is readable is kept byte for byte around an edit.
    ASSERT_TRUE(IniFile::WriteString(folder.File("junk.ini"), "added", "k", "v"));
    EXPECT_TRUE(folder.Read("junk.ini").startsWith(junk.left(junk.lastIndexOf('\n'))));
}

} // namespace
