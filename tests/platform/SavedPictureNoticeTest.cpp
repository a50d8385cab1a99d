#include "ReceiverThread.h"
#include "SavedPictureNotice.h"

#include "Cp932.h"
#include "TempFolder.h"
#include "ToolRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <optional>

using namespace Qt::StringLiterals;
using SavedPictureNotice::Receiver;

namespace {

const QString FakeTool = QStringLiteral(FAKE_PICTURE_TOOL);


// Every test gets a runtime folder of its own, as a user session has.
class SavedPictureNoticeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : Kept)
            if (qEnvironmentVariableIsSet(name))
                m_kept[name] = qgetenv(name);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path().chopped(1)));
        qunsetenv("WAYLAND_DISPLAY");
        qunsetenv(SavedPictureNotice::ReceiverVariable);
        qputenv("DISPLAY", ":71");
    }
    void TearDown() override
    {
        for (const char* name : Kept) {
            if (m_kept.contains(name))
                qputenv(name, m_kept.value(name));
            else
                qunsetenv(name);
        }
    }

    static QString folder() { return SavedPictureNotice::folderPath(); }

    static constexpr const char* Kept[] = {"XDG_RUNTIME_DIR", "DISPLAY", "WAYLAND_DISPLAY",
                                           SavedPictureNotice::ReceiverVariable};
    TempFolder m_runtime;
    QHash<QByteArray, QByteArray> m_kept;
};

// The sockets in the folder, by file name.
QStringList socketsIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::System | QDir::Hidden, QDir::Name);
}

// The name another receiver of the class name on this desktop would have, beside a receiver's
// socket: "<desktop>.<class>.<pid>-<n>".
QString siblingPath(const QString& socket, const QString& lowerClassName, const QString& tail)
{
    const QFileInfo info(socket);
    const QString desktop = info.fileName().section(u'.', 0, 0);
    return info.path() + u"/"_s + desktop + u"."_s + lowerClassName + u"."_s + tail;
}

// A socket nobody listens on, as a receiver that died leaves it.
void bindDeadSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo(path).exists());
}

QByteArray frame(quint32 cbData, const QByteArray& payload, qint32 dwData = 0)
{
    QByteArray bytes(8, '\0');
    qToLittleEndian<qint32>(dwData, bytes.data());
    qToLittleEndian<quint32>(cbData, bytes.data() + 4);
    return bytes + payload;
}

QByteArray cp932(const QString& text)
{
    bool ok = false;
    const QByteArray bytes = Cp932::encode(text, &ok);
    EXPECT_TRUE(ok);
    return bytes;
}

// The receiver's answer on a raw connection, or nothing when it closed without one.
std::optional<qint32> answerOf(QLocalSocket& socket)
{
    while (socket.bytesAvailable() < 4)
        if (!socket.waitForReadyRead(3000))
            break;
    if (socket.bytesAvailable() < 4)
        return std::nullopt;
    return qFromLittleEndian<qint32>(socket.read(4).constData());
}

bool connectRaw(QLocalSocket& socket, const QString& path)
{
    socket.connectToServer(path);
    return socket.waitForConnected(3000);
}

void writeAll(QLocalSocket& socket, const QByteArray& bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(3000)) {
    }
}

// ---- Names ---------------------------------------------------------------------------------

QString nameOfBytes(int bytes)
{
    QString name = u"/tmp/"_s;
    while (Cp932::byteLength(name) + 2 <= bytes)
        name += u'絵';
    while (Cp932::byteLength(name) < bytes)
        name += u'x';
    return name;
}

TEST_F(SavedPictureNoticeTest, NamesArriveWhole)
{
    const QString names[] = {
        u"/home/user/画像と音声/マップ画像/東京.bmp"_s,
        u"/tmp/ｶﾀｶﾅ ～ and spaces/a.jpg"_s,
        u"x"_s,
        nameOfBytes(255),
        nameOfBytes(256),
        nameOfBytes(600),
    };
    ASSERT_EQ(Cp932::byteLength(names[3]), 255);
    ASSERT_EQ(Cp932::byteLength(names[5]), 600);
    ReceiverThread receiver(u"TForm1"_s);
    ASSERT_TRUE(receiver.listening());
    QStringList sent;
    for (const QString& name : names) {
        QString error;
        EXPECT_TRUE(SavedPictureNotice::send(u"TForm1"_s, name, 3000, &error)) << error.toStdString();
        sent.append(name);
        EXPECT_EQ(receiver.names(), sent);
    }
    EXPECT_EQ(receiver.lastName(), names[5]);
}

