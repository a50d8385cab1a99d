#include "FileLock.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

FileLock::FileLock(const QString& path, Target target)
{
    const QByteArray name = QFile::encodeName(path);
    m_fd = target == Target::Folder ? ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                                    : ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    int result;
    do
        result = ::flock(m_fd, LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    if (result == 0) {
        m_held = true;
        return;
    }
    m_busy = errno == EWOULDBLOCK;
    m_error = QString::fromLocal8Bit(std::strerror(errno));
    ::close(m_fd);
    m_fd = -1;
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
