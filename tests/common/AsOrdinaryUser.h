#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <string>

#include <unistd.h>

// Root is let through where file modes stop a user, so tests of read-only files and folders run
// again, in a copy of the test program that an ordinary user (nobody) can reach, as that user.
// Returns the program's exit status with its output in *output; -1 when this is no root or setpriv
// is missing.
inline int rerunAsOrdinaryUser(const QString& filter, std::string* output)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty())
        return -1;
    QTemporaryDir place(QStringLiteral("/tmp/as-user-XXXXXX"));
    const QString copy = place.path() + QStringLiteral("/tests");
    const QString home = place.path() + QStringLiteral("/home");
    if (!place.isValid() || !QFile::copy(QCoreApplication::applicationFilePath(), copy) || !QDir().mkpath(home))
        return -2;
    QFile::setPermissions(place.path(), QFile::permissions(place.path()) | QFile::ExeOther | QFile::ReadOther);
    QFile::setPermissions(copy, QFile::permissions(copy) | QFile::ExeOther | QFile::ReadOther);
    constexpr uid_t Nobody = 65534;
    if (::chown(QFile::encodeName(home).constData(), Nobody, Nobody) != 0)
        return -2;
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
    env.insert(QStringLiteral("TMPDIR"), home);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                          QStringLiteral("--clear-groups"), copy, QStringLiteral("--gtest_filter=") + filter});
    if (!child.waitForFinished(600000))
        return -3;
    *output = child.readAll().toStdString();
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -4;
}
