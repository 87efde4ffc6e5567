#include "platform/IniFile.h"

#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

QByteArray Trimmed(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && static_cast<unsigned char>(bytes[begin]) <= ' ') {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(bytes[end - 1]) <= ' ') {
        --end;
    }
    return bytes.mid(begin, end - begin);
}

bool IsSectionHeader(const QByteArray& trimmedLine)
{
    return trimmedLine.startsWith('[');
}

QString SectionName(const QByteArray& trimmedLine)
{
    const auto close = trimmedLine.indexOf(']');
    const QByteArray inner = close < 0 ? trimmedLine.mid(1) : trimmedLine.mid(1, close - 1);
    return QString::fromUtf8(Trimmed(inner));
}

// Splits "key = value" into its trimmed key and value; false for comments and lines without "=".
bool SplitKeyValue(const QByteArray& trimmedLine, QByteArray& key, QByteArray& value)
{
    if (trimmedLine.isEmpty() || trimmedLine.startsWith(';')) {
        return false;
    }
    const auto equals = trimmedLine.indexOf('=');
    if (equals < 0) {
        return false;
    }
    key = Trimmed(trimmedLine.left(equals));
    value = Trimmed(trimmedLine.mid(equals + 1));
    return true;
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a name or value would split the line and inject new entries.
QByteArray OneLine(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

} // namespace

IniFile IniFile::Load(const QString& path)
{
    IniFile ini;
    ini.m_path = path;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return ini;
    }
    ini.m_exists = true;
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly)) {
        ini.m_writable = false;
        return ini;
    }
    QByteArray content = file.read(kMaxFileSize + 1);
    if (content.size() > kMaxFileSize) {
        ini.m_writable = false;
        return ini;
    }
    if (content.startsWith(kBom)) {
        ini.m_bom = true;
        content.remove(0, 3);
    }
    const auto firstBreak = content.indexOf('\n');
    if (firstBreak > 0 && content[firstBreak - 1] == '\r') {
        ini.m_newline = "\r\n";
    }
    if (content.endsWith('\n')) {
        content.chop(1);
    }
    if (!content.isEmpty()) {
        ini.m_lines = content.split('\n');
        for (auto& line : ini.m_lines) {
            if (line.endsWith('\r')) {
                line.chop(1);
            }
        }
    }
    return ini;
}

int IniFile::FindSection(const QString& section, int from) const
{
    for (int i = from; i < m_lines.size(); ++i) {
        const QByteArray trimmed = Trimmed(m_lines[i]);
        if (IsSectionHeader(trimmed) && SameName(SectionName(trimmed), section)) {
            return i;
        }
    }
    return -1;
}

int IniFile::SectionEnd(int headerLine) const
{
    int i = headerLine + 1;
    while (i < m_lines.size() && !IsSectionHeader(Trimmed(m_lines[i]))) {
        ++i;
    }
    return i;
}

int IniFile::FindKey(int headerLine, const QString& key) const
{
    const int end = SectionEnd(headerLine);
    for (int i = headerLine + 1; i < end; ++i) {
        QByteArray lineKey;
        QByteArray value;
        if (SplitKeyValue(Trimmed(m_lines[i]), lineKey, value) && SameName(QString::fromUtf8(lineKey), key)) {
            return i;
        }
    }
    return -1;
}

std::optional<QString> IniFile::Value(const QString& section, const QString& key) const
{
    const int header = FindSection(section);
    if (header < 0) {
        return std::nullopt;
    }
    const int line = FindKey(header, key);
    if (line < 0) {
        return std::nullopt;
    }
    QByteArray lineKey;
    QByteArray value;
    SplitKeyValue(Trimmed(m_lines[line]), lineKey, value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.mid(1, value.size() - 2);
    }
    return QString::fromUtf8(value);
}

QString IniFile::String(const QString& section, const QString& key, const QString& defaultValue,
                        int bufferChars) const
{
    return CutToUnits(Value(section, key).value_or(defaultValue), bufferChars - 1);
}

int IniFile::Int(const QString& section, const QString& key, int defaultValue) const
{
    return ParseInt(Value(section, key).value_or(QString()), defaultValue);
}

int IniFile::ParseInt(const QString& text, int defaultValue)
{
    return text.isEmpty() ? defaultValue : ParseLeadingInt(text).value_or(0);
}

std::optional<int> IniFile::ParseLeadingInt(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].unicode() <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 kLimit = qint64{std::numeric_limits<int>::max()} + 1;
    qint64 value = 0;
    const qsizetype firstDigit = i;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        value = std::min(kLimit, value * 10 + (text[i].unicode() - '0'));
    }
    if (i == firstDigit) {
        return std::nullopt;
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return static_cast<int>(std::min<qint64>(value, std::numeric_limits<int>::max()));
}

QString IniFile::CutToUnits(const QString& text, int maxUnits)
{
    if (maxUnits <= 0) {
        return {};
    }
    if (text.size() <= maxUnits) {
        return text;
    }
    QString cut = text.left(maxUnits);
    if (cut.back().isHighSurrogate()) {
        cut.chop(1);
    }
    return cut;
}

void IniFile::SetValue(const QString& section, const QString& key, const QString& value)
{
    const QByteArray entry = OneLine(key) + '=' + OneLine(value);
    const int header = FindSection(section);
    if (header < 0) {
        if (!m_lines.isEmpty() && !Trimmed(m_lines.back()).isEmpty()) {
            m_lines.append(QByteArray());
        }
        m_lines.append('[' + OneLine(section) + ']');
        m_lines.append(entry);
        return;
    }
    const int line = FindKey(header, key);
    if (line >= 0) {
        QByteArray lineKey;
        QByteArray oldValue;
        SplitKeyValue(Trimmed(m_lines[line]), lineKey, oldValue);
        m_lines[line] = lineKey + '=' + OneLine(value);
        return;
    }
    // After the section's last non-blank line, so blank separators stay between sections.
    int insertAt = SectionEnd(header);
    while (insertAt > header + 1 && Trimmed(m_lines[insertAt - 1]).isEmpty()) {
        --insertAt;
    }
    m_lines.insert(insertAt, entry);
}

void IniFile::RemoveKey(const QString& section, const QString& key)
{
    const int header = FindSection(section);
    if (header < 0) {
        return;
    }
    const int line = FindKey(header, key);
    if (line >= 0) {
        m_lines.removeAt(line);
    }
}

void IniFile::RemoveSection(const QString& section)
{
    for (int header = FindSection(section); header >= 0; header = FindSection(section, header)) {
        m_lines.remove(header, SectionEnd(header) - header);
    }
}

bool IniFile::Save() const
{
    if (!m_writable) {
        return false;
    }
    const bool isNew = !QFileInfo::exists(m_path);
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    if (isNew) {
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    QByteArray content;
    if (m_bom) {
        content += kBom;
    }
    for (const auto& line : m_lines) {
        content += line;
        content += m_newline;
    }
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString IniFile::ReadString(const QString& path, const QString& section, const QString& key,
                            const QString& defaultValue, int bufferChars)
{
    return Load(path).String(section, key, defaultValue, bufferChars);
}

int IniFile::ReadInt(const QString& path, const QString& section, const QString& key, int defaultValue)
{
    return Load(path).Int(section, key, defaultValue);
}

bool IniFile::WriteString(const QString& path, const QString& section, const QString& key,
                          const QString& value)
{
    IniFile ini = Load(path);
    ini.SetValue(section, key, value);
    return ini.Save();
}
