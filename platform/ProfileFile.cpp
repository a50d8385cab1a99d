#include "ProfileFile.h"

#include "AsciiCase.h"
#include "Cp932.h"
#include "FileOps.h"

#include <QDir>
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

QString fileError(const QString& what, const QString& path, const QString& reason)
{
    return u"%1: %2 (%3)"_s.arg(what, QDir::toNativeSeparators(path), reason);
}

bool isBlankByte(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

// Where a line no code page 932 decoder reads would be a header: '[' first and a ']' later. A ']'
// may be the second byte of a character, but such a header names no section either way.
bool looksLikeHeader(const QByteArray& line)
{
    qsizetype at = 0;
    while (at < line.size() && isBlankByte(line[at]))
        ++at;
    return at < line.size() && line[at] == '[' && line.indexOf(']', at + 1) > at;
}

} // namespace

bool ProfileFile::exists() const
{
    return QFileInfo(m_path).isFile();
}

bool ProfileFile::load(QString* error)
{
    m_sections.clear();
    m_unreadable.clear();
    // A link to no file is no file either.
    if (!QFileInfo::exists(m_path))
        return true;
    QByteArray bytes;
    QString reason;
    if (!FileOps::readFile(m_path, FileOps::ReadLimit::Settings, bytes, nullptr, &reason)) {
        if (error)
            *error = fileError(u"設定ファイルを読めません"_s, m_path, reason);
        return false;
    }
    loadBytes(bytes);
    return true;
}

void ProfileFile::loadBytes(const QByteArray& bytes)
{
    m_sections.clear();
    m_unreadable.clear();
    // Line by line: code page 932 never uses CR or LF inside a character, so a stray byte spoils
    // its own line only.
    QList<QByteArray> lines = bytes.split('\n');
    // A final line break ends the last line rather than starting an empty one.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (qsizetype number = 0; number < lines.size(); ++number) {
        QByteArray& raw = lines[number];
        if (raw.endsWith('\r'))
            raw.chop(1);
        bool readable = true;
        const QString line = Cp932::decode(raw, &readable);
        if (!readable)
            m_unreadable.append(int(number + 1));
        const QString trimmed = trimBlanks(line);
        // As the profile functions read it: "[" up to the last "]" names a section; a line with
        // no "]" is no header but a key line like any other.
        const qsizetype close = trimmed.startsWith(u'[') ? trimmed.lastIndexOf(u']') : -1;
        if (readable ? close > 0 : looksLikeHeader(raw)) {
            Section section;
            if (readable)
                section.name = trimBlanks(QStringView(trimmed).sliced(1, close - 1));
            section.header = raw;
            section.fromFile = true;
            section.readable = readable;
            m_sections.push_back(std::move(section));
            continue;
        }
        if (m_sections.empty()) {
            Section preamble;
            preamble.hasHeader = false;
            preamble.fromFile = true;
            m_sections.push_back(std::move(preamble));
        }
        Entry entry;
        entry.bytes = raw;
        entry.readable = readable;
        const qsizetype equals = line.indexOf(u'=');
        entry.isKey = readable && !trimmed.startsWith(u';') && equals >= 0;
        if (entry.isKey) {
            entry.key = trimBlanks(QStringView(line).first(equals));
            entry.value = trimBlanks(QStringView(line).sliced(equals + 1));
            // "=value" names no key; keep the line but never find it.
            entry.isKey = !entry.key.isEmpty();
        }
        m_sections.back().entries.push_back(std::move(entry));
    }
}

