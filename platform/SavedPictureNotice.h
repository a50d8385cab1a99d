#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLocalSocket;

// The hand-back of a saved picture's full name from the picture editor to the waiting form of the
// map editor, found by its window class name alone ("TForm1", "TForm2", "TForm3").
// Wire form (both directions in one local socket connection): dwData (32-bit, 0), cbData (32-bit,
// the name's code-page-932 length + 1), then cbData bytes: the name and a zero byte; the receiver
// answers one 32-bit value, 1. Names up to 255 bytes fit the classic 256-byte block; a longer
// name is sent whole and read by cbData, never cut.
namespace SavedPictureNotice {

// Where the receiver of a class name listens: a socket in a per-user folder only that user can
// reach (under the runtime directory, mode 0700; checked for owner and mode before each use).
// Class names compare without ASCII case, as window class names do. Empty for an empty name.
QString serverPath(const QString& className);

// One frame as it arrives: dwData and cbData (little-endian 32-bit each), then cbData bytes
// holding the name up to its zero. Too few bytes so far is Incomplete; a block over the limit is
// Refused (the connection is dropped); a whole frame is Taken, with its name when the name is
// code page 932 text and not empty.
struct Frame {
    enum State { Incomplete, Refused, Taken } state = Incomplete;
    qint64 size = 0; // bytes the frame takes
    QString name;    // empty: nothing to hand on
};
Frame parseFrame(const QByteArray& bytes);

class Receiver : public QObject {
    Q_OBJECT

public:
    // Starts listening at once and keeps listening for the receiver's lifetime. Receivers of
    // different class names coexist. A later receiver of the same class name, in this or another
    // process of the user, takes the name over: notices go to the latest one, and an earlier one
    // going away leaves the later one listening.
    // Each connection carries one notice. A name that is empty or not code page 932 is dropped and
    // answered 0; a block over 64 KB, or a connection idle for 10 s, is closed unanswered.
    explicit Receiver(const QString& className, QObject* parent = nullptr);
    ~Receiver() override;

    bool isListening() const;
    QString className() const { return m_className; }
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
    std::unique_ptr<QLocalServer> m_server;
    // The socket file this receiver put in place, so that it removes only its own when it goes.
    QString m_path;
    quint64 m_device = 0, m_inode = 0;
};

// Sends the name to the receiver of the class name and waits for its answer; false (with *error)
// when no receiver listens, the name cannot be written in code page 932, or no answer 1 came.
// Blocks without processing events, so the receiver must live in another thread or process.
bool send(const QString& className, const QString& fileName, int timeoutMs = 2000, QString* error = nullptr);

} // namespace SavedPictureNotice
