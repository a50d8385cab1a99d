#pragma once

#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "EaselForms.h"
#include "ProgramFolder.h"
#include "ReceiverThread.h"
#include "SavedPictureNotice.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"
#include "UnitPictureEditor.h"

#include <QCoreApplication>
#include <QImage>
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
