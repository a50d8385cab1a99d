#include "SavedPictureNotice.h"

#include "AsciiCase.h"
#include "Cp932.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <tuple>
#include <vector>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace SavedPictureNotice {

namespace {

constexpr qint64 HeaderSize = 8;
// Far above any path; a larger block is a broken or hostile sender, not a name.
constexpr quint32 MaxBlock = 64 * 1024;
constexpr int IdleTimeoutMs = 10000;
// Socket addresses hold 107 bytes; a folder longer than this leaves too little for the longest
// socket name (50 bytes: desktop, class name, pid and counter), so the short fallback folder is
// used instead.
constexpr qsizetype MaxFolderBytes = 48;
constexpr qsizetype MaxPlainName = 20;
// A receiver tries this many names of its own before it gives up (each taken one is left alone).
constexpr int NameAttempts = 100;

QString fallbackFolder()
{
    return u"/tmp/%1-atlas-notice"_s.arg(::geteuid());
}

QString hashed(const QString& text, int hexDigits)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha1).toHex().left(hexDigits));
}

// A class name comes from a command line: anything but plain letters and digits is hashed, so no
// name can step out of the folder, overflow the socket address or run into the separators.
QString classPart(const QString& className)
{
    const QString lower = AsciiCase::lower(className);
    bool plain = !lower.isEmpty() && lower.size() <= MaxPlainName;
    for (QChar c : lower)
        plain = plain && ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'_' || c == u'-');
    return plain ? lower : u"h"_s + hashed(lower, 20);
}

// The desktop the program shows its windows on: FindWindow never finds a window of another one.
// Wayland first, since an X server there is the compositor's own; an X display without its screen
// number, ":0" and "unix:0.1" being one display.
QString desktopPart()
{
    QString desktop;
    const QString wayland = qEnvironmentVariable("WAYLAND_DISPLAY");
    const QString x = qEnvironmentVariable("DISPLAY");
    if (!wayland.isEmpty()) {
        desktop = u"wayland/"_s + wayland;
    } else if (!x.isEmpty()) {
        const qsizetype colon = x.lastIndexOf(u':');
        QString host = colon < 0 ? QString() : x.left(colon);
        QString number = colon < 0 ? x : x.mid(colon + 1);
        if (host == u"unix"_s)
            host.clear();
        const qsizetype dot = number.indexOf(u'.');
        if (dot >= 0)
            number.truncate(dot);
        desktop = u"x11/"_s + host + u":"_s + number;
    } else {
        desktop = u"none"_s;
    }
    return u"d"_s + hashed(desktop, 8);
}

// What every socket of receivers of the class name on this desktop begins with.
QString classPrefix(const QString& className)
{
    return desktopPart() + u"."_s + classPart(className) + u"."_s;
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

// The process on the other end of the connection, as it was when it connected; 0 when unknown.
qint64 peerProcess(const QLocalSocket* socket)
{
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0)
        return 0;
    return qint64(credentials.pid);
}

// The parent the system names for the process; 0 when it has gone or cannot be read.
qint64 parentOf(qint64 pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    // "pid (name) state ppid ...": the name may hold spaces and parentheses of its own.
    const QByteArray line = stat.read(4096);
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = line.mid(close + 1).simplified().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() : 0;
}

bool failed(QString* error, const QString& message)
{
    if (error)
        *error = message;
    return false;
}

} // namespace

bool isDescendedFrom(qint64 pid, qint64 ancestor)
{
    if (ancestor <= 0)
        return false;
    // A chain longer than this is no tool's.
    for (int depth = 0; depth < 64 && pid > 0; ++depth) {
        if (pid == ancestor)
            return true;
        pid = parentOf(pid);
    }
    return false;
}

QString folderPath()
{
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        return fallbackFolder();
    // Clean, so that a socket named in the environment compares with it as text.
    const QString folder = QDir::cleanPath(runtime + u"/atlas-notice"_s);
    return QFile::encodeName(folder).size() > MaxFolderBytes ? fallbackFolder() : folder;
}

