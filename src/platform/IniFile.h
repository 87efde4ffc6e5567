#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// An INI file read and written with the rules of the Windows profile functions that the client's
// files were designed for: section and key names compared without regard to case, the first match
// wins, values trimmed and cut to the caller's buffer, integers read from their leading digits.
// Edits keep every other line, comment and byte of the file; saving replaces the file atomically.
class IniFile
{
public:
    // The buffer of the profile functions' callers: 260 UTF-16 units, so at most 259 are read.
    static constexpr int kDefaultBuffer = 260;
    // Larger files are not read (and never overwritten): no INI file of the client comes near.
    static constexpr qint64 kMaxFileSize = qint64{16} * 1024 * 1024;

    // A missing file gives an empty document that can be saved; an unreadable one (a folder, no
    // permission, too large) gives an empty document that refuses to be saved over it.
    [[nodiscard]] static IniFile Load(const QString& path);
    // A document read from bytes instead of the file at path (which Save still writes).
    [[nodiscard]] static IniFile FromContent(const QString& path, QByteArray content);

    [[nodiscard]] std::optional<QString> Value(const QString& section, const QString& key) const;
    // GetPrivateProfileString: the value, or the default when the key is missing, cut to
    // bufferChars - 1 UTF-16 units.
    [[nodiscard]] QString String(const QString& section, const QString& key, const QString& defaultValue,
                                 int bufferChars = kDefaultBuffer) const;
    // GetPrivateProfileInt: the default when the key is missing or empty; otherwise blanks, an
    // optional sign and the leading digits (0 when there are none), clamped to the int range.
    [[nodiscard]] int Int(const QString& section, const QString& key, int defaultValue) const;

    void SetValue(const QString& section, const QString& key, const QString& value);
    void RemoveKey(const QString& section, const QString& key);
    // Removes every section of that name with all its lines.
    void RemoveSection(const QString& section);

    // The bytes Save writes: every line as read or edited, with the file's line breaks and mark.
    [[nodiscard]] QByteArray Content() const;
    // Replaces the file atomically. New files are readable by their owner only: the users file
    // holds passwords. On failure the file is untouched and *error (when given) says why.
    [[nodiscard]] bool Save(QString* error = nullptr) const;

    // One-call forms: load, read or change, save.
    [[nodiscard]] static QString ReadString(const QString& path, const QString& section, const QString& key,
                                            const QString& defaultValue, int bufferChars = kDefaultBuffer);
    [[nodiscard]] static int ReadInt(const QString& path, const QString& section, const QString& key,
                                     int defaultValue);
    static bool WriteString(const QString& path, const QString& section, const QString& key,
                            const QString& value, QString* error = nullptr);

    // The integer rule of Int applied to a text (empty text gives the default).
    [[nodiscard]] static int ParseInt(const QString& text, int defaultValue);
    // Blanks, an optional sign and at least one digit; nothing when the text has no such start.
    [[nodiscard]] static std::optional<int> ParseLeadingInt(const QString& text);
    // A text cut to at most maxUnits UTF-16 units, never leaving half a surrogate pair.
    [[nodiscard]] static QString CutToUnits(const QString& text, int maxUnits);

private:
    // Where each section and key stands in m_lines, rebuilt after every edit, so a lookup neither
    // scans nor copies lines.
    struct Entry
    {
        QString key;
        QString value; // trimmed, quotes still on
        int line = -1;
    };
    struct Section
    {
        QString name;
        int header = -1; // the "[name]" line
        int end = -1;    // the next header, or the number of lines
        QList<Entry> entries;
    };

    void Parse(QByteArray content);
    void Reindex();
    [[nodiscard]] const Section* FindSection(const QString& section) const;
    [[nodiscard]] static const Entry* FindEntry(const Section& section, const QString& key);

    QString m_path;
    QList<QByteArray> m_lines;
    QList<Section> m_sections;
    QByteArray m_newline = "\n";
    bool m_bom = false;
    bool m_writable = true;
};
