#include "DocumentFile.h"

#include "Prompter.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// An editor's save comes as several events (a write in pieces, a delete and a rename): the file
// is looked at once they have settled.
constexpr int SettleMs = 200;
constexpr int BusyRetryMs = 250;

} // namespace

void DocumentFile::saw(const QString& path, const FileOps::Seen& seen)
{
    ++m_generation;
    m_path = QFileInfo(path).absoluteFilePath();
    m_seen = seen;
    m_agreed = FileOps::Seen();
}

void DocumentFile::forget()
{
    ++m_generation;
    m_path.clear();
    m_seen = FileOps::Seen();
    m_agreed = FileOps::Seen();
}

bool DocumentFile::changedOutside(const QString& path) const
{
    // No entry is the same as a missing one: a file that went holds nothing to lose.
    if (m_path.isEmpty() || !FileOps::sameEntry(path, m_path))
        return false;
    if (!FileOps::changedSince(path, m_seen, m_maxBytes))
        return false;
    return !m_agreed.exists || FileOps::changedSince(path, m_agreed, m_maxBytes);
}

bool DocumentFile::mayReplace(QWidget* parent, const QString& path, const QString& question)
{
    if (!changedOutside(path))
        return true;
    // What the user is asked about is the file as it is now; a change after the answer asks again.
    const FileOps::Seen now = FileOps::seen(path, m_maxBytes);
    if (Prompter::ask(parent, question, Prompter::Buttons::YesNo, Prompter::Answer::No) != Prompter::Answer::Yes)
        return false;
    m_agreed = now;
    return true;
}

QString DocumentFile::question(const QString& what, const QString& where)
{
    return what + u"は，"_s + (where.isEmpty() ? QString() : where + u" で"_s)
           + u"開いた後に，ほかで変更されています。\r\n上書き保存しますか。"_s;
}

DocumentFileWatch::DocumentFileWatch(const DocumentFile& file, QObject* parent)
    : QObject(parent)
    , m_file(file)
{
    m_check.setSingleShot(true);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &DocumentFileWatch::noticed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &DocumentFileWatch::noticed);
    connect(&m_check, &QTimer::timeout, this, &DocumentFileWatch::check);
}

void DocumentFileWatch::start()
{
    stop();
    m_path = m_file.path();
    if (!m_path.isEmpty())
        rearm();
}

void DocumentFileWatch::stop()
{
    m_check.stop();
    m_heldBack = false;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_path.clear();
    m_told = FileOps::Seen();
}

void DocumentFileWatch::rearm()
{
    // A watch stays with the file it was put on; one put in its place by a rename is watched anew.
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
    // The folders tell of a file replaced, removed or made again (the link's and its file's).
    for (const QString& folder :
         {QFileInfo(m_path).absolutePath(), QFileInfo(FileOps::writeTarget(m_path)).absolutePath()})
        if (!m_watcher.directories().contains(folder) && QFileInfo(folder).isDir())
            m_watcher.addPath(folder);
}

void DocumentFileWatch::noticed()
{
    if (m_file.path() != m_path) {
        stop();
        return;
    }
    rearm();
    m_check.start(SettleMs);
}

void DocumentFileWatch::check()
{
    if (m_file.path() != m_path) {
        stop();
        return;
    }
    m_heldBack = m_busy && m_busy();
    if (m_heldBack) {
        m_check.start(BusyRetryMs);
        return;
    }
    const FileOps::Seen now = FileOps::seen(m_path, m_file.maxBytes());
    // Gone, or between an editor's delete and its rename: the folder tells when it is back.
    if (!now.exists || now == m_file.seen())
        return;
    if (now == m_told && m_file.generation() == m_toldAt)
        return;
    m_told = now;
    m_toldAt = m_file.generation();
    emit changedOutside();
}