Receiver::Receiver(const QString& className, QObject* parent) : QObject(parent), m_className(className)
{
    if (className.isEmpty()) {
        qWarning("SavedPictureNotice: no class name to listen for");
        return;
    }
    const QString folder = folderPath();
    QString error;
    if (!checkFolder(folder, true, &error)) {
        qWarning("SavedPictureNotice: %s", qUtf8Printable(error));
        return;
    }
    // A name of its own (the pid keeps processes apart, the counter receivers of one process); a
    // taken one, left by an earlier process of this pid, is not ours to remove, so the next is
    // tried. The server removes the name it listened at when it closes, whatever lies there by
    // then, so it listens under a scratch name, and a link, which never replaces a file, gives
    // the socket its own name.
    static std::atomic<int> counter{0};
    const QString own = classPrefix(className) + QString::number(QCoreApplication::applicationPid()) + u"-"_s;
    auto server = std::make_unique<QLocalServer>(this);
    QString path, why;
    for (int attempt = 0; attempt < NameAttempts && path.isEmpty(); ++attempt) {
        const QString name = own + QString::number(++counter);
        const QString scratch = folder + u"/t."_s + name;
        if (!server->listen(scratch)) {
            why = server->errorString();
            if (server->serverError() == QAbstractSocket::AddressInUseError)
                continue;
            break;
        }
        const QString candidate = folder + u"/"_s + name;
        if (!identity(scratch, &m_device, &m_inode)) {
            why = QString::fromLocal8Bit(std::strerror(errno));
            server->close();
            break;
        }
        const int linked = ::link(QFile::encodeName(scratch).constData(), QFile::encodeName(candidate).constData());
        const int linkError = errno;
        ::unlink(QFile::encodeName(scratch).constData());
        if (linked == 0) {
            path = candidate;
            break;
        }
        why = QString::fromLocal8Bit(std::strerror(linkError));
        server->close();
        if (linkError != EEXIST)
            break;
    }
    if (path.isEmpty()) {
        qWarning("SavedPictureNotice: cannot listen in %s: %s", qUtf8Printable(folder), qUtf8Printable(why));
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
    // Only the socket this receiver made: whatever else came to lie at the name is not ours.
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
    frame.data = qFromLittleEndian<quint32>(bytes.constData());
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
    const qint64 sender = peerProcess(socket);
    const bool expected = isDescendedFrom(sender, m_expected);
    const bool accepted = expected && !frame.name.isEmpty();
    if (!expected)
        qWarning("SavedPictureNotice: a notice from process %lld, which is not the tool run waited for, was refused",
                 sender);
    else if (!accepted)
        qWarning("SavedPictureNotice: a name that is empty or not code page 932 was dropped");
    socket->write(answerBytes(accepted ? 1 : 0));
    // Sends the answer, then closes; the socket deletes itself once disconnected.
    socket->disconnectFromServer();
    if (accepted && frame.saved()) {
        m_lastName = frame.name;
        emit received(frame.name);
    }
}

namespace {

// The name as it goes on the wire, or false with *error.
bool encodeName(const QString& fileName, QByteArray* name, QString* error)
{
    // The receiver reads the name back: a character that comes back as another names another file.
    QString failing;
    if (!Cp932::canStore(fileName, &failing))
        return failed(error, u"ファイル名に Shift-JIS で同じ文字として表せない文字があります: %1"_s.arg(failing));
    *name = Cp932::encode(fileName);
    if (name->isEmpty() || name->contains('\0'))
        return failed(error, u"通知するファイル名が正しくありません。"_s);
    if (name->size() + 1 > qsizetype(MaxBlock))
        return failed(error, u"ファイル名が長すぎます: %1 バイト"_s.arg(name->size()));
    return true;
}

// Only a socket of this user: connecting to a link would follow it, and a socket of someone
// else's could take the name (root may plant either in the folder).
bool isOwnSocket(const struct stat& info)
{
    return S_ISSOCK(info.st_mode) && info.st_uid == ::geteuid();
}

bool connectTo(QLocalSocket& socket, const QString& path, const QDeadlineTimer& deadline)
{
    socket.connectToServer(path);
    return socket.waitForConnected(int(deadline.remainingTime()));
}

// One notice on a connected socket; target names the receiver in messages.
bool deliver(QLocalSocket& socket, const QByteArray& name, Notice notice, const QString& target,
             const QDeadlineTimer& deadline, QString* error)
{
    QByteArray frame(HeaderSize, '\0');
    qToLittleEndian<quint32>(quint32(notice), frame.data());
    qToLittleEndian<quint32>(quint32(name.size() + 1), frame.data() + 4);
    frame += name;
    frame += '\0';
    socket.write(frame);
    const QString noAnswer = u"通知先 \"%1\" から応答がありません。"_s.arg(target);
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return failed(error, noAnswer + u"(%1)"_s.arg(socket.errorString()));
    while (socket.bytesAvailable() < 4)
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return failed(error, noAnswer + u"(%1)"_s.arg(socket.errorString()));
    const qint32 answer = qFromLittleEndian<qint32>(socket.read(4).constData());
    socket.abort();
    if (answer != 1)
        return failed(error, u"通知先 \"%1\" がファイル名を受け取りませんでした。"_s.arg(target));
    return true;
}

QDeadlineTimer deadlineOf(int timeoutMs)
{
    return timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
}

} // namespace

bool send(const QString& className, const QString& fileName, int timeoutMs, QString* error, Notice notice)
{
    const QDeadlineTimer deadline = deadlineOf(timeoutMs);
    QByteArray name;
    if (!encodeName(fileName, &name, error))
        return false;
    if (className.isEmpty())
        return failed(error, u"通知先のクラス名がありません。"_s);
    const QString notFound = u"通知先 \"%1\" が見つかりません。"_s.arg(className);
    const QString folder = folderPath();
    QString folderProblem;
    bool noFolder = false;
    if (!checkFolder(folder, false, &folderProblem, &noFolder))
        return failed(error, noFolder ? notFound : folderProblem);

    // The newest first, as the window on top would be found; a socket whose receiver has gone
    // refuses at once and the next one is tried.
    struct Candidate {
        QString path;
        qint64 seconds, nanoseconds;
    };
    std::vector<Candidate> candidates;
    const QString prefix = classPrefix(className);
    const QStringList entries = QDir(folder).entryList({prefix + u"*"_s}, QDir::System | QDir::Hidden);
    for (const QString& entry : entries) {
        const QString path = folder + u"/"_s + entry;
        struct stat info;
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !isOwnSocket(info))
            continue;
        candidates.push_back({path, qint64(info.st_mtim.tv_sec), qint64(info.st_mtim.tv_nsec)});
    }
    std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
        return std::tie(a.seconds, a.nanoseconds, a.path) > std::tie(b.seconds, b.nanoseconds, b.path);
    });
    for (const Candidate& candidate : candidates) {
        QLocalSocket socket;
        if (connectTo(socket, candidate.path, deadline))
            return deliver(socket, name, notice, className, deadline, error);
        if (deadline.hasExpired())
            break;
    }
    return failed(error, notFound);
}

