#include "SavedPictureNotice.h"

#include "AsciiCase.h"
#include "Cp932.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SavedPictureNotice {

namespace {

constexpr qint64 HeaderSize = 8;
// Far above any path; a larger block is a broken or hostile sender, not a name.
constexpr quint32 MaxBlock = 64 * 1024;
constexpr int IdleTimeoutMs = 10000;
// Socket addresses hold 107 bytes; a folder longer than this leaves too little for the name and
// the temporary suffix, so the short fallback folder is used instead.
constexpr qsizetype MaxFolderBytes = 48;
constexpr qsizetype MaxPlainName = 32;

QString fallbackFolder()
{
    return u"/tmp/%1-atlas-notice"_s.arg(::geteuid());
}

QString folderPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return fallbackFolder();
    const QString folder = runtime + u"/atlas-notice"_s;
    return QFile::encodeName(folder).size() > MaxFolderBytes ? fallbackFolder() : folder;
}

// A class name comes from a command line: anything but plain letters and digits is hashed, so no
// name can step out of the folder or overflow the socket address.
QString socketName(const QString& className)
{
    const QString lower = AsciiCase::lower(className);
    bool plain = !lower.isEmpty() && lower.size() <= MaxPlainName;
    for (QChar c : lower)
        plain = plain && ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-');
    if (plain)
        return u"atlas-"_s + lower;
    const QByteArray hash = QCryptographicHash::hash(lower.toUtf8(), QCryptographicHash::Sha1).toHex();
    return u"atlas-h"_s + QString::fromLatin1(hash.left(24));
}

QString folderError(const QString& folder, const QString& reason)
{
    return u"通知用のフォルダを使えません: %1 (%2)"_s.arg(QDir::toNativeSeparators(folder), reason);
}

// Only a folder of this user that nobody else can enter: another user's socket there could take
// the names, or hand us names of its choosing.
bool checkFolder(const QString& folder, bool create, QString* error, bool* missing = nullptr)
{
    const QByteArray path = QFile::encodeName(folder);
    if (create) {
        if (::mkdir(path.constData(), 0700) == 0) {
            // The umask may have taken bits the owner needs.
            ::chmod(path.constData(), 0700);
        } else if (errno != EEXIST) {
            if (error)
                *error = folderError(folder, QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
    }
    struct stat info;
    if (::lstat(path.constData(), &info) != 0) {
        if (missing)
            *missing = errno == ENOENT;
        if (error)
            *error = folderError(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    QString reason;
    if (!S_ISDIR(info.st_mode))
        reason = u"フォルダではありません"_s;
    else if (info.st_uid != ::geteuid())
        reason = u"他のユーザーのフォルダです"_s;
    else if ((info.st_mode & 0077) != 0)
        reason = u"他のユーザーも使えるフォルダです"_s;
    if (reason.isEmpty())
        return true;
    if (error)
        *error = folderError(folder, reason);
    return false;
}

bool identity(const QString& path, quint64* device, quint64* inode)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    *device = quint64(info.st_dev);
    *inode = quint64(info.st_ino);
    return true;
}

QByteArray answerBytes(qint32 value)
{
    QByteArray bytes(4, '\0');
    qToLittleEndian<qint32>(value, bytes.data());
    return bytes;
}

bool failed(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

QString serverPath(const QString& className)
{
    if (className.isEmpty())
        return {};
    return folderPath() + u"/"_s + socketName(className);
}

Receiver::Receiver(const QString& className, QObject* parent) : QObject(parent), m_className(className)
{
    const QString path = serverPath(className);
    if (path.isEmpty()) {
        qWarning("SavedPictureNotice: no class name to listen for");
        return;
    }
    QString error;
    if (!checkFolder(folderPath(), true, &error)) {
        qWarning("SavedPictureNotice: %s", qUtf8Printable(error));
        return;
    }
    // Listening on a name of its own and renaming it into place replaces an older socket (stale,
    // or another receiver's) in one step; connections never find no socket in between.
    static std::atomic<int> counter{0};
    const QString temporary = path + u".%1-%2"_s.arg(QCoreApplication::applicationPid()).arg(++counter);
    auto server = std::make_unique<QLocalServer>(this);
    QLocalServer::removeServer(temporary);
    if (!server->listen(temporary)) {
        qWarning("SavedPictureNotice: cannot listen at %s: %s", qUtf8Printable(temporary),
                 qUtf8Printable(server->errorString()));
        return;
    }
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0
        || !identity(path, &m_device, &m_inode)) {
        qWarning("SavedPictureNotice: cannot put the socket at %s: %s", qUtf8Printable(path), std::strerror(errno));
        server->close();
        return;
    }
    m_path = path;
    m_server = std::move(server);
    connect(m_server.get(), &QLocalServer::newConnection, this, &Receiver::accept);
}

Receiver::~Receiver()
{
    if (!m_server)
        return;
    // A later receiver may have taken the name over; its socket is not ours to remove.
    quint64 device = 0, inode = 0;
    if (identity(m_path, &device, &inode) && device == m_device && inode == m_inode)
        ::unlink(QFile::encodeName(m_path).constData());
    m_server->close();
}

bool Receiver::isListening() const
{
    return m_server && m_server->isListening();
}

void Receiver::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        // Nothing beyond one frame needs to be held.
        socket->setReadBufferSize(HeaderSize + MaxBlock);
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        idle->start(IdleTimeoutMs);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrame(socket); });
        readFrame(socket);
    }
}

