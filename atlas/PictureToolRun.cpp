#include "PictureToolRun.h"

#include "FileLock.h"
#include "MapFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <optional>

using namespace Qt::StringLiterals;

namespace PictureToolRun {

namespace {

const QString RecordPrefix = u".~run-"_s;
// A record is a few lines; anything larger is no record of ours.
constexpr qint64 MaxRecordBytes = 64 * 1024;

struct Content {
    QString relative;
    FileOps::Seen asMade;
};

// A path below the root, never one that leads out of it.
bool isBelow(const QString& relative)
{
    const QString clean = QDir::cleanPath(relative);
    return !clean.isEmpty() && clean != u"."_s && clean != u".."_s && !clean.startsWith(u"../"_s)
           && !QDir::isAbsolutePath(clean);
}

// "<size>\n<SHA-256 in hex>\n<path below the root, as the file system spells it>".
QByteArray recordText(const QString& relative, const FileOps::Seen& asMade)
{
    return QByteArray::number(asMade.size) + '\n' + asMade.digest.toHex() + '\n' + QFile::encodeName(relative);
}

std::optional<Content> parse(const QByteArray& bytes)
{
    const qsizetype first = bytes.indexOf('\n');
    const qsizetype second = first < 0 ? -1 : bytes.indexOf('\n', first + 1);
    if (second < 0)
        return std::nullopt;
    Content c;
    bool ok = false;
    c.asMade.exists = true;
    c.asMade.size = bytes.left(first).toLongLong(&ok);
    c.asMade.digest = QByteArray::fromHex(bytes.mid(first + 1, second - first - 1));
    c.relative = QFile::decodeName(bytes.mid(second + 1));
    if (!ok || c.asMade.size < 0 || c.asMade.digest.size() != 32 || !isBelow(c.relative))
        return std::nullopt;
    return c;
}

} // namespace

QString result(const QString& workingCopy, const FileOps::Seen& asMade, const QString& handedBack)
{
    if (!handedBack.isEmpty()) {
        if (FileOps::sameEntry(handedBack, workingCopy))
            return workingCopy;
        if (QFileInfo(handedBack).isFile())
            return handedBack;
    }
    // A copy the tool removed brought nothing; a size of its own tells a change without reading.
    return QFileInfo(workingCopy).isFile() && FileOps::changedSince(workingCopy, asMade) ? workingCopy : QString();
}

bool Record::begin(const QString& root, const QString& workingCopy, const FileOps::Seen& asMade)
{
    end();
    const QString relative = QDir(root).relativeFilePath(workingCopy);
    if (!isBelow(relative))
        return false;
    const QByteArray text = recordText(relative, asMade);
    static std::atomic<int> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path =
            root + u'/' + RecordPrefix + u"%1-%2"_s.arg(QCoreApplication::applicationPid()).arg(++counter);
        // Made exclusively and held before anything is written, so a start meanwhile never takes a
        // record being written for a dead one.
        switch (m_hold.claim(path)) {
        case FileOps::FileHold::Claim::Made:
            if (!FileOps::writeFileSynced(path, text)) {
                FileOps::deleteFile(path);
                m_hold.release();
                return false;
            }
            m_path = path;
            return true;
        case FileOps::FileHold::Claim::Taken:
            continue;
        case FileOps::FileHold::Claim::Failed:
            return false;
        }
    }
    return false;
}

void Record::end()
{
    if (m_path.isEmpty())
        return;
    // Deleted while still held: nobody ever sees it unheld.
    FileOps::deleteFile(m_path);
    leave();
}

void Record::leave()
{
    m_hold.release();
    m_path.clear();
}

bool isRecordName(const QString& fileName)
{
    return fileName.startsWith(RecordPrefix);
}

void recoverDeadRuns(const QString& root, MapFolders::KeptAside& aside)
{
    const QStringList names = QDir(root).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (!isRecordName(name))
            continue;
        const QString path = root + u'/' + name;
        // Only under its lock: a live run holds its record, and one being made is held before it
        // is written.
        const FileLock lock(path);
        if (!lock.held())
            continue;
        QByteArray bytes;
        const std::optional<Content> record =
            FileOps::readFile(path, MaxRecordBytes, bytes) ? parse(bytes) : std::nullopt;
        if (record) {
            const QString copy = root + u'/' + record->relative;
            const QFileInfo info(copy);
            if (info.isFile()) {
                // The picture is still open in a program: a later start looks again.
                if (FileOps::isHeld(copy))
                    continue;
                const bool dealtWith = FileOps::changedSince(copy, record->asMade) ? aside.take(record->relative)
                                                                                   : FileOps::deleteFile(copy);
                if (!dealtWith)
                    continue;
            }
        }
        FileOps::deleteFile(path);
    }
}

} // namespace PictureToolRun