// A picture the tool only opened is answered, so the tool counts it told, but never received: the
// waiting form takes only what the tool saved. So is any notice other than the classic save.
TEST_F(SavedPictureNoticeTest, OnlyASavedPicturesNameIsReceived)
{
    using SavedPictureNotice::Notice;
    ReceiverThread receiver(u"TForm2"_s);
    const QString saved = u"/tmp/マップ画像/03_002.bmp"_s, opened = u"/tmp/photo.bmp"_s;
    QString error;
    ASSERT_TRUE(SavedPictureNotice::sendToCaller(receiver.socketPath(), QString(), saved, 3000, &error))
        << error.toStdString();
    for (const QString& socket : {receiver.socketPath(), QString()}) {
        EXPECT_TRUE(SavedPictureNotice::sendToCaller(socket, u"TForm2"_s, opened, 3000, &error, Notice::Opened))
            << error.toStdString();
    }
    QLocalSocket raw;
    ASSERT_TRUE(connectRaw(raw, receiver.socketPath()));
    // Any other mark is a sender that leaves dwData as it finds it: a save.
    writeAll(raw, frame(5, "/tmp\0"_ba, 7));
    EXPECT_EQ(answerOf(raw), 1);
    EXPECT_EQ(receiver.names(), (QStringList{saved, u"/tmp"_s}));
    EXPECT_EQ(receiver.lastName(), u"/tmp"_s);

    const SavedPictureNotice::Frame open = SavedPictureNotice::parseFrame(frame(3, "/a\0"_ba, qint32(Notice::Opened)));
    EXPECT_EQ(open.name, u"/a"_s);
    EXPECT_FALSE(open.saved());
    EXPECT_TRUE(SavedPictureNotice::parseFrame(frame(3, "/a\0"_ba)).saved());
}

TEST_F(SavedPictureNoticeTest, SenderRefusesNamesItCannotWrite)
{
    ReceiverThread receiver(u"TForm1"_s);
    const struct {
        QString name;
        QString inMessage;
    } cases[] = {
        {u"/tmp/😀.bmp"_s, u"😀"_s},
        // Written, but read back as "～" and "－": the receiver would look for another file.
        {u"/tmp/書き出し〜/a.bmp"_s, u"〜"_s},
        {u"/tmp/a−b.bmp"_s, u"−"_s},
        {QString(), u"ファイル名"_s},
        {u"a\0b"_s, u"ファイル名"_s},
        {QString(70000, u'x'), u"長すぎ"_s},
    };
    for (const auto& c : cases) {
        QString error;
        EXPECT_FALSE(SavedPictureNotice::send(u"TForm1"_s, c.name, 3000, &error));
        EXPECT_TRUE(error.contains(c.inMessage)) << error.toStdString();
    }
    EXPECT_TRUE(receiver.names().isEmpty());
}

// ---- Who receives --------------------------------------------------------------------------

TEST_F(SavedPictureNoticeTest, NoReceiverFailsQuickly)
{
    QElapsedTimer timer;
    timer.start();
    QString error;
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 5000, &error));
    EXPECT_TRUE(error.contains(u"TForm2"_s)) << error.toStdString();

    // A socket left behind by a receiver that died, newer than the live one: it is passed over.
    auto live = std::make_unique<ReceiverThread>(u"TForm2"_s);
    ASSERT_TRUE(live->listening());
    const QString dead = siblingPath(live->socketPath(), u"tform2"_s, u"999999-1"_s);
    bindDeadSocket(dead);
    const timespec future[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(dead).constData(), future, AT_SYMLINK_NOFOLLOW), 0);
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 3000, &error)) << error.toStdString();
    EXPECT_EQ(live->names(), QStringList{u"/tmp/a.bmp"_s});
    live.reset();

    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 5000, &error));
    EXPECT_FALSE(SavedPictureNotice::sendTo(dead, u"/tmp/a.bmp"_s, 5000, &error));
    EXPECT_LT(timer.elapsed(), 1000);
    // The dead socket is nobody's to remove.
    EXPECT_TRUE(QFileInfo(dead).exists());
}