Frame parseFrame(const QByteArray& bytes)
{
    Frame frame;
    if (bytes.size() < HeaderSize)
        return frame;
    const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + 4);
    if (size > MaxBlock) {
        frame.state = Frame::Refused;
        return frame;
    }
    if (bytes.size() < HeaderSize + qint64(size))
        return frame;
    frame.state = Frame::Taken;
    frame.size = HeaderSize + qint64(size);
    QByteArray name = bytes.mid(HeaderSize, size);
    const qsizetype zero = name.indexOf('\0');
    if (zero >= 0)
        name.truncate(zero);
    bool ok = true;
    const QString decoded = Cp932::decode(name, &ok);
    if (ok)
        frame.name = decoded;
    return frame;
}

// Called whenever more bytes came; does nothing until the whole frame is there.
void Receiver::readFrame(QLocalSocket* socket)
{
    const Frame frame = parseFrame(socket->peek(HeaderSize + MaxBlock));
    if (frame.state == Frame::Incomplete)
        return;
    disconnect(socket, nullptr, this, nullptr);
    if (frame.state == Frame::Refused) {
        qWarning("SavedPictureNotice: a block over %u bytes refused", MaxBlock);
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->skip(frame.size);
    const bool accepted = !frame.name.isEmpty();
    if (!accepted)
        qWarning("SavedPictureNotice: a name that is empty or not code page 932 was dropped");
    socket->write(answerBytes(accepted ? 1 : 0));
    // Sends the answer, then closes; the socket deletes itself once disconnected.
    socket->disconnectFromServer();
    if (accepted) {
        m_lastName = frame.name;
        emit received(frame.name);
    }
}

bool send(const QString& className, const QString& fileName, int timeoutMs, QString* error)
{
    const QDeadlineTimer deadline(timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs));
    bool ok = true;
    QString unencodable;
    const QByteArray name = Cp932::encode(fileName, &ok, &unencodable);
    if (!ok)
        return failed(error, u"ファイル名に Shift-JIS で表せない文字があります: %1"_s.arg(unencodable));
    if (name.isEmpty() || name.contains('\0'))
        return failed(error, u"通知するファイル名が正しくありません。"_s);
    if (name.size() + 1 > qsizetype(MaxBlock))
        return failed(error, u"ファイル名が長すぎます: %1 バイト"_s.arg(name.size()));
    const QString path = serverPath(className);
    if (path.isEmpty())
        return failed(error, u"通知先のクラス名がありません。"_s);
    const QString notFound = u"通知先 \"%1\" が見つかりません。"_s.arg(className);
    QString folderProblem;
    bool noFolder = false;
    if (!checkFolder(folderPath(), false, &folderProblem, &noFolder))
        return failed(error, noFolder ? notFound : folderProblem);

    // Only a socket of this user, where the name is: connecting to a link would follow it, and a
    // socket of someone else's could take the name (root may plant either in the folder).
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return failed(error, notFound);
    if (!S_ISSOCK(info.st_mode) || info.st_uid != ::geteuid())
        return failed(error, notFound + u"(他のユーザーのものか，通知用のソケットではありません)"_s);

    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return failed(error, notFound + u"(%1)"_s.arg(socket.errorString()));

    QByteArray frame(HeaderSize, '\0');
    qToLittleEndian<qint32>(0, frame.data());
    qToLittleEndian<quint32>(quint32(name.size() + 1), frame.data() + 4);
    frame += name;
    frame += '\0';
    socket.write(frame);
    const QString noAnswer = u"通知先 \"%1\" から応答がありません。"_s.arg(className);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return failed(error, noAnswer + u"(%1)"_s.arg(socket.errorString()));
    while (socket.bytesAvailable() < 4)
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return failed(error, noAnswer + u"(%1)"_s.arg(socket.errorString()));
    const qint32 answer = qFromLittleEndian<qint32>(socket.read(4).constData());
    socket.abort();
    if (answer != 1)
        return failed(error, u"通知先 \"%1\" がファイル名を受け取りませんでした。"_s.arg(className));
    return true;
}

} // namespace SavedPictureNotice
