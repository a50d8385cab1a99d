#pragma once

#include "SavedPictureNotice.h"

#include <QCoreApplication>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QThread>

// The waiting map-editor form's end of the picture hand-back, in a thread of its own with its own
// event loop: the sender blocks on its socket, so the receiver cannot share the test's thread. It
// takes the notices of the test's own process and its children, as a form waiting for a run would
// take those of the run's.
class ReceiverThread : public QThread {
public:
    explicit ReceiverThread(const QString& className) : m_className(className)
    {
        start();
        m_ready.acquire();
    }
    ~ReceiverThread() override
    {
        quit();
        wait();
    }

    bool listening() const { return m_listening; }
    // The receiver's own socket, to name to a tool.
    QString socketPath() const { return m_socketPath; }
    QStringList names() const
    {
        QMutexLocker lock(&m_mutex);
        return m_names;
    }
    // Whose notices the receiver takes from now on (0: nobody's), set in its thread.
    void expectFrom(qint64 pid)
    {
        QMetaObject::invokeMethod(
            m_receiver, [&] { pid > 0 ? m_receiver->expectFrom(pid) : m_receiver->expectNone(); },
            Qt::BlockingQueuedConnection);
    }
    // The receiver's own record, read in its thread.
    QString lastName()
    {
        QString name;
        QMetaObject::invokeMethod(m_receiver, [&] { name = m_receiver->lastName(); }, Qt::BlockingQueuedConnection);
        return name;
    }

protected:
    void run() override
    {
        SavedPictureNotice::Receiver receiver(m_className);
        m_receiver = &receiver;
        receiver.expectFrom(QCoreApplication::applicationPid());
        m_listening = receiver.isListening();
        m_socketPath = receiver.socketPath();
        QObject::connect(&receiver, &SavedPictureNotice::Receiver::received, [this](const QString& name) {
            QMutexLocker lock(&m_mutex);
            m_names.append(name);
        });
        m_ready.release();
        exec();
    }

private:
    QString m_className;
    SavedPictureNotice::Receiver* m_receiver = nullptr;
    bool m_listening = false;
    QString m_socketPath;
    mutable QMutex m_mutex;
    QStringList m_names;
    QSemaphore m_ready;
};
