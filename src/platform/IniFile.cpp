#include "platform/IniFile.h"

#include "platform/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
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

// Text of a name or value. QString::fromUtf8 drops a leading U+FEFF as a byte-order mark, which
// would lose a value beginning with that character; the file's own mark is handled by Parse.
QString FromUtf8(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

bool IsSectionHeader(const QByteArray& trimmedLine)
{
    return trimmedLine.startsWith('[');
}

QString SectionName(const QByteArray& trimmedLine)
{
    // The last "]" closes the name: a registry key name may hold "]" itself.
    const auto close = trimmedLine.lastIndexOf(']');
    const QByteArray inner = close < 0 ? trimmedLine.mid(1) : trimmedLine.mid(1, close - 1);
    return FromUtf8(Trimmed(inner));
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
    QFile file(path);
    if (!info.isFile() || info.size() > kMaxFileSize || !file.open(QIODevice::ReadOnly)) {
        ini.m_writable = false;
        return ini;
    }
    // Room for what the file holds (not for the largest file allowed: every lookup reads the file
    // again), then whatever it gained meanwhile, up to the limit.
    QByteArray content = file.read(std::min(file.size(), kMaxFileSize + 1));
    if (content.size() <= kMaxFileSize && !file.atEnd()) {
        content += file.read(kMaxFileSize + 1 - content.size());
    }
    if (content.size() > kMaxFileSize) {
        ini.m_writable = false;
        return ini;
    }
    ini.Parse(std::move(content));
    return ini;
}

IniFile IniFile::FromContent(const QString& path, QByteArray content)
{
    IniFile ini;
    ini.m_path = path;
    ini.Parse(std::move(content));
    return ini;
}

void IniFile::Parse(QByteArray content)
{
    if (content.startsWith(kBom)) {
        m_bom = true;
        content.remove(0, 3);
    }
    const auto firstBreak = content.indexOf('\n');
    if (firstBreak > 0 && content[firstBreak - 1] == '\r') {
        m_newline = "\r\n";
    }
    if (content.endsWith('\n')) {
        content.chop(1);
    }
    if (!content.isEmpty()) {
        m_lines = content.split('\n');
        for (auto& line : m_lines) {
            if (line.endsWith('\r')) {
                line.chop(1);
            }
        }
    }
    Reindex();
}

void IniFile::Reindex()
{
    m_sections.clear();
    for (int i = 0; i < m_lines.size(); ++i) {
        const QByteArray trimmed = Trimmed(m_lines[i]);
        if (IsSectionHeader(trimmed)) {
            if (!m_sections.isEmpty()) {
                m_sections.back().end = i;
            }
            m_sections.append({SectionName(trimmed), i, -1, {}});
            continue;
        }
        QByteArray key;
        QByteArray value;
        if (!m_sections.isEmpty() && SplitKeyValue(trimmed, key, value)) {
            m_sections.back().entries.append({FromUtf8(key), FromUtf8(value), i});
        }
    }
    if (!m_sections.isEmpty()) {
        m_sections.back().end = static_cast<int>(m_lines.size());
    }
}

const IniFile::Section* IniFile::FindSection(const QString& section) const
{
    for (const Section& candidate : m_sections) {
        if (SameName(candidate.name, section)) {
            return &candidate;
        }
    }
    return nullptr;
}

const IniFile::Entry* IniFile::FindEntry(const Section& section, const QString& key)
{
    for (const Entry& entry : section.entries) {
        if (SameName(entry.key, key)) {
            return &entry;
        }
    }
    return nullptr;
}

std::optional<QString> IniFile::Value(const QString& section, const QString& key) const
{
    const Section* found = FindSection(section);
    const Entry* entry = found != nullptr ? FindEntry(*found, key) : nullptr;
    if (entry == nullptr) {
        return std::nullopt;
    }
    const QString& value = entry->value;
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front()) {
        return value.mid(1, value.size() - 2);
    }
    return value;
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
    const Section* found = FindSection(section);
    if (found == nullptr) {
        if (!m_lines.isEmpty() && !Trimmed(m_lines.back()).isEmpty()) {
            m_lines.append(QByteArray());
        }
        m_lines.append('[' + OneLine(section) + ']');
        m_lines.append(OneLine(key) + '=' + OneLine(value));
    } else if (const Entry* entry = FindEntry(*found, key)) {
        // The key keeps the spelling the file gave it.
        m_lines[entry->line] = entry->key.toUtf8() + '=' + OneLine(value);
    } else {
        // After the section's last non-blank line, so blank separators stay between sections.
        int insertAt = found->end;
        while (insertAt > found->header + 1 && Trimmed(m_lines[insertAt - 1]).isEmpty()) {
            --insertAt;
        }
        m_lines.insert(insertAt, OneLine(key) + '=' + OneLine(value));
    }
    Reindex();
}

void IniFile::RemoveKey(const QString& section, const QString& key)
{
    const Section* found = FindSection(section);
    const Entry* entry = found != nullptr ? FindEntry(*found, key) : nullptr;
    if (entry != nullptr) {
        m_lines.removeAt(entry->line);
        Reindex();
    }
}

void IniFile::RemoveSection(const QString& section)
{
    // Every section of that name, in one pass: a damaged file may repeat a header many thousand
    // times, and indexing again after each removal would take time by the square of that.
    QList<QByteArray> kept;
    int from = 0;
    for (const Section& candidate : m_sections) {
        if (SameName(candidate.name, section)) {
            kept.append(m_lines.mid(from, candidate.header - from));
            from = candidate.end;
        }
    }
    if (from == 0) {
        return;
    }
    kept.append(m_lines.mid(from));
    m_lines = std::move(kept);
    Reindex();
}

QByteArray IniFile::Content() const
{
    QByteArray content;
    if (m_bom) {
        content += kBom;
    }
    for (const auto& line : m_lines) {
        content += line;
        content += m_newline;
    }
    return content;
}

bool IniFile::Save(QString* error) const
{
    if (!m_writable) {
        if (error != nullptr) {
            *error = QStringLiteral("%1 could not be read, so it is not overwritten").arg(m_path);
        }
        return false;
    }
    return AtomicFile::Write(m_path, Content(), AtomicFile::FileAccess::OwnerOnly, error);
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
                          const QString& value, QString* error)
{
    IniFile ini = Load(path);
    ini.SetValue(section, key, value);
    return ini.Save(error);
}
