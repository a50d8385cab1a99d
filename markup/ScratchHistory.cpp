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
