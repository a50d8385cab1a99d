#pragma once

#include "FileOps.h"
#include "ProcessUsage.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// A file's content as its size and its data extents, so that a sparse file of a gigabyte is
// hashed without reading its holes (which hold nothing but zeros).
inline std::string contentDigest(const QByteArray& path, qint64 size)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArray::number(size));
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "unreadable";
    char buffer[65536];
    off_t at = 0;
    while (at < size) {
        off_t data = ::lseek(fd, at, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break;
        off_t hole = data < 0 ? size : ::lseek(fd, data, SEEK_HOLE);
        if (data < 0 || hole < 0) // no extents told: the whole file is data
            data = 0, hole = size;
        hash.addData(QByteArray::number(qint64(data)) + ':');
        ::lseek(fd, data, SEEK_SET);
        for (off_t left = hole - data; left > 0;) {
            const ssize_t n = ::read(fd, buffer, size_t(std::min<off_t>(left, off_t(sizeof buffer))));
            if (n <= 0)
                break;
            hash.addData(QByteArrayView(buffer, n));
            left -= n;
        }
        at = hole;
    }
    ::close(fd);
    return hash.result().toHex().toStdString();
}

// What a folder holds, by raw name bytes (relative to it, "/" between levels): each entry's kind,
// mode and bytes (hashed) or link text. Links are never followed.
using Tree = std::map<std::string, std::string>;

inline void snapshotInto(const QByteArray& folder, const QByteArray& prefix, Tree& tree)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* e = ::readdir(dir)) {
        const QByteArray name(e->d_name);
        if (name == "." || name == "..")
            continue;
        const QByteArray path = folder + '/' + name;
        const std::string key = (prefix + name).toStdString();
        struct stat info;
        if (::lstat(path.constData(), &info) != 0)
            continue;
        const QByteArray mode = QByteArray::number(info.st_mode & 07777, 8);
        if (S_ISLNK(info.st_mode)) {
            char buffer[4096];
            const ssize_t n = ::readlink(path.constData(), buffer, sizeof buffer);
            tree[key] = "link " + std::string(buffer, n > 0 ? size_t(n) : 0);
        } else if (S_ISDIR(info.st_mode)) {
            tree[key] = "folder " + mode.toStdString();
            snapshotInto(path, prefix + name + '/', tree);
        } else if (S_ISREG(info.st_mode)) {
            tree[key] = "file " + mode.toStdString() + ' ' + contentDigest(path, qint64(info.st_size));
        } else {
            tree[key] = "special " + mode.toStdString();
        }
    }
    ::closedir(dir);
}

inline Tree snapshotTree(const QString& folder)
{
    Tree tree;
    snapshotInto(QFile::encodeName(folder), QByteArray(), tree);
    return tree;
}

// The entries of `tree` under `prefix` ("" for all), with the prefix taken off.
inline Tree subTree(const Tree& tree, const std::string& prefix)
{
    Tree out;
    for (const auto& [k, v] : tree)
        if (k.compare(0, prefix.size(), prefix) == 0)
            out[k.substr(prefix.size())] = v;
    return out;
}

// What may stand where a reader expects a file and must never be taken in: a pipe (its open waits
// for a writer), a link to /dev/zero (it never ends) and a sparse file larger than the reader
// takes (it claims more than memory holds, on no disk).
enum class Unreadable { Pipe, EndlessDevice, Oversized };
inline constexpr qint64 OversizedBytes = FileOps::ReadLimit::Picture + 1;

inline bool plantUnreadable(const QString& path, Unreadable kind, qint64 size = OversizedBytes)
{
    const QByteArray p = QFile::encodeName(path);
    switch (kind) {
    case Unreadable::Pipe:
        return ::mkfifo(p.constData(), 0644) == 0;
    case Unreadable::EndlessDevice:
        return ::symlink("/dev/zero", p.constData()) == 0;
    case Unreadable::Oversized: {
        const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        const bool made = fd >= 0 && ::ftruncate(fd, off_t(size)) == 0;
        if (fd >= 0)
            ::close(fd);
        return made;
    }
    }
    return false;
}

// How a reader fared with an unreadable file: whether it waited on the pipe (it is then released
// after a deadline by a writer opening and closing the pipe's other end, so the test fails instead
// of hanging) and how far the process's peak resident size rose while it ran (-1 where the kernel
// does not tell).
struct ReaderRun {
    bool blocked = false;
    qint64 peakRise = -1;
};

inline ReaderRun runReader(const QString& path, const std::function<void()>& reader)
{
    ReaderRun run;
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    const QByteArray p = QFile::encodeName(path);
    std::thread watchdog([&] {
        std::unique_lock lock(m);
        if (cv.wait_for(lock, std::chrono::seconds(60), [&] { return done; }))
            return;
        struct stat info;
        if (::stat(p.constData(), &info) != 0 || !S_ISFIFO(info.st_mode))
            return;
        run.blocked = true;
        while (!done) {
            lock.unlock();
            const int fd = ::open(p.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0)
                ::close(fd);
            lock.lock();
            cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; });
        }
    });
    const long before = ProcessUsage::statusKiB("VmRSS:");
    const bool measured = before >= 0 && ProcessUsage::resetPeak();
    reader();
    const long peak = ProcessUsage::statusKiB("VmHWM:");
    if (measured && peak >= 0)
        run.peakRise = qint64(peak - before) * 1024;
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_all();
    watchdog.join();
    return run;
}

// Puts into a folder what a user's disk may hold beside the files a program writes: a name that is
// not UTF-8 (Shift-JIS, as unzip leaves names of a Windows archive), a read-only sub-folder with a
// file in it, a pipe, a link to a file outside, a link to an endless device and a sparse file of
// more than a gigabyte (under picture names), names with characters code page 932 maps one way
// only, a name of 250 bytes, and a dead leftover of a killed write. Returns what must survive any
// write into the folder: everything but the leftover.
inline Tree plantHostileEntries(const QString& folder, const QString& outsideFile)
{
    const QByteArray f = QFile::encodeName(folder);
    auto write = [](const QByteArray& path, const QByteArray& bytes) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd >= 0) {
            [[maybe_unused]] const ssize_t n = ::write(fd, bytes.constData(), size_t(bytes.size()));
            ::close(fd);
        }
    };
    ::mkdir(f.constData(), 0755);
    write(f + "/\x93\x8c\x8b\x9e.txt", "sjis name");
    ::mkdir((f + "/sub").constData(), 0755);
    write(f + "/sub/inside.bmp", "in a read-only folder");
    ::chmod((f + "/sub").constData(), 0555);
    plantUnreadable(folder + QStringLiteral("/pipe"), Unreadable::Pipe);
    plantUnreadable(folder + QStringLiteral("/zero.bmp"), Unreadable::EndlessDevice);
    plantUnreadable(folder + QStringLiteral("/huge.jpg"), Unreadable::Oversized);
    [[maybe_unused]] const int linked =
        ::symlink(QFile::encodeName(outsideFile).constData(), (f + "/outside").constData());
    write(f + "/" + QStringLiteral("波〜線−").toUtf8() + ".bmp", "one-way characters");
    write(f + "/" + QByteArray(246, 'n') + ".bmp", "long name");
    const Tree survivors = snapshotTree(folder);
    write(f + "/.~wrAbC123", "leftover of a killed write");
    return survivors;
}