bool sendTo(const QString& socketPath, const QString& fileName, int timeoutMs, QString* error, Notice notice)
{
    const QDeadlineTimer deadline = deadlineOf(timeoutMs);
    QByteArray name;
    if (!encodeName(fileName, &name, error))
        return false;
    if (socketPath.isEmpty())
        return failed(error, u"通知先のソケットがありません。"_s);
    const QString folder = folderPath();
    const QString notFound = u"通知先 \"%1\" が見つかりません。"_s.arg(socketPath);
    // Exactly a name in the folder: no "..", no sub-folder, no other place.
    if (QDir::cleanPath(socketPath) != socketPath || QFileInfo(socketPath).path() != folder)
        return failed(error, u"通知先 \"%1\" は通知用のフォルダ %2 にありません。"_s.arg(socketPath, folder));
    QString folderProblem;
    bool noFolder = false;
    if (!checkFolder(folder, false, &folderProblem, &noFolder))
        return failed(error, noFolder ? notFound : folderProblem);
    struct stat info;
    if (::lstat(QFile::encodeName(socketPath).constData(), &info) != 0)
        return failed(error, notFound);
    if (!isOwnSocket(info))
        return failed(error, notFound + u"(他のユーザーのものか，通知用のソケットではありません)"_s);
    QLocalSocket socket;
    if (!connectTo(socket, socketPath, deadline))
        return failed(error, notFound + u"(%1)"_s.arg(socket.errorString()));
    return deliver(socket, name, notice, socketPath, deadline, error);
}

QString receiverFromEnvironment()
{
    return qEnvironmentVariable(ReceiverVariable);
}

bool sendToCaller(const QString& socketPath, const QString& className, const QString& fileName, int timeoutMs,
                  QString* error, Notice notice)
{
    if (!socketPath.isEmpty())
        return sendTo(socketPath, fileName, timeoutMs, error, notice);
    return send(className, fileName, timeoutMs, error, notice);
}

} // namespace SavedPictureNotice
