#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The hand-back of a saved picture's full name from the picture editor to the waiting form of the
// map editor. The form that starts the tool names its own receiver in the tool's environment
// (ReceiverVariable); a tool that was not told finds a receiver by the window class name alone
// ("TForm1", "TForm2", "TForm3"), as FindWindow would, on its own desktop.
// Wire form (both directions in one local socket connection): dwData (32-bit), cbData (32-bit,
// the name's code-page-932 length + 1), then cbData bytes: the name and a zero byte; the receiver
// answers one 32-bit value, 1. Names up to 255 bytes fit the classic 256-byte block; a longer
// name is sent whole and read by cbData, never cut. dwData is 0 for a picture the tool saved, the
// classic notice; a picture it only opened is told with a mark of its own, so that a receiver never
// takes a picture the user merely looked at for one the tool wrote.
namespace SavedPictureNotice {

enum class Notice : quint32 { Saved = 0, Opened = 0x4E45504F };

// The environment variable that names, to a started tool, the socket of the receiver to answer.
inline constexpr char ReceiverVariable[] = "ATLAS_SAVED_PICTURE_SOCKET";

// The per-user folder the receivers listen in (under the runtime directory, mode 0700; checked for
// owner and mode before each use). Each receiver has a socket of its own there, named
// "<desktop>.<class name>.<pid>-<n>": the desktop a short hash of the X or Wayland display, the
// class name in lower case (hashed when it is not plain letters and digits).
QString folderPath();

// One frame as it arrives: dwData and cbData (little-endian 32-bit each), then cbData bytes
// holding the name up to its zero. Too few bytes so far is Incomplete; a block over the limit is
// Refused (the connection is dropped); a whole frame is Taken, with its name when the name is
// code page 932 text and not empty, and that name is handed on unless the frame carries the mark
// of a picture only opened (any other dwData, as senders of the classic notice may set, is a save).
struct Frame {
    enum State { Incomplete, Refused, Taken } state = Incomplete;
    qint64 size = 0; // bytes the frame takes
    QString name;    // empty: nothing to hand on
    quint32 data = 0; // dwData
    bool saved() const { return data != quint32(Notice::Opened); }
};
Frame parseFrame(const QByteArray& bytes);

class Receiver : public QObject {
    Q_OBJECT

public:
    // Starts listening at once, on a socket of its own, and keeps listening for the receiver's
    // lifetime; it never replaces or removes another receiver's socket, in this or another
    // process, and removes only its own when it goes. Receivers of one class name coexist.
    // Each connection carries one notice. A notice is taken only while the receiver expects one
    // (expectFrom), and only from the process expected or one descended from it, as the kernel
    // names the sender of the connection: anything else is answered 0 and dropped, so a form never
    // takes a picture from a program it did not start. A name that is empty or not code page 932 is
    // dropped and answered 0; a block over 64 KB, or a connection idle for 10 s, is closed
    // unanswered. Only a save's name is received; an opened picture's notice is answered 1 and goes
    // no further.
    explicit Receiver(const QString& className, QObject* parent = nullptr);
    ~Receiver() override;

    // From now on notices of that process and those descended from it are taken.
    void expectFrom(qint64 pid) { m_expected = pid; }
    // From now on every notice is refused (as before the first expectFrom).
    void expectNone() { m_expected = 0; }

    bool isListening() const;
    QString className() const { return m_className; }
    // The receiver's own socket, to be named to the tool; empty when it does not listen.
    QString socketPath() const { return m_server ? m_path : QString(); }
    // The last name received (empty until one arrives, and after clear()).
    QString lastName() const { return m_lastName; }
    void clear() { m_lastName.clear(); }

signals:
    void received(const QString& fileName);

private:
    void accept();
    void readFrame(QLocalSocket* socket);

    QString m_className;
    QString m_lastName;
    qint64 m_expected = 0;
    std::unique_ptr<QLocalServer> m_server;
    // The socket file this receiver made, so that it removes only that one when it goes.
    QString m_path;
    quint64 m_device = 0, m_inode = 0;
};

// Whether the process is the ancestor or descended from it, walking up the parents the system
// names (/proc/<pid>/stat); false for a process that has gone.
bool isDescendedFrom(qint64 pid, qint64 ancestor);

// The sends below wait for the receiver's answer and return false (with *error) when the name
// cannot be written in code page 932, no receiver is found, or no answer 1 came. They block
// without processing events, so the receiver must live in another thread or process.

// To the live receiver of the class name on this desktop (the newest when there are several).
bool send(const QString& className, const QString& fileName, int timeoutMs = 2000, QString* error = nullptr,
          Notice notice = Notice::Saved);

// To the receiver at that socket, which must lie in this user's folder and be a socket of this
// user: a name from the environment never leads anywhere else.
bool sendTo(const QString& socketPath, const QString& fileName, int timeoutMs = 2000, QString* error = nullptr,
            Notice notice = Notice::Saved);

// The socket named in this process's environment (ReceiverVariable); empty when none is named.
QString receiverFromEnvironment();

// What a started tool does: to the named receiver when it was told one, else by the class name.
bool sendToCaller(const QString& socketPath, const QString& className, const QString& fileName, int timeoutMs = 2000,
                  QString* error = nullptr, Notice notice = Notice::Saved);

} // namespace SavedPictureNotice
