#include "ScratchHistory.h"

#include "Cp932.h"
#include "ProgramFolder.h"

#include <QDir>

#include <algorithm>

using namespace Qt::StringLiterals;

QString absoluteStoredPath(const QString& stored)
{
    return QDir::cleanPath(ProgramFolder::resolveExeRelativePath(ProgramFolder::fromStoredPath(stored), false));
}

QStringList ReadScratchHistory(const QByteArray& bytes)
{
    // What decodes before a damaged byte is kept; the file is ours, but a hand edit may spoil it.
    const QString text = Cp932::decode(bytes.first(std::min<qsizetype>(bytes.size(), 64 * 1024)));
    QStringList entries, seen;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.endsWith(u'\r') ? raw.chopped(1) : raw;
        if (line.trimmed().isEmpty())
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
