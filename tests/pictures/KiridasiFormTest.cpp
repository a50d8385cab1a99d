#include "UnitPictureKiridasi.h"

#include "BmpPicture.h"
#include "MyFileDialogs.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

QImage solid(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Left half one colour, right half another, so which part was cut can be told.
QImage halves(QSize size)
{
    QImage image = solid(size, qRgb(200, 0, 0));
    for (int y = 0; y < size.height(); ++y)
        for (int x = size.width() / 2; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(0, 0, 200));
    return image;
}

const QString CutFirst = u"［切り出す］を実行して下さい。"_s;

class KiridasiForm : public ::testing::Test {
protected:
    void SetUp() override { ProgramFolder::setOverride(folder.path()); }
    void TearDown() override { ProgramFolder::setOverride(QString()); }

    QString picture(const QString& name, const QImage& image)
    {
        const QString path = folder.file(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(PictureFile::save(path, image, 90));
        return path;
    }

    // Shows the form as a caller does; `during` plays the user and says how the form is closed.
    int show(const QString& path, QSize required, std::function<void(TFormPictureKiridasi&)> during)
    {
        form.RequiredWidth = required.width();
        form.RequiredHeight = required.height();
        form.PictureFileName = path;
        prompter.modals.push_back([&, during](QDialog& d) {
            auto& k = static_cast<TFormPictureKiridasi&>(d);
            accepted = false;
            const auto c = QObject::connect(&k, &QDialog::accepted, [this] { accepted = true; });
            during(k);
            QObject::disconnect(c);
            return accepted ? int(QDialog::Accepted) : int(QDialog::Rejected);
        });
        return form.ShowModal();
    }

    int asked(const QString& text) const
    {
        return int(std::count_if(prompter.asked.begin(), prompter.asked.end(),
                                 [&](const ScriptedPrompter::Asked& a) { return a.text == text; }));
    }

    TempFolder folder;
    ScriptedPrompter prompter;
    TFormPictureKiridasi form;
    bool accepted = false;
};

} // namespace

TEST_F(KiridasiForm, CallerGetsTheCutOfTheRequiredSize)
{
    const QString path = picture(u"in/photo.bmp"_s, solid({1200, 900}, qRgb(10, 150, 60)));
    const int result = show(path, {400, 225}, [&](TFormPictureKiridasi& k) {
        EXPECT_EQ(k.windowTitle(), u"画像サイズの修正 ～ in/photo.bmp"_s);
        EXPECT_EQ(k.WorkBitmap.size(), QSize(1200, 900));
        EXPECT_EQ(k.UpDown2->value(), 400);
        EXPECT_EQ(k.UpDown3->value(), 225);
        k.bbYokoClick();
        EXPECT_EQ(k.UpDown1->value(), 33);
        EXPECT_EQ(k.view().displaySize(), QSize(400, 300));
        k.bbFitClick();
        k.bbSelectClick();
        EXPECT_TRUE(k.bbUndo->isEnabled());
        k.btOKClick();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(form.WorkBitmap, solid({400, 225}, qRgb(10, 150, 60))) << "no seam of white";
    EXPECT_EQ(form.PictureFileName, path);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(KiridasiForm, OkWithoutACutIsRefusedAndTheFormStaysOpen)
{
    const QString path = picture(u"photo.jpg"_s, solid({640, 480}, qRgb(90, 90, 90)));
    const int result = show(path, {300, 300}, [&](TFormPictureKiridasi& k) {
        k.btOKClick();
        EXPECT_FALSE(accepted);
        EXPECT_EQ(prompter.lastText(), CutFirst);
        EXPECT_EQ(prompter.asked.back().buttons, Prompter::Buttons::Ok);
        EXPECT_EQ(prompter.sounds.back(), Prompter::Sound::Asterisk);
        // After an undo no cut is in effect any more.
        k.bbSelectClick();
        k.bbUndoClick();
        k.FormKeyDown(Qt::Key_F4, Qt::NoModifier);
        EXPECT_FALSE(accepted);
        EXPECT_EQ(asked(CutFirst), 2);
        k.bbSelectClick();
        k.FormKeyDown(Qt::Key_F4, Qt::NoModifier);
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(form.WorkBitmap.size(), QSize(300, 300));
}

// A cut saved under a new name and cut again: the caller must get the second cut, which is what
// the user sees, not the file.
TEST_F(KiridasiForm, AfterOkWorkBitmapIsThePictureOnScreen)
{
    const QString path = picture(u"photo.bmp"_s, halves({800, 450}));
    const QString saved = folder.file(u"saved.bmp"_s);
    prompter.files = {saved};
    QImage secondCut;
    show(path, {400, 225}, [&](TFormPictureKiridasi& k) {
        k.bbSelectClick(); // the red half at 100 %
        k.Save1Click();
        EXPECT_EQ(k.PictureFileName, saved);
        EXPECT_TRUE(k.CutSaved);
        k.bbUndoClick();
        for (int i = 0; i < 200; ++i)
            k.FormKeyDown(Qt::Key_Right, Qt::NoModifier);
        k.bbSelectClick(); // the blue half
        secondCut = k.WorkBitmap;
        k.btOKClick();
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(form.WorkBitmap, secondCut);
    EXPECT_EQ(form.WorkBitmap.pixel(10, 10), qRgb(0, 0, 200));
    EXPECT_EQ(PictureFile::load(saved).pixel(10, 10), qRgb(200, 0, 0));
    EXPECT_EQ(form.PictureFileName, saved);
}

TEST_F(KiridasiForm, SavePictureAsWritesBmpOrJpgOnly)
{
    form.WorkBitmap = solid({40, 30}, qRgb(250, 10, 10));
    struct Case {
        const char16_t* name;
        const char16_t* refusedExtension; // nullptr: written
    } cases[] = {
        {u"a.bmp", nullptr}, {u"b.BMP", nullptr}, {u"c.jpg", nullptr}, {u"d.JpG", nullptr},
        {u"e.png", u".png"}, {u"f.jpeg", u".jpeg"}, {u"g", u""},      {u"h.bmp.txt", u".txt"},
    };
    for (const Case& c : cases) {
        const QString path = folder.file(QString::fromUtf16(c.name));
        prompter.asked.clear();
        const bool ok = form.SavePictureAs(path);
        if (!c.refusedExtension) {
            EXPECT_TRUE(ok) << path.toStdString();
            EXPECT_TRUE(prompter.asked.empty());
            const QImage back = PictureFile::load(path);
            EXPECT_EQ(back.size(), QSize(40, 30)) << path.toStdString();
        } else {
            EXPECT_FALSE(ok) << path.toStdString();
            EXPECT_FALSE(QFileInfo::exists(path));
            EXPECT_EQ(prompter.lastText(), u"拡張子 \""_s + QString::fromUtf16(c.refusedExtension)
                                               + u"\" は，保存できない画像形式です。\r\n\r\n拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s);
        }
    }

    form.WorkBitmap = QImage();
    prompter.asked.clear();
    EXPECT_FALSE(form.SavePictureAs(folder.file(u"none.bmp"_s)));
    EXPECT_FALSE(folder.exists(u"none.bmp"_s));
    EXPECT_EQ(prompter.asked.size(), 1u);
}

TEST_F(KiridasiForm, WhatIsNoBmpOrJpgPictureIsRefusedAndChangesNothing)
{
    const QString path = picture(u"photo.bmp"_s, solid({320, 240}, qRgb(1, 2, 3)));
    const QString png = folder.write(u"other.png"_s, BmpPicture::write24(solid({50, 50}, qRgb(9, 9, 9))));
    const QString text = folder.write(u"notes.jpg"_s, "just some words");
    const QString empty = folder.write(u"empty.bmp"_s, QByteArray());
    show(path, {400, 225}, [&](TFormPictureKiridasi& k) {
        for (const QString& bad : {png, text, empty}) {
            prompter.files = {bad};
            k.sbOpenClick();
            EXPECT_EQ(k.PictureFileName, path);
            EXPECT_EQ(k.WorkBitmap.size(), QSize(320, 240));
        }
    });
    ASSERT_EQ(prompter.asked.size(), 3u);
    EXPECT_EQ(prompter.asked[0].text,
              u"拡張子 \".png\" は，開くことができない画像形式です。\r\n\r\n拡張子が \".bmp\" または \".jpg\" の画像を開いて下さい。"_s);
    EXPECT_EQ(prompter.asked[1].text, u"画像ファイルとして読み込めません。"_s);
    EXPECT_FALSE(prompter.asked[2].text.isEmpty());
}

TEST_F(KiridasiForm, ACallerFileThatCannotBeReadLeavesNoPicture)
{
    const QString good = picture(u"photo.bmp"_s, solid({320, 240}, qRgb(1, 2, 3)));
    show(good, {400, 225}, [](TFormPictureKiridasi& k) {
        k.bbSelectClick();
        k.btOKClick();
    });
    ASSERT_TRUE(accepted);

    // Same required size, but the file is gone or broken: nothing of the last showing comes back.
    const QString broken = folder.write(u"broken.bmp"_s, "BM but not really");
    for (const QString& path : {folder.file(u"gone.bmp"_s), broken}) {
        show(path, {400, 225}, [](TFormPictureKiridasi& k) {
            EXPECT_TRUE(k.WorkBitmap.isNull());
            EXPECT_FALSE(k.CutInEffect());
            k.bbSelectClick();
            k.btOKClick();
        });
        EXPECT_FALSE(accepted);
    }
    EXPECT_EQ(prompter.asked.size(), 3u) << "the broken file and two refused OKs";
}

TEST_F(KiridasiForm, UndoAfterTwoCutsShowsThePictureAsLoaded)
{
    const QString path = picture(u"photo.bmp"_s, halves({800, 600}));
    show(path, {400, 225}, [](TFormPictureKiridasi& k) {
        k.bbSelectClick();
        k.FormKeyDown(Qt::Key_Right, Qt::ShiftModifier);
        k.UpDown2->setValue(100);
        k.bbSelectClick();
        EXPECT_EQ(k.WorkBitmap.size(), QSize(100, 225));
        k.bbUndoClick();
        EXPECT_EQ(k.WorkBitmap, k.LoadedBitmap);
        EXPECT_EQ(k.WorkBitmap.size(), QSize(800, 600));
        EXPECT_FALSE(k.bbUndo->isEnabled());
        // Start over also goes back to the file, after a cut too.
        k.bbSelectClick();
        k.bbReStartClick();
        EXPECT_EQ(k.WorkBitmap.size(), QSize(800, 600));
        EXPECT_FALSE(k.CutInEffect());
        EXPECT_EQ(k.UpDown2->value(), 400);
    });
}

TEST_F(KiridasiForm, OpeningAnotherPictureAsksOnlyAfterAnUnsavedCut)
{
    const QString path = picture(u"photo.bmp"_s, solid({320, 240}, qRgb(1, 2, 3)));
    const QString other = picture(u"other.jpg"_s, solid({500, 400}, qRgb(1, 2, 3)));
    const QString question = u"［切り出す］を実行した画像が保存さていません。保存しますか。"_s;
    show(path, {400, 225}, [&](TFormPictureKiridasi& k) {
        k.bbSelectClick();
        prompter.answers = {Answer::Cancel};
        k.sbOpenClick();
        EXPECT_EQ(asked(question), 1);
        EXPECT_TRUE(prompter.fileRequests.empty()) << "Cancel stops before the dialog";

        prompter.answers = {Answer::No};
        prompter.files = {other};
        k.sbOpenClick();
        EXPECT_EQ(asked(question), 2);
        EXPECT_EQ(k.PictureFileName, other);
        EXPECT_EQ(k.windowTitle(), u"画像サイズの修正 ～ other.jpg"_s);
        EXPECT_EQ(k.WorkBitmap.size(), QSize(500, 400));
        EXPECT_EQ(prompter.fileRequests.back().fileName, path);
        EXPECT_EQ(prompter.fileRequests.back().title, u"画像を開く"_s);

        // Yes saves first; the saved cut then asks nothing.
        k.bbSelectClick();
        prompter.answers = {Answer::Yes};
        prompter.files = {folder.file(u"cut.jpg"_s), path};
        k.sbOpenClick();
        EXPECT_TRUE(folder.exists(u"cut.jpg"_s));
        EXPECT_EQ(k.PictureFileName, path);
        prompter.files = {QString()};
        k.sbOpenClick();
        EXPECT_EQ(asked(question), 3);
    });
}

TEST_F(KiridasiForm, SavingOverAFileAsksFirst)
{
    const QString path = picture(u"photo.bmp"_s, solid({320, 240}, qRgb(1, 2, 3)));
    const QString existing = folder.write(u"old.bmp"_s, "keep me");
    show(path, {400, 225}, [&](TFormPictureKiridasi& k) {
        k.bbSelectClick();
        prompter.answers = {Answer::No};
        prompter.files = {existing, folder.file(u"new.jpg"_s)};
        k.Save1Click();
        EXPECT_EQ(prompter.asked.front().text, existing + u"\r\nファイルはすでに存在します。上書き保存しますか。"_s);
        EXPECT_EQ(prompter.asked.front().buttons, Prompter::Buttons::YesNo);
        EXPECT_EQ(folder.read(existing), QByteArray("keep me"));
        EXPECT_EQ(k.PictureFileName, folder.file(u"new.jpg"_s));
        EXPECT_EQ(prompter.fileRequests.back().title, u"画像を保存する"_s);
        EXPECT_TRUE(prompter.fileRequests.back().save);

        prompter.answers = {Answer::Yes};
        prompter.files = {existing};
        k.Save1Click();
        EXPECT_EQ(PictureFile::load(existing).size(), QSize(400, 225));

        // A name of another kind is refused in the dialog, before any question about the file.
        const QString jpeg = folder.write(u"old.jpeg"_s, "keep me too");
        prompter.asked.clear();
        prompter.files = {jpeg, folder.file(u"other.jpg"_s)};
        k.Save1Click();
        ASSERT_EQ(prompter.asked.size(), 1u);
        EXPECT_EQ(
            prompter.asked.front().text,
            u"拡張子 \".jpeg\" は，保存できない画像形式です。\r\n\r\n拡張子を \".bmp\" または \".jpg\" にして保存して下さい。"_s);
        EXPECT_EQ(folder.read(jpeg), QByteArray("keep me too"));
        EXPECT_EQ(k.PictureFileName, folder.file(u"other.jpg"_s));
    });
}

// A value typed into a box counts at once: a menu key that follows without leaving the box acts on
// it, and leaving the box later takes nothing back.
TEST_F(KiridasiForm, ATypedValueCountsBeforeTheNextMenuKey)
{
    const QString path = picture(u"photo.bmp"_s, solid({1200, 900}, qRgb(10, 150, 60)));
    show(path, {960, 435}, [&](TFormPictureKiridasi& k) {
        const auto type = [](QSpinBox* box, const char* text) {
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, QString::fromLatin1(text));
        };
        const auto leave = [](QSpinBox* box) {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(box, &out);
        };
        type(k.UpDown2, "300");
        k.mmSelect->trigger();
        EXPECT_EQ(k.WorkBitmap.size(), QSize(300, 435));
        leave(k.UpDown2);
        EXPECT_EQ(k.UpDown2->value(), 300);

        type(k.UpDown1, "50");
        EXPECT_EQ(k.view().zoomPosition(), 50);
        k.N4->trigger();
        const int fitted = k.UpDown1->value();
        EXPECT_NE(fitted, 50);
        leave(k.UpDown1);
        EXPECT_EQ(k.UpDown1->value(), fitted);
        EXPECT_EQ(k.view().zoomPosition(), fitted);
    });
}

TEST(KiridasiTypeChange, TheNameTakesTheChosenTypesExtension)
{
    struct Case {
        int filter;
        const char16_t* current;
        const char16_t* expected;
    } cases[] = {
        {1, u"photo.jpg", u"photo.bmp"},     {2, u"photo.bmp", u"photo.jpg"},
        {2, u"C:\\pics\\a.b.bmp", u"a.b.jpg"}, {1, u"/tmp/pics/noext", u"noext.bmp"},
        {3, u"photo.jpg", u"photo.jpg"},     {1, u"", u""},     {2, u"dir/", u"dir/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFormPictureKiridasi::TypeChangeName(c.filter, QString::fromUtf16(c.current)),
                  QString::fromUtf16(c.expected))
            << c.filter;
}

// Keys and wheel go through real events on the shown form.
TEST_F(KiridasiForm, KeysAndWheelReachTheView)
{
    const QString path = picture(u"photo.bmp"_s, solid({2000, 1500}, qRgb(1, 2, 3)));
    form.RequiredWidth = 400;
    form.RequiredHeight = 225;
    form.PictureFileName = path;
    form.FormShow();
    form.show();
    QApplication::processEvents();
    const auto press = [](QWidget* to, int key, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QKeyEvent e(QEvent::KeyPress, key, m);
        QApplication::sendEvent(to, &e);
    };

    press(form.bbSelect, Qt::Key_Right);
    press(form.bbSelect, Qt::Key_Down);
    EXPECT_EQ(form.view().frameRect().topLeft(), QPoint(2, 2));
    press(form.bbSelect, Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(form.UpDown2->value(), 401);
    press(form.bbSelect, Qt::Key_PageUp);
    EXPECT_EQ(form.UpDown1->value(), 101);
    form.CheckBox1->click();
    EXPECT_EQ(form.CheckBox1->text(), u"10"_s);
    press(form.bbSelect, Qt::Key_PageDown);
    EXPECT_EQ(form.UpDown1->value(), 91);
    press(form.bbSelect, Qt::Key_D);
    EXPECT_EQ(form.view().scroll().x(), 50);

    // An up-down with the focus keeps its arrow keys.
    form.UpDown3->setFocus();
    press(form.UpDown3, Qt::Key_Left);
    EXPECT_EQ(form.view().frameRect().topLeft(), QPoint(2, 2));

    const QPoint centre = form.ScrollBox1->rect().center();
    const auto wheel = [&](QPoint at, int delta) {
        const QPoint global = form.ScrollBox1->mapToGlobal(at);
        QWidget* canvas = form.ScrollBox1->widget();
        QWheelEvent e(canvas->mapFromGlobal(QPointF(global)), QPointF(global), {}, {0, delta}, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(canvas, &e);
    };
    wheel(centre, 120);
    EXPECT_EQ(form.UpDown1->value(), 101);
    wheel({centre.x(), 2}, -60);
    wheel({centre.x(), 2}, -60);
    EXPECT_EQ(form.view().frameRect().topLeft(), QPoint(2, 4)) << "two half notches make one";
    form.hide();
}