QString ProfileFile::storeFault(const QString& text)
{
    for (const QChar c : text) {
        if (c == u'\n' || c == u'\r')
            return u"改行"_s;
        if (c.category() == QChar::Other_Control)
            return c == u'\t'
                       ? u"タブ"_s
                       : u"制御文字（U+%1）"_s.arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    QString failing;
    if (Cp932::canStore(text, &failing))
        return QString();
    QStringList quoted;
    for (qsizetype i = 0; i < failing.size(); ++i) {
        const qsizetype len = failing.at(i).isHighSurrogate() && i + 1 < failing.size() ? 2 : 1;
        quoted << u"\""_s + failing.mid(i, len) + u"\""_s;
        i += len - 1;
    }
    return quoted.join(u' ');
}

bool ProfileFile::save(QString* error, QStringList* leftOut) const
{
    return FileOps::writeFileAtomic(m_path, toBytes(leftOut), error);
}

QByteArray ProfileFile::toBytes(QStringList* leftOut) const
{
    if (leftOut)
        leftOut->clear();
    QByteArray bytes;
    const auto addLine = [&bytes](const QByteArray& line) {
        bytes += line;
        bytes += "\r\n";
    };
    for (const Section& section : m_sections) {
        // A section made since whose name the file cannot hold takes its keys with it.
        const bool nameStored = section.fromFile || storeFault(section.name).isEmpty();
        if (section.hasHeader && nameStored)
            addLine(section.fromFile ? section.header : Cp932::encode(u"["_s + section.name + u"]"_s));
        for (const Entry& entry : section.entries) {
            if (!entry.written) {
                addLine(entry.bytes);
                continue;
            }
            QString fault = nameStored ? storeFault(entry.key) : storeFault(section.name);
            if (fault.isEmpty())
                fault = storeFault(entry.value);
            if (fault.isEmpty()) {
                addLine(Cp932::encode(entry.key + u"="_s + entry.value));
                continue;
            }
            if (leftOut)
                leftOut->append(u"[%1] %2（%3）"_s.arg(section.name, entry.key, fault));
            if (nameStored && !entry.bytes.isEmpty())
                addLine(entry.bytes);
        }
    }
    return bytes;
}

ProfileFile::Section* ProfileFile::find(const QString& section)
{
    const QString name = trimBlanks(section);
    for (Section& s : m_sections)
        if (s.hasHeader && s.readable && AsciiCase::equal(s.name, name))
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
            entry.written = true;
            return;
        }
    // After the last line with something on it, so the blank lines before the next section stay
    // where they are.
    auto at = s->entries.end();
    while (at != s->entries.begin()) {
        const Entry& before = *(at - 1);
        if (before.written || !std::all_of(before.bytes.cbegin(), before.bytes.cend(), isBlankByte))
            break;
        --at;
    }
    Entry entry;
    entry.key = name;
    entry.value = trimBlanks(value);
    entry.written = true;
    s->entries.insert(at, std::move(entry));
}

void ProfileFile::replaceKeys(const QString& section, const QStringList& replaced,
                              const QList<std::pair<QString, QString>>& keys)
{
    const auto sameKey = [](const QString& name) {
        return [name](const Entry& e) { return e.isKey && AsciiCase::equal(e.key, name); };
    };
    // A key given twice (in any case) is one key, as writeString would make it.
    std::vector<Entry> fresh;
    for (const auto& [key, value] : keys) {
        Entry entry;
        entry.key = trimBlanks(key);
        entry.value = trimBlanks(value);
        entry.written = true;
        if (entry.key.isEmpty())
            continue;
        const auto same = std::find_if(fresh.begin(), fresh.end(), sameKey(entry.key));
        if (same != fresh.end())
            same->value = entry.value;
        else
            fresh.push_back(std::move(entry));
    }

    Section* s = find(section);
    std::vector<Entry> lines;
    std::size_t next = 0;
    qsizetype lastSlot = -1;
    if (s) {
        for (Entry& line : s->entries) {
            const bool slot =
                line.isKey && std::any_of(replaced.cbegin(), replaced.cend(), [&line](const QString& name) {
                    return AsciiCase::equal(line.key, trimBlanks(name));
                });
            if (!slot) {
                lines.push_back(std::move(line));
                continue;
            }
            if (next == fresh.size())
                continue;
            Entry& taking = fresh[next++];
            if (AsciiCase::equal(taking.key, line.key)) {
                // The same key keeps its line untouched, or as the fallback of a new value.
                taking.written = taking.key != line.key || taking.value != line.value || line.written;
                taking.bytes = line.bytes;
            }
            lines.push_back(std::move(taking));
            lastSlot = qsizetype(lines.size()) - 1;
        }
        s->entries = std::move(lines);
    }
    if (lastSlot >= 0) {
        s->entries.insert(s->entries.begin() + lastSlot + 1, std::make_move_iterator(fresh.begin() + next),
                          std::make_move_iterator(fresh.end()));
        return;
    }
    for (; next < fresh.size(); ++next)
        writeString(section, fresh[next].key, fresh[next].value);
}

void ProfileFile::eraseSection(const QString& section)
{
    const QString name = trimBlanks(section);
    // Every copy goes: erasing only the first would bring an older one of the same name to light.
    std::erase_if(m_sections, [&name](Section& s) {
        if (!s.hasHeader || !s.readable || !AsciiCase::equal(s.name, name))
            return false;
        std::erase_if(s.entries, [](const Entry& e) { return e.readable; });
        return s.entries.empty();
    });
}
