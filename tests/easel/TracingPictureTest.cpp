#include "EaselFixture.h"

#include <QMenu>
#include <QPushButton>

namespace {

class TracingPictureTest : public EaselFixture {
protected:
    void press(Qt::MouseButton button, QPoint p) { ed().Image1MouseDown(button, Qt::NoModifier, p); }
    void release(Qt::MouseButton button, QPoint p) { ed().Image1MouseUp(button, Qt::NoModifier, p); }
    void turnOn(const QString& path)
    {
        prompter->files.push_back(path);
        ed().sbShowMihon->click();
    }
    QImage saved(const QString& name)
    {
        const QString path = program.file(name);
        EXPECT_TRUE(ed().SavePictureFile(path));
        return PictureFile::load(path).convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(TracingPictureTest, PlacedByDraggingShownFaintAndNeverSaved)
{
    // Red background (its bottom-left pixel) with a mid-grey block.
    QImage sample = solidPicture({40, 30}, qRgb(255, 0, 0));
    for (int y = 5; y < 15; ++y)
        for (int x = 5; x < 15; ++x)
            sample.setPixel(x, y, qRgb(128, 128, 128));
    const QString path = writePicture(u"mihon.bmp"_s, sample);
    const int tool = ed().DrawMode;

    turnOn(path);
    ASSERT_EQ(prompter->fileRequests.size(), 1u);
    EXPECT_EQ(prompter->fileRequests[0].title, u"見本画像を開く"_s);
    ASSERT_TRUE(ed().imMihon.Visible);
    EXPECT_EQ(ed().DrawMode, 55);

    // The canvas refuses drawing until the picture is placed; a right click on it only opens the menu.
    press(Qt::LeftButton, {150, 150});
    release(Qt::LeftButton, {150, 150});
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_EQ(prompter->lastText(), TFormPictureEditor::TracingHint);
    EXPECT_TRUE(ed().Doc.ShapeList.empty());
    press(Qt::RightButton, {10, 10});
    release(Qt::RightButton, {10, 10});
    ed().PopupMenu1->hide();
    EXPECT_TRUE(ed().imMihon.Visible);
    EXPECT_EQ(ed().DrawMode, 55);

    // Dragged by (20, 10) from the view's top-left.
    press(Qt::LeftButton, {10, 10});
    for (int i = 1; i <= 4; ++i)
        ed().Image1MouseMove(Qt::NoModifier, QPoint(10, 10) + QPoint(20, 10) * i / 4);
    release(Qt::LeftButton, {30, 20});
    EXPECT_FALSE(ed().imMihon.Visible);
    EXPECT_EQ(ed().DrawMode, tool);
    EXPECT_EQ(ed().TracingPictureOrigin, QPoint(20, 10));
    EXPECT_TRUE(ed().TracingPictureShown);
    EXPECT_EQ(ed().ViewColorAt({30, 20}), 0xD9D9D9u); // (179 x 255 + 76 x 128) / 255 = 217
    EXPECT_EQ(ed().ViewColorAt({22, 12}), 0xFFFFFFu); // the red background stays white

    // A line drawn across it is saved alone.
    press(Qt::LeftButton, {22, 25});
    for (int x = 24; x <= 40; x += 2)
        ed().Image1MouseMove(Qt::NoModifier, {x, 25});
    release(Qt::LeftButton, {40, 25});
    ASSERT_EQ(ed().Doc.ShapeList.size(), 1u);
    const QImage withTracing = saved(u"with.bmp"_s);
    EXPECT_NE(withTracing.pixel(30, 25), qRgb(255, 255, 255));
    EXPECT_EQ(withTracing.pixel(30, 20), qRgb(255, 255, 255));

    ed().sbShowMihon->click();
    EXPECT_TRUE(ed().TracingPicture.isNull());
    EXPECT_EQ(saved(u"without.bmp"_s), withTracing);

    // The file is offered again.
    prompter->files.push_back(QString());
    ed().sbShowMihon->click();
    ASSERT_EQ(prompter->fileRequests.size(), 2u);
    EXPECT_EQ(QFileInfo(prompter->fileRequests[1].fileName).fileName(), u"mihon.bmp"_s);
    EXPECT_FALSE(ed().sbShowMihon->isChecked());
    EXPECT_FALSE(ed().TracingPictureShown);
}

TEST_F(TracingPictureTest, ReleasingTheButtonOrChoosingAToolEndsPlacing)
{
    const QString path = writePicture(u"mihon.bmp"_s, solidPicture({40, 30}, qRgb(0, 0, 255)));
    auto strokeDraws = [&](int y) {
        const size_t before = ed().Doc.ShapeList.size();
        prompter->asked.clear();
        press(Qt::LeftButton, {100, y});
        ed().Image1MouseMove(Qt::NoModifier, {150, y});
        release(Qt::LeftButton, {150, y});
        return prompter->asked.empty() && ed().Doc.ShapeList.size() == before + 1;
    };

    // Released while placing: gone, and the pen draws again.
    turnOn(path);
    ASSERT_TRUE(ed().imMihon.Visible);
    ed().sbShowMihon->click();
    EXPECT_FALSE(ed().imMihon.Visible);
    EXPECT_EQ(ed().DrawMode, ed().ToolMode);
    EXPECT_TRUE(strokeDraws(100));

    // Another tool chosen while placing: placed where it lies, and that tool draws.
    turnOn(path);
    ASSERT_TRUE(ed().imMihon.Visible);
    ed().sbLineClick();
    EXPECT_FALSE(ed().imMihon.Visible);
    EXPECT_TRUE(ed().TracingPictureShown);
    EXPECT_EQ(ed().TracingPictureOrigin, QPoint(0, 0));
    EXPECT_TRUE(strokeDraws(200));
    EXPECT_EQ(ed().Doc.ShapeList.back()->ShapeType, Shapes::Line);
    ed().sbShowMihon->click();
    EXPECT_FALSE(ed().TracingPictureShown);
    EXPECT_TRUE(strokeDraws(300));
}

TEST_F(TracingPictureTest, UnreadablePictureLeavesPlacingMode)
{
    const QString bad = program.write(u"bad.bmp"_s, QByteArray("BM not a bitmap"));
    for (const QString& path : {bad, program.file(u"missing.jpg"_s),
                                writePicture(u"ok.jpg"_s, patternPicture({8, 8})).chopped(3) + u"png"_s}) {
        prompter->asked.clear();
        turnOn(path);
        ASSERT_EQ(prompter->asked.size(), 1u) << path.toStdString();
        // A name of another kind is refused in the dialog already.
        EXPECT_TRUE(prompter->lastText().startsWith(path.endsWith(u".png"_s) ? u"拡張子 \".png\" は，開くことができない"_s
                                                                              : u"画像ファイルを開けません。"_s));
        EXPECT_FALSE(ed().imMihon.Visible);
        EXPECT_FALSE(ed().sbShowMihon->isChecked());
        EXPECT_NE(ed().DrawMode, 55);
    }
    // The canvas draws again.
    press(Qt::LeftButton, {20, 20});
    release(Qt::LeftButton, {20, 20});
    EXPECT_EQ(ed().Doc.ShapeList.size(), 1u);
}

} // namespace
