#include "ScratchHistory.h"

#include "Cp932.h"
#include "ProgramFolder.h"

#include <QDir>

using namespace Qt::StringLiterals;

QString absoluteStoredPath(const QString& stored)
{
    return QDir::cleanPath(ProgramFolder::resolveExeRelativePath(ProgramFolder::fromStoredPath(stored), false));
}

QStringList ReadScratchHistory(const QByteArray& bytes)
{
    // Each line stands on its own: a byte spoilt by a hand edit costs its line only. A line cut at
    // the end of what is read would name another file. 0x0A is never a trail byte in code page 932.
    QByteArray read = bytes;
    if (read.size() > ScratchHistoryBytes) {
        read.truncate(ScratchHistoryBytes);
        read.truncate(read.lastIndexOf('\n') + 1);
    }
    QStringList entries, seen;
    for (const QByteArray& raw : read.split('\n')) {
        bool ok = true;
        const QString line = Cp932::decode(raw.endsWith('\r') ? raw.chopped(1) : raw, &ok);
        if (!ok || line.trimmed().isEmpty())
            continue;
        // Paths in another case are other files here.
        const QString absolute = absoluteStoredPath(line);
        if (seen.contains(absolute))
            continue;
        seen += absolute;
        entries += line;
        if (entries.size() == ScratchHistoryEntries)
            break;
    }
    return entries;
}

void ScratchHistoryChanges::added(const QString& stored)
{
    const QString key = absoluteStoredPath(stored);
    m_added.removeIf([&key](const QString& entry) { return absoluteStoredPath(entry) == key; });
    m_added.prepend(stored);
}

void ScratchHistoryChanges::cleared(bool fileDeleted)
{
    m_added.clear();
    m_cleared = !fileDeleted;
}

QStringList ScratchHistoryChanges::merged(const QStringList& file) const
{
    QStringList entries, keys;
    const auto take = [&](const QStringList& from) {
        for (const QString& stored : from) {
            if (entries.size() == ScratchHistoryEntries)
                return;
            const QString key = absoluteStoredPath(stored);
            if (keys.contains(key))
                continue;
            keys += key;
            entries += stored;
        }
    };
    take(m_added);
    if (!m_cleared)
        take(file);
    return entries;
}
