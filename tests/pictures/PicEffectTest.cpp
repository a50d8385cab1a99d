#include "UnitPicEffect.h"
#include "UnitPictureKiridasi.h"

#include "BmpPicture.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"

#include <QAction>
#include <QLabel>
#include <QScrollBar>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QImage solid(QSize size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

struct FakeHost : PicEffectHost {
    QImage picture;
    int redisplays = 0;
    QImage& EffectPicture() override { return picture; }
    void EffectRedisplay() override { ++redisplays; }
};

class PicEffect : public ::testing::Test {
protected:
    // Shows the form over the host; `during` plays the user.
    int show(std::function<void(TFormPicEffect&)> during)
    {
        prompter.modals.push_back([during](QDialog& d) {
            auto& f = static_cast<TFormPicEffect&>(d);
            int result = QDialog::Rejected;
            const auto c = QObject::connect(&f, &QDialog::finished, [&](int r) { result = r; });
            during(f);
            QObject::disconnect(c);
            return result;
        });
        return form.ShowModal(host);
    }

    ScriptedPrompter prompter;
    TFormPicEffect form;
    FakeHost host;
};

} // namespace

TEST(PicEffectRounding, BarEndsAndHalvesToEven)
{
    const QImage grey = solid({2, 2}, qRgb(0, 1, 128));
    EXPECT_EQ(TFormPicEffect::Adjust(grey, -100, 0, 0, 0).pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_EQ(TFormPicEffect::Adjust(grey, 100, 0, 0, 0).pixel(1, 1), qRgb(255, 255, 255));
    // +50 is 127.5: 0 becomes 128 and 1 (128.5) also 128.
    EXPECT_EQ(qRed(TFormPicEffect::Adjust(solid({1, 1}, qRgb(0, 0, 0)), 0, 50, 0, 0).pixel(0, 0)), 128);
    EXPECT_EQ(qRed(TFormPicEffect::Adjust(solid({1, 1}, qRgb(1, 0, 0)), 0, 50, 0, 0).pixel(0, 0)), 128);
    // Brightness and a colour add: +20 and red +10 move red by 76.5 and the others by 51.
    EXPECT_EQ(TFormPicEffect::Adjust(solid({1, 1}, qRgb(0, 0, 0)), 20, 10, 0, 0).pixel(0, 0), qRgb(76, 51, 51));
    EXPECT_EQ(TFormPicEffect::Adjust(solid({1, 1}, qRgb(250, 3, 9)), 0, 0, -100, 1).pixel(0, 0), qRgb(250, 0, 12));
}

TEST_F(PicEffect, PreviewFollowsTheBarsAndCancelOrCloseRestores)
{
    const QImage original = solid({4, 3}, qRgb(100, 100, 100));
    host.picture = original;
    int result = show([&](TFormPicEffect& f) {
        EXPECT_EQ(f.windowTitle(), u"画像の調整"_s);
        f.sbR->setValue(110);
        // The picture already shows the bar's new position, not the one before it.
        EXPECT_EQ(host.picture.pixel(0, 0), qRgb(126, 100, 100));
        EXPECT_EQ(f.lbR->text(), u"10"_s);
        f.sbBri->setValue(90);
        EXPECT_EQ(host.picture.pixel(0, 0), qRgb(100, 74, 74));
        EXPECT_EQ(f.lbBri->text(), u"-10"_s);
        f.sbR->setValue(100);
        f.sbBri->setValue(100);
        EXPECT_EQ(host.picture, original) << "nothing accumulates";
        f.sbG->setValue(200);
        f.btCancelClick();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(host.picture, original);

    // The title bar's close button ends like Cancel.
    result = show([&](TFormPicEffect& f) {
        f.sbB->setValue(150);
        EXPECT_NE(host.picture, original);
        f.reject();
    });
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(host.picture, original);
    EXPECT_TRUE(form.SavedCopy.isNull());
}

TEST_F(PicEffect, StartOverKeepsTheFormOpenAndOkKeepsTheResult)
{
    host.picture = solid({3, 3}, qRgb(10, 20, 30));
    const int result = show([&](TFormPicEffect& f) {
        f.sbBri->setValue(150);
        f.sbG->setValue(120);
        f.btInitClick();
        EXPECT_EQ(host.picture, solid({3, 3}, qRgb(10, 20, 30)));
        for (QLabel* l : {f.lbBri, f.lbR, f.lbG, f.lbB})
            EXPECT_EQ(l->text(), u"0"_s);
        for (QScrollBar* b : {f.sbBri, f.sbR, f.sbG, f.sbB})
            EXPECT_EQ(b->value(), 100);
        f.sbB->setValue(101);
        f.btOKClick();
    });
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(host.picture.pixel(1, 1), qRgb(10, 20, 33)) << "32.55 rounds to 33";
    EXPECT_GT(host.redisplays, 0);
}

// The size-correction form previews only what it shows; the picture it keeps on OK is the whole
// picture adjusted, exactly, and Cancel gives the picture back untouched.
TEST_F(PicEffect, SizeCorrectionFormHostsItFromItsMenu)
{
    TempFolder folder;
    ProgramFolder::setOverride(folder.path());
    QImage photo(500, 300, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x % 256, y % 256, (x * y) % 256));
    const QString path = folder.file(u"photo.bmp"_s);
    ASSERT_TRUE(PictureFile::save(path, photo, 90));
    TFormPictureKiridasi kiridasi;
    kiridasi.PictureFileName = path;
    prompter.modals.push_back([&](QDialog& d) {
        auto& k = static_cast<TFormPictureKiridasi&>(d);
        EXPECT_EQ(k.Effect->text(), u"色・明るさ調整(&M)"_s);
        for (const bool ok : {false, true}) {
            prompter.modals.push_back([&](QDialog& e) {
                auto& f = static_cast<TFormPicEffect&>(e);
                f.sbBri->setValue(120);
                f.sbB->setValue(70);
                EXPECT_EQ(k.WorkBitmap, photo) << "only what is shown is adjusted while a bar moves";
                if (ok)
                    f.btOKClick();
                else
                    f.btCancelClick();
                return f.result();
            });
            k.Effect->trigger();
            EXPECT_EQ(k.WorkBitmap, ok ? TFormPicEffect::Adjust(photo, 20, 0, 0, -30) : photo);
        }
        return int(QDialog::Rejected);
    });
    kiridasi.ShowModal();
    ProgramFolder::setOverride(QString());
}
