#include "FileHistory.h"

#include "Cp932.h"
#include "FileOps.h"
#include "ProfileFile.h"
#include "ProgramFolder.h"

#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

bool FileHistory::load(const QString& historyFile, QString* why)
{
    m_lines.clear();
    m_hasClearItem = false;
    if (!QFileInfo::exists(historyFile))
        return true;
    QByteArray bytes;
    if (!FileOps::readFile(historyFile, FileOps::ReadLimit::Settings, bytes, nullptr, why))
        return false;
    loadBytes(bytes);
    return true;
}

QList<FileHistory::Line> FileHistory::parse(const QByteArray& bytes)
{
    // Split before decoding: code page 932 never uses CR or LF inside a character, so a stray
    // byte spoils its own line only.
    QByteArray text = bytes;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    QList<QByteArray> raws = text.split('\n');
    if (raws.last().isEmpty())
        raws.removeLast();
    QList<Line> lines;
    for (const QByteArray& raw : raws) {
        Line line;
        line.bytes = raw;
        line.path = Cp932::decode(raw, &line.readable);
        lines.append(line);
    }
    return lines;
}

// "\" and "/" spell one path; letters in other case are another file here.
QString FileHistory::key(const Line& line)
{
    return line.readable ? ProgramFolder::resolveExeRelativePath(line.path, false) : QString();
}

void FileHistory::loadBytes(const QByteArray& bytes)
{
    m_lines = parse(bytes);
    m_added.clear();
    m_cleared = false;
    m_hasClearItem = !m_lines.isEmpty();
    m_clearFromFile = true;
}

void FileHistory::add(const QString& mapPath)
{
    if (!m_hasClearItem) {
        m_hasClearItem = true;
        m_clearFromFile = false;
    }
    const QString stored = ProgramFolder::resolveExeRelativePath(mapPath, true);
    // A stored "\" reads back as a folder separator.
    const QString fault = mapPath.contains(u'\\') ? u"\"\\\""_s : ProfileFile::storeFault(stored);
    if (!fault.isEmpty()) {
        if (!m_refused.contains(mapPath)) {
            m_refused.insert(mapPath);
            if (onRefused)
                onRefused(mapPath, fault);
        }
        return;
    }
    const Line added{stored, QByteArray(), true};
    const QString addedKey = key(added);
    for (qsizetype i = 0; i < m_lines.size(); ++i)
        if (key(m_lines.at(i)) == addedKey) {
            m_lines.removeAt(i);
            break;
        }
    m_lines.prepend(added);
    if (m_lines.size() > MaxFiles)
        m_lines.removeLast();
    m_added.removeIf([&](const QString& path) { return key({path, QByteArray(), true}) == addedKey; });
    m_added.prepend(stored);
    if (m_added.size() > MaxFiles)
        m_added.removeLast();
}

bool FileHistory::save(const QString& historyFile, QString* error)
{
    // A settings folder that went while the program ran is made again with the list this program
    // knows, as every file it keeps; a history file gone alone was cleared by another program.
    const bool folderWent = !QFileInfo(QFileInfo(historyFile).absolutePath()).isDir();
    if (!m_kept || (m_added.isEmpty() && !m_cleared && !folderWent))
        return true;
    QList<Line> file;
    if (!m_cleared && folderWent) {
        file = m_lines;
    } else if (!m_cleared && QFileInfo::exists(historyFile)) {
        // A file that cannot be read is written over with what this program knows.
        QByteArray bytes;
        file = FileOps::readFile(historyFile, FileOps::ReadLimit::Settings, bytes) ? parse(bytes) : m_lines;
    }
    // The file's own lines beyond twelve stay as load() keeps them: each map put on top takes
    // the oldest one's place.
    const qsizetype limit = std::max<qsizetype>(MaxFiles, file.size());
    QList<Line> lines;
    QSet<QString> keys;
    for (const QString& path : std::as_const(m_added)) {
        if (lines.size() == limit)
            break;
        lines.append({path, QByteArray(), true});
        keys.insert(key(lines.last()));
    }
    for (const Line& line : std::as_const(file))
        if (lines.size() < limit && (!line.readable || !keys.contains(key(line))))
            lines.append(line);
    m_lines = lines;
    if (m_lines.isEmpty() ? !FileOps::deleteFile(historyFile, error)
                          : !FileOps::writeKeptFile(historyFile, toBytes(), error))
        return false;
    m_added.clear();
    m_cleared = false;
    return true;
}

QByteArray FileHistory::toBytes() const
{
    QByteArray bytes;
    for (const Line& line : m_lines) {
        bytes += line.bytes.isEmpty() ? Cp932::encode(line.path) : line.bytes;
        bytes += "\r\n";
    }
    return bytes;
}

void FileHistory::clear(const QString& historyFile)
{
    m_lines.clear();
    m_hasClearItem = false;
    m_added.clear();
    // Nothing the file held may come back with a later write.
    m_cleared = !FileOps::deleteFile(historyFile);
}

QStringList FileHistory::entries() const
{
    QStringList paths;
    for (const Line& line : m_lines)
        if (line.readable)
            paths.append(line.path);
    return paths;
}

QString FileHistory::clearCaption() const
{
    return m_clearFromFile ? u"履歴の消去(&T)"_s : u"履歴の消去"_s;
}
