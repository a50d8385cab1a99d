#include "ReceiverThread.h"
#include "SavedPictureNotice.h"

#include "Cp932.h"
#include "TempFolder.h"
#include "ToolRunner.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QLocalSocket>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
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
        if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
            m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path().chopped(1)));
    }
    void TearDown() override
    {
        if (m_oldRuntime)
            qputenv("XDG_RUNTIME_DIR", *m_oldRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

    static QString folder() { return QFileInfo(SavedPictureNotice::serverPath(u"TForm1"_s)).absolutePath(); }

    TempFolder m_runtime;
    std::optional<QByteArray> m_oldRuntime;
};

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

bool connectRaw(QLocalSocket& socket, const QString& className)
{
    socket.connectToServer(SavedPictureNotice::serverPath(className));
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

TEST_F(SavedPictureNoticeTest, SenderRefusesNamesItCannotWrite)
{
    ReceiverThread receiver(u"TForm1"_s);
    const struct {
        QString name;
        QString inMessage;
    } cases[] = {
        {u"/tmp/😀.bmp"_s, u"😀"_s},
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

    // A socket file left behind by a receiver that died.
    {
        const QString path = SavedPictureNotice::serverPath(u"TForm2"_s);
        ASSERT_EQ(::mkdir(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), 0700), 0);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        ASSERT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 5000, &error));
    EXPECT_LT(timer.elapsed(), 1000);

    ReceiverThread receiver(u"TForm2"_s);
    ASSERT_TRUE(receiver.listening());
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm2"_s, u"/tmp/a.bmp"_s, 3000, &error)) << error.toStdString();
    EXPECT_EQ(receiver.names(), QStringList{u"/tmp/a.bmp"_s});
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

TEST_F(SavedPictureNoticeTest, LaterReceiverTakesTheNameOverAndOutlivesTheEarlier)
{
    auto earlier = std::make_unique<ReceiverThread>(u"TForm3"_s);
    auto later = std::make_unique<ReceiverThread>(u"TForm3"_s);
    ASSERT_TRUE(earlier->listening());
    ASSERT_TRUE(later->listening());
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/1.bmp"_s));
    earlier.reset();
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/2.bmp"_s));
    EXPECT_EQ(later->names(), (QStringList{u"/1.bmp"_s, u"/2.bmp"_s}));
    later.reset();
    EXPECT_FALSE(QFileInfo::exists(SavedPictureNotice::serverPath(u"TForm3"_s)));
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm3"_s, u"/3.bmp"_s));
}

// The map editor's side: a receiver in the GUI thread gets the name while the tool is waited for.
TEST_F(SavedPictureNoticeTest, ToolNoticeArrivesDuringTheWait)
{
    TempFolder temp;
    const QString picture = temp.file(u"地図.bmp"_s);
    QImage(16, 16, QImage::Format_RGB32).save(picture);
    Receiver receiver(u"TForm1"_s);
    int signals_ = 0;
    QObject::connect(&receiver, &Receiver::received, [&](const QString&) { ++signals_; });
    qputenv("FAKE_TOOL_NOTIFY", "1");
    qputenv("FAKE_TOOL_SAVE_AS", QFile::encodeName(temp.file(u"保存.bmp"_s)));
    const ToolRunner::Result r = ToolRunner::runAndWait(FakeTool, {picture, u"TForm1"_s});
    qunsetenv("FAKE_TOOL_NOTIFY");
    qunsetenv("FAKE_TOOL_SAVE_AS");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(receiver.lastName(), temp.file(u"保存.bmp"_s));
    EXPECT_EQ(signals_, 1);
    receiver.clear();
    EXPECT_TRUE(receiver.lastName().isEmpty());
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
        ASSERT_TRUE(connectRaw(socket, u"TForm1"_s));
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
    ASSERT_TRUE(connectRaw(a, u"TForm1"_s));
    ASSERT_TRUE(connectRaw(b, u"TForm1"_s));
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
}

// What lies at a socket's name is used only when it is this user's own socket: a link is never
// followed, and a file, or a socket handed to another user, is refused.
TEST_F(SavedPictureNoticeTest, OnlyTheUsersOwnSocketIsUsed)
{
    ReceiverThread elsewhere(u"TForm3"_s);
    ASSERT_TRUE(elsewhere.listening());
    const QString path = SavedPictureNotice::serverPath(u"TForm2"_s);
    const QByteArray target = QFile::encodeName(SavedPictureNotice::serverPath(u"TForm3"_s));

    ASSERT_EQ(::symlink(target.constData(), QFile::encodeName(path).constData()), 0);
    QString error;
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_FALSE(error.isEmpty());
    ::unlink(QFile::encodeName(path).constData());

    m_runtime.write(QFileInfo(path).absoluteFilePath().mid(m_runtime.path().size()), "planted");
    EXPECT_FALSE(SavedPictureNotice::send(u"TForm2"_s, u"/a.bmp"_s, 3000, &error));
    EXPECT_EQ(m_runtime.read(path), "planted");

    if (::geteuid() == 0) {
        ASSERT_EQ(::lchown(target.constData(), 65534, 65534), 0);
        EXPECT_FALSE(SavedPictureNotice::send(u"TForm3"_s, u"/a.bmp"_s, 3000, &error));
        ASSERT_EQ(::lchown(target.constData(), 0, 0), 0);
    }
    EXPECT_TRUE(elsewhere.names().isEmpty());
    EXPECT_TRUE(SavedPictureNotice::send(u"TForm3"_s, u"/b.bmp"_s, 3000, &error)) << error.toStdString();
    EXPECT_EQ(elsewhere.names(), QStringList{u"/b.bmp"_s});
}

TEST_F(SavedPictureNoticeTest, ClassNamesStayInsideTheFolder)
{
    EXPECT_TRUE(SavedPictureNotice::serverPath(QString()).isEmpty());
    for (const QString& name : {u"../../etc/x"_s, u"/abs"_s, u"フォーム"_s, QString(300, u'A'), u"a b"_s}) {
        const QString path = SavedPictureNotice::serverPath(name);
        EXPECT_EQ(QFileInfo(path).absolutePath(), folder()) << name.toStdString();
        EXPECT_LT(QFile::encodeName(path).size(), 90);
    }
    EXPECT_NE(SavedPictureNotice::serverPath(u"../x"_s), SavedPictureNotice::serverPath(u"../y"_s));
    ReceiverThread receiver(u"../フォーム"_s);
    ASSERT_TRUE(receiver.listening());
    EXPECT_TRUE(SavedPictureNotice::send(u"../フォーム"_s, u"/a.bmp"_s));
    EXPECT_EQ(receiver.names(), QStringList{u"/a.bmp"_s});
}

} // namespace
