#pragma once

#include <QString>

// An exclusive lock on a file (made when missing) or on a folder, taken at once or not at all and
// held for the object's lifetime. The kernel drops it when the process dies, so a killed program
// never leaves it held. Two locks on one path exclude each other also within one process.
class FileLock {
public:
    enum class Target { File, Folder };

    explicit FileLock(const QString& path, Target target = Target::File);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    bool held() const { return m_held; }
    // Another lock on the path is held (by this or another program); false when the path could
    // not be opened or locked at all (then error() says why).
    bool busy() const { return m_busy; }
    QString error() const { return m_error; }

private:
    int m_fd = -1;
    bool m_held = false;
    bool m_busy = false;
    QString m_error;
};
