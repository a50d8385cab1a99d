#include "FileHistory.h"

#include "Cp932.h"
#include "FileOps.h"
#include "ProfileFile.h"
#include "ProgramFolder.h"

#include <QFileInfo>

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

void FileHistory::loadBytes(const QByteArray& bytes)
{
    m_lines.clear();
    // Split before decoding: code page 932 never uses CR or LF inside a character, so a stray
    // byte spoils its own line only.
    QByteArray text = bytes;
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    QList<QByteArray> lines = text.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (const QByteArray& raw : lines) {
        Line line;
        line.bytes = raw;
        line.path = Cp932::decode(raw, &line.readable);
        m_lines.append(line);
    }
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
    // "\" and "/" spell one path; letters in other case are another file here.
    const QString key = ProgramFolder::resolveExeRelativePath(stored, false);
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line& line = m_lines.at(i);
        if (line.readable && ProgramFolder::resolveExeRelativePath(line.path, false) == key) {
            m_lines.removeAt(i);
            break;
        }
    }
    m_lines.prepend({stored, QByteArray(), true});
    if (m_lines.size() > MaxFiles)
        m_lines.removeLast();
}

bool FileHistory::save(const QString& historyFile, QString* error) const
{
    if (m_lines.isEmpty() || !m_kept)
        return true;
    return FileOps::writeKeptFile(historyFile, toBytes(), error);
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
    FileOps::deleteFile(historyFile);
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
