#pragma once

#include "FileOps.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QWidget;

// What a program saw of a document's file: the content as it last read or wrote it. A save over
// that file asks first when its content has changed since (another program, an editor), No by
// default; the content decides, never a time stamp (FAT's clock moves in 2-second steps) nor
// which program wrote last. A file that has gone is written again without a question, and a file
// the document never read or wrote keeps only the save dialog's overwrite question.
class DocumentFile {
public:
    explicit DocumentFile(qint64 maxBytes)
        : m_maxBytes(maxBytes)
    {
    }

    // The document is now that of the file, which held `seen`: taken from the bytes as read or
    // written (FileOps::seenOf), or from the file just before it was read (FileOps::seen), so a
    // change while it was read counts as a change.
    void saw(const QString& path, const FileOps::Seen& seen);
    // The document has no file (a new one).
    void forget();

    const QString& path() const { return m_path; }
    const FileOps::Seen& seen() const { return m_seen; }
    qint64 maxBytes() const { return m_maxBytes; }
    // Counts the reads and writes (saw) and forget, so that a watch tells one from the next.
    quint64 generation() const { return m_generation; }

    // Whether a save to `path` would write over content put there since: the path leads to this
    // document's file and that file holds neither what was seen nor what the user already agreed
    // to replace.
    bool changedOutside(const QString& path) const;
    // True when the save may go on: nothing changed outside, or the user said Yes to `question`
    // (No is the default). A Yes holds for the content asked about, until the next read or write.
    bool mayReplace(QWidget* parent, const QString& path, const QString& question);

    // The question, as "<what>は，<where> で開いた後に，ほかで変更されています。\r\n上書き保存しますか。"
    // ("what" names the file, e.g. "マップファイル \"trip.map\" "; where, if given, the window).
    static QString question(const QString& what, const QString& where = QString());

private:
    qint64 m_maxBytes;
    quint64 m_generation = 0;
    QString m_path;
    FileOps::Seen m_seen;
    FileOps::Seen m_agreed;
};

// Tells when a document's file gets content other than what the document has, as the file and
// its folder change (editors often replace a file by a rename). A change is told once: again
// only when the content changes once more, or the document reads or writes the file meanwhile.
// While `busy` says so (a modal window is up, a tool runs) the telling waits and comes after.
class DocumentFileWatch : public QObject {
    Q_OBJECT

public:
    // `file` must outlive the watch.
    explicit DocumentFileWatch(const DocumentFile& file, QObject* parent = nullptr);

    void setBusy(std::function<bool()> busy) { m_busy = std::move(busy); }
    // Watches the document's file as it is named now, until the document is of another path.
    void start();
    void stop();
    bool isWatching() const { return !m_path.isEmpty(); }
    // A change has been noticed and waits to be told (settling, or while busy).
    bool isPending() const { return m_check.isActive(); }
    // A change waits for `busy` to end.
    bool isHeldBack() const { return m_heldBack; }

signals:
    void changedOutside();

private:
    void rearm();
    void noticed();
    void check();

    const DocumentFile& m_file;
    std::function<bool()> m_busy;
    QFileSystemWatcher m_watcher;
    QTimer m_check;
    QString m_path;
    bool m_heldBack = false;
    // The content last told, and the document's generation then.
    FileOps::Seen m_told;
    quint64 m_toldAt = 0;
};