TEST_F(SavedPictureNoticeTest, EachClassNameHasItsOwnReceiver)
{
    ReceiverThread form1(u"TForm1"_s), form2(u"TForm2"_s), form3(u"TForm3"_s);
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm2"_s, u"/b.bmp"_s));
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm1"_s, u"/a.bmp"_s));
    // Window class names ignore case.
    EXPECT_TRUE(SavedPictureNotice::send(u"tform1"_s, u"/c.bmp"_s));
    EXPECT_EQ(form1.names(), (QStringList{u"/a.bmp"_s, u"/c.bmp"_s}));
    EXPECT_EQ(form2.names(), QStringList{u"/b.bmp"_s});
    EXPECT_TRUE(form3.names().isEmpty());
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm4"_s, u"/d.bmp"_s));
}

// Two copies of atlas each have a form of every class name: each form's socket stays its own, and
// one going away leaves the other reachable both by its socket and by the class name.
TEST_F(SavedPictureNoticeTest, ReceiversOfOneClassNameKeepSocketsOfTheirOwn)
{
    auto earlier = std::make_unique<ReceiverThread>(u"TForm3"_s);
    auto later = std::make_unique<ReceiverThread>(u"TForm3"_s);
    ASSERT_TRUE(earlier->listening());
    ASSERT_TRUE(later->listening());
    const QString earlierSocket = earlier->socketPath(), laterSocket = later->socketPath();
    EXPECT_NE(earlierSocket, laterSocket);
    EXPECT_EQ(QFileInfo(earlierSocket).path(), folder());
    QStringList both{QFileInfo(earlierSocket).fileName(), QFileInfo(laterSocket).fileName()};
    both.sort();
    EXPECT_EQ(socketsIn(folder()), both);

    EXPECT_TRUE(SavedPictureNotice::sendTo(earlierSocket, u"/1.bmp"_s));
    EXPECT_TRUE(SavedPictureNotice::sendTo(laterSocket, u"/2.bmp"_s));
    EXPECT_EQ(earlier->names(), QStringList{u"/1.bmp"_s});
    EXPECT_EQ(later->names(), QStringList{u"/2.bmp"_s});
    // By the class name alone exactly one of them gets it.
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/3.bmp"_s));
    EXPECT_EQ(earlier->names().size() + later->names().size(), 3);

    later.reset();
    EXPECT_FALSE(QFileInfo::exists(laterSocket));
    EXPECT_TRUE(QFileInfo::exists(earlierSocket));
    const QStringList before = earlier->names();
    EXPECT_TRUE(SavedPictureNotice::sendTo(earlierSocket, u"/4.bmp"_s));
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/5.bmp"_s));
    EXPECT_EQ(earlier->names(), before + QStringList({u"/4.bmp"_s, u"/5.bmp"_s}));
    QString error;
    EXPECT_FALSE(SavedPictureNotice::sendTo(laterSocket, u"/6.bmp"_s, 3000, &error));

    earlier.reset();
    EXPECT_TRUE(socketsIn(folder()).isEmpty());
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm3"_s, u"/7.bmp"_s));
}

// Whatever came to lie at a receiver's name, put there by someone else, is left there.
TEST_F(SavedPictureNoticeTest, ReceiverRemovesOnlyTheSocketItMade)
{
    auto receiver = std::make_unique<ReceiverThread>(u"TForm1"_s);
    const QString socket = receiver->socketPath();
    ASSERT_EQ(::unlink(QFile::encodeName(socket).constData()), 0);
    bindDeadSocket(socket);
    receiver.reset();
    EXPECT_TRUE(QFileInfo(socket).exists());
    EXPECT_EQ(socketsIn(folder()), QStringList{QFileInfo(socket).fileName()});
}

