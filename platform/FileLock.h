#pragma once

#include <QByteArray>
#include <QString>

// An exclusive lock on a file (made when missing) or on a folder, taken at once or not at all and
// held for the object's lifetime. The kernel drops it when the process dies, so a killed program
// never leaves it held. Two locks on one path exclude each other also within one process. A lock
// file may be removed by whoever holds its lock (removeFile, or a clean-up of unheld ones): a lock
// counts as held only when its name still leads to the file locked.
class FileLock {
public:
    enum class Target { File, Folder };

    explicit FileLock(const QString& path, Target target = Target::File);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return m_held; }
    // Removes the lock file while the lock is still held, so that no one takes a lock on a file
    // that is going; the lock itself goes with the object. Files only.
    void removeFile();
    // Another lock on the path is held (by this or another program); false when the path could
    // not be opened or locked at all (then error() says why).
    bool busy() const { return m_busy; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    QByteArray m_path;
    bool m_held = false;
    bool m_busy = false;
    QString m_error;
};
