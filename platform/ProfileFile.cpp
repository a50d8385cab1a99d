#include "ProfileFile.h"

#include "AsciiCase.h"
#include "Cp932.h"
#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// Only ASCII blanks: a full-width space is part of a Japanese name, not padding.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\v' || c == u'\f' || c == u'\r' || c == u'\n';
}

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool hasLineBreak(const QString& text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

QString fileError(const QString& what, const QString& path, const QString& reason)
{
    return u"%1: %2 (%3)"_s.arg(what, QDir::toNativeSeparators(path), reason);
}

} // namespace

bool ProfileFile::exists() const
{
    return QFileInfo(m_path).isFile();
}

bool ProfileFile::load(QString* error)
{
    m_sections.clear();
    QFile file(m_path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = fileError(u"設定ファイルを読めません"_s, m_path, file.errorString());
        return false;
    }
    return loadBytes(file.readAll(), error);
}

bool ProfileFile::loadBytes(const QByteArray& bytes, QString* error)
{
    // Built apart and taken over only when whole: a refused file leaves what was loaded before.
    std::vector<Section> sections;
    bool ok = true;
    qsizetype badOffset = -1;
    const QString text = Cp932::decode(bytes, &ok, &badOffset);
    if (!ok) {
        if (error)
            *error = fileError(u"設定ファイルを読めません"_s, m_path,
                               u"%1 バイト目が Shift-JIS の文字ではありません"_s.arg(badOffset + 1));
        return false;
    }

    QStringList lines = text.split(u'\n');
    // A final line break ends the last line rather than starting an empty one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString trimmed = trimBlanks(line);
        // As the profile functions read it: "[" up to the last "]" names a section; a line with
        // no "]" is no header but a key line like any other.
        const qsizetype close = trimmed.startsWith(u'[') ? trimmed.lastIndexOf(u']') : -1;
        if (close > 0) {
            Section section;
            section.name = trimBlanks(QStringView(trimmed).sliced(1, close - 1));
            section.header = line;
            sections.push_back(std::move(section));
            continue;
        }
        if (sections.empty()) {
            Section preamble;
            preamble.hasHeader = false;
            sections.push_back(std::move(preamble));
        }
        Entry entry;
        entry.text = line;
        const qsizetype equals = line.indexOf(u'=');
        entry.isKey = !trimmed.startsWith(u';') && equals >= 0;
        if (entry.isKey) {
            entry.key = trimBlanks(QStringView(line).first(equals));
            entry.value = trimBlanks(QStringView(line).sliced(equals + 1));
            // "=value" names no key; keep the line but never find it.
            entry.isKey = !entry.key.isEmpty();
        }
        sections.back().entries.push_back(std::move(entry));
    }
    m_sections = std::move(sections);
    return true;
}

bool ProfileFile::save(QString* error) const
{
    const std::optional<QByteArray> bytes = toBytes(error);
    return bytes && FileOps::writeFileAtomic(m_path, *bytes, error);
}

std::optional<QByteArray> ProfileFile::toBytes(QString* error) const
{
    QString text;
    const auto addLine = [&text](const QString& line) {
        text += line;
        text += u"\r\n"_s;
    };
    for (const Section& section : m_sections) {
        if (section.hasHeader) {
            if (hasLineBreak(section.name)) {
                if (error)
                    *error = fileError(u"設定ファイルに書き込めません"_s, m_path,
                                       u"セクション名に改行があります"_s);
                return std::nullopt;
            }
            addLine(section.header.isEmpty() ? u"["_s + section.name + u"]"_s : section.header);
        }
        for (const Entry& entry : section.entries) {
            if (!entry.isKey || !entry.text.isEmpty()) {
                addLine(entry.text);
                continue;
            }
            // A line break would split the entry into a cut value and a stray line.
            if (hasLineBreak(entry.key) || hasLineBreak(entry.value)) {
                if (error)
                    *error = fileError(u"設定ファイルに書き込めません"_s, m_path,
                                       u"[%1] %2 に改行があります"_s.arg(section.name, entry.key.simplified()));
                return std::nullopt;
            }
            addLine(entry.key + u"="_s + entry.value);
        }
    }

    bool ok = true;
    QString unencodable;
    const QByteArray bytes = Cp932::encode(text, &ok, &unencodable);
    if (!ok) {
        if (error)
            *error = fileError(u"設定ファイルに書き込めません"_s, m_path,
                               u"Shift-JIS で表せない文字があります: %1"_s.arg(unencodable));
        return std::nullopt;
    }
    return bytes;
}

ProfileFile::Section* ProfileFile::find(const QString& section)
{
    const QString name = trimBlanks(section);
    for (Section& s : m_sections)
        if (s.hasHeader && AsciiCase::equal(s.name, name))
            return &s;
    return nullptr;
}

const ProfileFile::Section* ProfileFile::find(const QString& section) const
{
    return const_cast<ProfileFile*>(this)->find(section);
}

QString ProfileFile::readString(const QString& section, const QString& key, const QString& defaultValue) const
{
    QString value = defaultValue;
    if (const Section* s = find(section)) {
        const QString name = trimBlanks(key);
        for (const Entry& entry : s->entries)
            if (entry.isKey && AsciiCase::equal(entry.key, name)) {
                value = entry.value;
                break;
            }
    }
    // The programs read through a buffer of MaxValueLength + 1 characters.
    value.truncate(MaxValueLength);
    return value;
}

int ProfileFile::readInteger(const QString& section, const QString& key, int defaultValue) const
{
    const QString text = trimBlanks(readString(section, key, QString()));
    const qsizetype digitsFrom = text.startsWith(u'-') || text.startsWith(u'+') ? 1 : 0;
    if (text.size() == digitsFrom)
        return defaultValue;
    for (qsizetype i = digitsFrom; i < text.size(); ++i)
        if (text[i] < u'0' || text[i] > u'9')
            return defaultValue;
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

QStringList ProfileFile::keys(const QString& section) const
{
    QStringList result;
    const Section* s = find(section);
    if (!s)
        return result;
    for (const Entry& entry : s->entries) {
        if (!entry.isKey)
            continue;
        const bool seen = std::any_of(result.cbegin(), result.cend(),
                                      [&entry](const QString& k) { return AsciiCase::equal(k, entry.key); });
        if (!seen)
            result.append(entry.key);
    }
    return result;
}

void ProfileFile::writeString(const QString& section, const QString& key, const QString& value)
{
    const QString name = trimBlanks(key);
    if (name.isEmpty())
        return;
    Section* s = find(section);
    if (!s) {
        Section added;
        added.name = trimBlanks(section);
        m_sections.push_back(std::move(added));
        s = &m_sections.back();
    }
    for (Entry& entry : s->entries)
        if (entry.isKey && AsciiCase::equal(entry.key, name)) {
            // The key keeps the spelling it already has.
            entry.value = trimBlanks(value);
            entry.text.clear();
            return;
        }
    // After the last line with something on it, so the blank lines before the next section stay
    // where they are.
    auto at = s->entries.end();
    while (at != s->entries.begin()) {
        const Entry& before = *(at - 1);
        if (before.isKey || !trimBlanks(before.text).isEmpty())
            break;
        --at;
    }
    Entry entry;
    entry.key = name;
    entry.value = trimBlanks(value);
    s->entries.insert(at, std::move(entry));
}

void ProfileFile::eraseSection(const QString& section)
{
    const QString name = trimBlanks(section);
    // Every copy goes: erasing only the first would bring an older one of the same name to light.
    std::erase_if(m_sections, [&name](const Section& s) { return s.hasHeader && AsciiCase::equal(s.name, name); });
}