// The map editor's side: a receiver in the GUI thread gets the name while the tool is waited for,
// when it named itself to the tool, although another receiver of its class name is newer.
TEST_F(SavedPictureNoticeTest, ToolNoticeArrivesDuringTheWait)
{
    TempFolder temp;
    const QString picture = temp.file(u"地図.bmp"_s);
    QImage(16, 16, QImage::Format_RGB32).save(picture);
    Receiver receiver(u"TForm1"_s);
    ReceiverThread newer(u"TForm1"_s);
    int signals_ = 0;
    QObject::connect(&receiver, &Receiver::received, [&](const QString&) { ++signals_; });
    qputenv("FAKE_TOOL_NOTIFY", "1");
    qputenv("FAKE_TOOL_SAVE_AS", QFile::encodeName(temp.file(u"保存.bmp"_s)));
    const QString variable = QString::fromLatin1(SavedPictureNotice::ReceiverVariable);
    // The form expects the run's process from its start, as the map editor's forms do.
    const auto expectRun = [&](qint64 pid) { receiver.expectFrom(pid); };
    ToolRunner::Result r =
        ToolRunner::runAndWait(FakeTool, {picture, u"TForm1"_s}, {}, {{variable, receiver.socketPath()}}, expectRun);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(receiver.lastName(), temp.file(u"保存.bmp"_s));
    EXPECT_EQ(signals_, 1);
    EXPECT_TRUE(newer.names().isEmpty());
    receiver.clear();
    EXPECT_TRUE(receiver.lastName().isEmpty());

    // A tool that was told no receiver looks for its class name; a variable the runner is asked
    // to remove does not reach the tool.
    qputenv(SavedPictureNotice::ReceiverVariable, QFile::encodeName(receiver.socketPath()));
    r = ToolRunner::runAndWait(FakeTool, {picture, u"TForm1"_s}, {}, {{variable, QString()}}, expectRun);
    qunsetenv(SavedPictureNotice::ReceiverVariable);
    qunsetenv("FAKE_TOOL_NOTIFY");
    qunsetenv("FAKE_TOOL_SAVE_AS");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(signals_ + newer.names().size(), 2);
}

