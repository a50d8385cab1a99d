#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "FileOps.h"
#include "QtPrinters.h"

// A throw-away folder for a test, with small helpers to make and read files in it.
class TempFolder {
public:
    TempFolder() = default;
    // Names that are not UTF-8 and read-only folders are beyond QTemporaryDir's own clean-up.
    ~TempFolder() { FileOps::deleteFolder(m_dir.path()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    QString path() const { return m_dir.path() + QLatin1Char('/'); }
    QString file(const QString& name) const { return path() + name; }

    QString write(const QString& name, const QByteArray& bytes) const
    {
        QString p = file(name);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return p;
    }
    QByteArray read(const QString& name) const
    {
        QFile f(name.startsWith(QLatin1Char('/')) ? name : file(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    bool exists(const QString& name) const { return QFileInfo::exists(file(name)); }

private:
    QTemporaryDir m_dir;
};
