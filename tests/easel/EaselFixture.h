#pragma once

#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "EaselForms.h"
#include "ProgramFolder.h"
#include "SavedPictureNotice.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"
#include "UnitPictureEditor.h"

#include <QCoreApplication>
#include <QImage>
#include <QMutex>
#include <QSemaphore>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

using namespace Qt::StringLiterals;

// A picture whose pixels tell where they came from, smooth enough for JPEG to keep it closely.
inline QImage patternPicture(QSize size) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            img.setPixel(x, y, qRgb(x * 2 % 256, y * 3 % 256, (x + y) % 256));
    return img;
}

inline QImage solidPicture(QSize size, QRgb colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// The waiting map-editor form's end of the hand-back, in a thread of its own: the sender blocks
// on its socket, so the receiver cannot share the test's thread.
class NoticeCatcher : public QThread {
public:
    explicit NoticeCatcher(const QString& className) : m_className(className) {
        start();
        m_ready.acquire();
    }
    ~NoticeCatcher() override {
        quit();
        wait();
    }
    QStringList names() const {
        QMutexLocker lock(&m_mutex);
        return m_names;
    }

protected:
    void run() override {
        SavedPictureNotice::Receiver receiver(m_className);
        QObject::connect(&receiver, &SavedPictureNotice::Receiver::received, [this](const QString& name) {
            QMutexLocker lock(&m_mutex);
            m_names.append(name);
        });
        m_ready.release();
        exec();
    }

private:
    QString m_className;
    mutable QMutex m_mutex;
    QStringList m_names;
    QSemaphore m_ready;
};

// The picture editor in a throw-away program folder and runtime folder, every question answered
// from a script, the window shown (offscreen) so that the scroll box has its real size.
class EaselFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ProgramFolder::setOverride(program.path());
        if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path().chopped(1)));
        prompter = std::make_unique<ScriptedPrompter>();
        start({});
    }

    void TearDown() override {
        forms.reset();
        prompter.reset();
        ProgramFolder::setOverride(QString());
        if (oldRuntime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
    }

    void start(const QStringList& arguments) {
        forms.reset();
        forms = std::make_unique<EaselForms>();
        forms->create(arguments);
        ed().show();
        QCoreApplication::processEvents();
    }

    TFormPictureEditor& ed() { return *forms->formPictureEditor; }

    QString writePicture(const QString& name, const QImage& picture) {
        const QString path = program.file(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(PictureFile::save(path, picture, 100)) << path.toStdString();
        return path;
    }

    // Draws something: a stamp in the document, as every pixel edit enters it.
    void stamp(const QImage& picture, QPoint at) {
        ed().Doc.CommitShape(Shapes::makeStamp(picture, at, 0));
        ed().PushUndoSnapshot();
    }

    TempFolder program;
    TempFolder runtime;
    QByteArray oldRuntime;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<EaselForms> forms;
};
