#include "FileHistory.h"

#include "Cp932.h"
#include "FileOps.h"
#include "ProgramFolder.h"

#include <QFile>

using namespace Qt::StringLiterals;

void FileHistory::load(const QString& historyFile)
{
    m_entries.clear();
    m_hasClearItem = false;
    QFile f(historyFile);
    if (f.open(QIODevice::ReadOnly))
        loadBytes(f.readAll());
}

void FileHistory::loadBytes(const QByteArray& bytes)
{
    QString text = Cp932::decode(bytes);
    text.replace(u"\r\n"_s, u"\n"_s);
    text.replace(u'\r', u'\n');
    m_entries = text.split(u'\n');
    if (text.endsWith(u'\n') || text.isEmpty())
        m_entries.removeLast();
    m_hasClearItem = !m_entries.isEmpty();
    m_clearFromFile = true;
}

void FileHistory::add(const QString& mapPath)
{
    if (!m_hasClearItem) {
        m_hasClearItem = true;
        m_clearFromFile = false;
    }
    const QString stored = ProgramFolder::resolveExeRelativePath(mapPath, true);
    // The file holds code page 932; a path it cannot hold would come back as another path.
    bool encodable = true;
    Cp932::encode(stored, &encodable);
    if (!encodable)
        return;
    // "\" and "/" spell one path; letters in other case are another file here.
    const QString key = ProgramFolder::resolveExeRelativePath(stored, false);
    for (qsizetype i = 0; i < m_entries.size(); ++i) {
        if (ProgramFolder::resolveExeRelativePath(m_entries.at(i), false) == key) {
            m_entries.removeAt(i);
            break;
        }
    }
    m_entries.prepend(stored);
    if (m_entries.size() > MaxFiles)
        m_entries.removeLast();
}

bool FileHistory::save(const QString& historyFile, QString* error) const
{
    if (m_entries.isEmpty())
        return true;
    return FileOps::writeFileAtomic(historyFile, toBytes(), error);
}

QByteArray FileHistory::toBytes() const
{
    QString text;
    for (const QString& e : m_entries)
        text += e + u"\r\n"_s;
    return Cp932::encode(text);
}

void FileHistory::clear(const QString& historyFile)
{
    m_entries.clear();
    m_hasClearItem = false;
    FileOps::deleteFile(historyFile);
}

QString FileHistory::clearCaption() const
{
    return m_clearFromFile ? u"履歴の消去(&T)"_s : u"履歴の消去"_s;
}
