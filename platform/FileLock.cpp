#include "FileLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Whether the name still leads to the file the descriptor is open on (what a lock was taken on).
bool namesOpenFile(const QByteArray& name, int fd, struct stat& locked)
{
    struct stat named;
    return ::fstat(fd, &locked) == 0 && ::lstat(name.constData(), &named) == 0 && locked.st_dev == named.st_dev
           && locked.st_ino == named.st_ino;
}

} // namespace

FileLock::FileLock(const QString& path, Target target)
    : m_path(QFile::encodeName(path))
{
    // A lock file removed by its holder between our open and our lock is no lock: take it again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        m_fd = target == Target::Folder ? ::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                        : ::open(m_path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        int result;
        do
            result = ::flock(m_fd, LOCK_EX | LOCK_NB);
        while (result != 0 && errno == EINTR);
        if (result != 0) {
            m_busy = errno == EWOULDBLOCK;
            m_error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(m_fd);
            m_fd = -1;
            return;
        }
        struct stat locked;
        if (target == Target::Folder || namesOpenFile(m_path, m_fd, locked)) {
            m_held = true;
            return;
        }
        ::close(m_fd);
        m_fd = -1;
    }
    m_busy = true;
    m_error = QString::fromLocal8Bit(std::strerror(EWOULDBLOCK));
}

void FileLock::removeFile()
{
    struct stat locked;
    if (m_held && namesOpenFile(m_path, m_fd, locked) && S_ISREG(locked.st_mode))
        ::unlink(m_path.constData());
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
