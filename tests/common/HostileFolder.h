#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QString>

#include <map>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
            QByteArray bytes;
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            if (fd >= 0) {
                char buffer[65536];
                ssize_t n;
                while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                    bytes.append(buffer, n);
                ::close(fd);
            }
            tree[key] = "file " + mode.toStdString() + ' '
                        + QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().toStdString();
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

// Puts into a folder what a user's disk may hold beside the files a program writes: a name that is
// not UTF-8 (Shift-JIS, as unzip leaves names of a Windows archive), a read-only sub-folder with a
// file in it, a pipe, a link to a file outside, names with characters code page 932 maps one way
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
    ::mkfifo((f + "/pipe").constData(), 0644);
    [[maybe_unused]] const int linked =
        ::symlink(QFile::encodeName(outsideFile).constData(), (f + "/outside").constData());
    write(f + "/" + QStringLiteral("波〜線−").toUtf8() + ".bmp", "one-way characters");
    write(f + "/" + QByteArray(246, 'n') + ".bmp", "long name");
    const Tree survivors = snapshotTree(folder);
    write(f + "/.~wrAbC123", "leftover of a killed write");
    return survivors;
}