// A form takes a picture only from the run it started: the kernel names the sender of each
// connection, and only the process expected or one descended from it is heard. Anything else, also
// while nothing is expected, is answered 0 and dropped, so the sender can tell its user.
TEST_F(SavedPictureNoticeTest, OnlyTheExpectedProcessAndItsDescendantsAreHeard)
{
    ReceiverThread receiver(u"TForm2"_s);
    const QString socket = receiver.socketPath();
    QProcess stranger;
    stranger.start(u"/bin/sleep"_s, {u"60"_s});
    ASSERT_TRUE(stranger.waitForStarted(10000));
    const qint64 self = QCoreApplication::applicationPid();

    QString error;
    receiver.expectFrom(stranger.processId());
    EXPECT_FALSE(SavedPictureNotice::sendTo(socket, u"/tmp/a.bmp"_s, 3000, &error));
    EXPECT_TRUE(error.contains(u"受け取りませんでした"_s)) << error.toStdString();
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 3000, &error));
    receiver.expectFrom(0);
    EXPECT_FALSE(SavedPictureNotice::sendTo(socket, u"/tmp/b.bmp"_s, 3000, &error));
    EXPECT_TRUE(receiver.names().isEmpty());

    // This process is descended from the one that started it, as a tool from a launcher.
    receiver.expectFrom(qint64(::getppid()));
    EXPECT_TRUE(SavedPictureNotice::sendTo(socket, u"/tmp/c.bmp"_s, 3000, &error)) << error.toStdString();

    // A child of the process expected: the stand-in tool saves and names its picture.
    receiver.expectFrom(self);
    TempFolder temp;
    const QString picture = temp.file(u"p.bmp"_s), saved = temp.file(u"saved.bmp"_s);
    ASSERT_TRUE(QImage(8, 8, QImage::Format_RGB32).save(picture));
    QProcess tool;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"FAKE_TOOL_NOTIFY"_s, u"1"_s);
    environment.insert(u"FAKE_TOOL_SAVE_AS"_s, saved);
    environment.insert(QString::fromLatin1(SavedPictureNotice::ReceiverVariable), socket);
    tool.setProcessEnvironment(environment);
    tool.start(FakeTool, {picture, u"TForm2"_s});
    ASSERT_TRUE(tool.waitForFinished(20000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(receiver.names(), (QStringList{u"/tmp/c.bmp"_s, saved}));

    EXPECT_TRUE(SavedPictureNotice::isDescendedFrom(self, self));
    EXPECT_TRUE(SavedPictureNotice::isDescendedFrom(stranger.processId(), self));
    EXPECT_FALSE(SavedPictureNotice::isDescendedFrom(self, stranger.processId()));
    EXPECT_FALSE(SavedPictureNotice::isDescendedFrom(self, 0));
    stranger.kill();
    stranger.waitForFinished(10000);
}

// ---- Bad senders -------------------------------------------------------------------------

struct BadFrame {
    const char* what;
    QByteArray bytes;
    std::optional<qint32> answer; // nullopt: closed unanswered
    bool closeEarly = false;      // the sender gives up before the frame is complete
};

void PrintTo(const BadFrame& f, std::ostream* os) { *os << f.what; }

class BadFrameTest : public SavedPictureNoticeTest, public ::testing::WithParamInterface<BadFrame> {};

TEST_P(BadFrameTest, LeavesTheReceiverForTheNextNotice)
{
    const BadFrame& f = GetParam();
    ReceiverThread receiver(u"TForm1"_s);
    {
        QLocalSocket socket;
        ASSERT_TRUE(connectRaw(socket, receiver.socketPath()));
        writeAll(socket, f.bytes);
        if (!f.closeEarly) {
            EXPECT_EQ(answerOf(socket), f.answer);
        }
    }
    QString error;
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm1"_s, u"/next.bmp"_s, 3000, &error)) << error.toStdString();
    const QStringList expected = f.answer == 1 ? QStringList{u"/a.bmp"_s, u"/next.bmp"_s} : QStringList{u"/next.bmp"_s};
    EXPECT_EQ(receiver.names(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, BadFrameTest,
    ::testing::Values(BadFrame{"huge block", frame(0xFFFFFFFFu, "/a.bmp"), std::nullopt},
                      BadFrame{"block just over 64 KB", frame(65537, QByteArray(100, 'a')), std::nullopt},
                      BadFrame{"not code page 932", frame(4, "\x81\x20" "a\0"_ba), 0},
                      BadFrame{"empty name", frame(1, "\0"_ba), 0},
                      BadFrame{"no block at all", frame(0, {}), 0},
                      BadFrame{"header cut short", QByteArray("\0\0\0", 3), std::nullopt, true},
                      BadFrame{"block cut short", frame(100, "/a.bmp"), std::nullopt, true},
                      // Still fine: the name ends at the first zero or with the block.
                      BadFrame{"no terminating zero", frame(6, "/a.bmp"), 1},
                      BadFrame{"bytes after the zero", frame(10, "/a.bmp\0xyz"_ba), 1},
                      BadFrame{"dwData not 0", frame(7, "/a.bmp\0"_ba, 12345), 1}));

TEST_F(SavedPictureNoticeTest, FramesInPiecesAndInterleavedConnections)
{
    ReceiverThread receiver(u"TForm1"_s);
    const QByteArray first = frame(14, cp932(u"/絵/first.bmp"_s) + '\0');
    const QByteArray second = frame(8, "/second\0"_ba);
    QLocalSocket a, b;
    ASSERT_TRUE(connectRaw(a, receiver.socketPath()));
    ASSERT_TRUE(connectRaw(b, receiver.socketPath()));
    // The first frame byte by byte, the second whole in the middle of it.
    for (qsizetype i = 0; i < first.size(); ++i) {
        writeAll(a, first.mid(i, 1));
        QThread::msleep(2);
        if (i == 5) {
            writeAll(b, second);
            EXPECT_EQ(answerOf(b), 1);
        }
    }
    EXPECT_EQ(answerOf(a), 1);
    EXPECT_EQ(receiver.names(), (QStringList{u"/second"_s, u"/絵/first.bmp"_s}));
}

// ---- The socket's folder -------------------------------------------------------------------

TEST_F(SavedPictureNoticeTest, SocketFolderIsTheUsersAlone)
{
    ReceiverThread receiver(u"TForm1"_s);
    ASSERT_TRUE(receiver.listening());
    struct stat info;
    ASSERT_EQ(::lstat(QFile::encodeName(folder()).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_TRUE(folder().startsWith(m_runtime.path()));
}

TEST_F(SavedPictureNoticeTest, FolderOthersCanEnterIsNotUsed)
{
    ASSERT_EQ(::mkdir(QFile::encodeName(folder()).constData(), 0700), 0);
    ::chmod(QFile::encodeName(folder()).constData(), 0755);
    ReceiverThread receiver(u"TForm1"_s);
    EXPECT_FALSE(receiver.listening());
    QString error;
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm1"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_TRUE(error.contains(u"他のユーザー"_s)) << error.toStdString();
    EXPECT_FALSE(SavedPictureNotice::sendTo(folder() + u"/x"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_TRUE(error.contains(u"他のユーザー"_s)) << error.toStdString();
}

// What lies in the folder is used only when it is this user's own socket: a link is never
// followed, and a file, or a socket handed to another user, is refused.
TEST_F(SavedPictureNoticeTest, OnlyTheUsersOwnSocketIsUsed)
{
    ReceiverThread elsewhere(u"TForm3"_s);
    ASSERT_TRUE(elsewhere.listening());
    const QString target = elsewhere.socketPath();
    const QString planted = siblingPath(target, u"tform2"_s, u"1-1"_s);

    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(planted).constData()), 0);
    QString error;
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_FALSE(SavedPictureNotice::sendTo(planted, u"/a.bmp"_s, 3000, &error));
    EXPECT_FALSE(error.isEmpty());
    ::unlink(QFile::encodeName(planted).constData());

    m_runtime.write(planted.mid(m_runtime.path().size()), "planted");
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_FALSE(SavedPictureNotice::sendTo(planted, u"/a.bmp"_s, 3000, &error));
    EXPECT_EQ(m_runtime.read(planted), "planted");

    if (::geteuid() == 0) {
        const QByteArray bytes = QFile::encodeName(target);
        ASSERT_EQ(::lchown(bytes.constData(), 65534, 65534), 0);
        EXPECT_FALSE(SavedPictureNotice::send(u"TForm3"_s, u"/a.bmp"_s, 3000, &error));
        EXPECT_FALSE(SavedPictureNotice::sendTo(target, u"/a.bmp"_s, 3000, &error));
        ASSERT_EQ(::lchown(bytes.constData(), 0, 0), 0);
    }
    EXPECT_TRUE(elsewhere.names().isEmpty());
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/b.bmp"_s, 3000, &error)) << error.toStdString();
    EXPECT_EQ(elsewhere.names(), QStringList{u"/b.bmp"_s});
}

// A socket named in the environment is used only when it is a name right in the user's folder: a
// live socket anywhere else, or a way round into the folder, is never connected to.
TEST_F(SavedPictureNoticeTest, NamedSocketOutsideTheFolderIsRefused)
{
    ReceiverThread receiver(u"TForm2"_s);
    ASSERT_TRUE(receiver.listening());
    const QString own = receiver.socketPath();
    QLocalServer outside;
    ASSERT_TRUE(outside.listen(m_runtime.file(u"outside"_s)));
    const QString name = QFileInfo(own).fileName();
    ASSERT_EQ(::mkdir(QFile::encodeName(folder() + u"/sub"_s).constData(), 0700), 0);
    const QString inSub = folder() + u"/sub/"_s + name;
    ASSERT_EQ(::link(QFile::encodeName(own).constData(), QFile::encodeName(inSub).constData()), 0);
    const QString refused[] = {
        outside.fullServerName(),
        folder() + u"/../"_s + QFileInfo(folder()).fileName() + u"/"_s + name,
        folder() + u"//"_s + name,
        inSub,
        name,
        QString(),
    };
    for (const QString& path : refused) {
        QString error;
        EXPECT_FALSE(SavedPictureNotice::sendTo(path, u"/a.bmp"_s, 3000, &error)) << path.toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    EXPECT_FALSE(outside.waitForNewConnection(0));
    EXPECT_TRUE(receiver.names().isEmpty());
    QString error;
    EXPECT_TRUE(SavedPictureNotice::sendToCaller(own, u"TFormOther"_s, u"/b.bmp"_s, 3000, &error))
        << error.toStdString();
    EXPECT_EQ(receiver.names(), QStringList{u"/b.bmp"_s});
}

// The class name is looked up on the program's own desktop only, as FindWindow does; a named
// socket needs no lookup.
TEST_F(SavedPictureNoticeTest, ClassNameLookupStaysOnItsDesktop)
{
    ReceiverThread x71(u"TForm1"_s);
    ASSERT_TRUE(x71.listening());
    const struct {
        const char* display;
        const char* wayland;
        bool reached;
    } cases[] = {
        {":71", nullptr, true},        {":71.0", nullptr, true},    {"unix:71.1", nullptr, true},
        {":72", nullptr, false},       {"host:71", nullptr, false}, {":71", "wayland-0", false},
        {nullptr, "wayland-0", false}, {nullptr, nullptr, false},
    };
    int reached = 0;
    for (const auto& c : cases) {
        c.display ? qputenv("DISPLAY", c.display) : qunsetenv("DISPLAY");
        c.wayland ? qputenv("WAYLAND_DISPLAY", c.wayland) : qunsetenv("WAYLAND_DISPLAY");
        EXPECT_EQ(SavedPictureNotice::send(u"TForm1"_s, u"/a.bmp"_s, 3000), c.reached)
            << (c.display ? c.display : "-") << " " << (c.wayland ? c.wayland : "-");
        reached += c.reached;
    }
    EXPECT_EQ(x71.names().size(), reached);
    EXPECT_TRUE(SavedPictureNotice::sendTo(x71.socketPath(), u"/b.bmp"_s, 3000));

    // A receiver on the Wayland desktop is found there, and not from the X display it also has.
    qputenv("DISPLAY", ":71");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    ReceiverThread wayland(u"TForm1"_s);
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm1"_s, u"/c.bmp"_s, 3000));
    EXPECT_EQ(wayland.names(), QStringList{u"/c.bmp"_s});
    EXPECT_EQ(x71.names().size(), reached + 1);
}

TEST_F(SavedPictureNoticeTest, ClassNamesStayInsideTheFolder)
{
    QStringList paths;
    for (const QString& name :
         {u"../../etc/x"_s, u"/abs"_s, u"フォーム"_s, QString(300, u'A'), u"a b"_s, u"a.b"_s, u"../x"_s, u"../y"_s}) {
        ReceiverThread receiver(name);
        ASSERT_TRUE(receiver.listening()) << name.toStdString();
        const QString path = receiver.socketPath();
        EXPECT_EQ(QFileInfo(path).path(), folder()) << name.toStdString();
        // Four dots would let a name run into the next part.
        EXPECT_EQ(QFileInfo(path).fileName().count(u'.'), 2) << path.toStdString();
        EXPECT_LT(QFile::encodeName(path).size(), 100);
        paths.append(QFileInfo(path).fileName().section(u'.', 0, 1));
        EXPECT_TRUE(SavedPictureNotice::send(name, u"/a.bmp"_s)) << name.toStdString();
        EXPECT_EQ(receiver.names(), QStringList{u"/a.bmp"_s});
    }
    paths.removeDuplicates();
    EXPECT_EQ(paths.size(), 8);
    QString error;
    EXPECT_FALSE(SavedPictureNotice::send(QString(), u"/a.bmp"_s, 3000, &error));
    EXPECT_FALSE(Receiver(QString()).isListening());
}

} // namespace
