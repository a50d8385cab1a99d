#include "EaselFixture.h"

#include "UnitMoji.h"

#include <QAction>
#include <QClipboard>
#include <QFontDialog>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr QRgb White = 0xFFFFFFFF, Red = 0xFFFF0000, Blue = 0xFF0000FF;

QRgb at(const QImage& img, int x, int y)
{
    return img.pixel(x, y) | 0xFF000000;
}

class SelectionTest : public EaselFixture {
protected:
    void SetUp() override
    {
        EaselFixture::SetUp();
        QGuiApplication::clipboard()->clear();
        // A red square at (100, 100)-(199, 199) and a blue one at (300, 100)-(349, 149).
        stamp(solidPicture({100, 100}, Red), {100, 100});
        stamp(solidPicture({50, 50}, Blue), {300, 100});
    }

    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        ed().Image1MouseDown(Qt::LeftButton, mods, from);
        ed().Image1MouseMove(mods, (from + to) / 2);
        ed().Image1MouseMove(mods, to);
        ed().Image1MouseUp(Qt::LeftButton, mods, to);
    }

    void rectRange(QPoint from, QPoint to)
    {
        ed().rbRectRange->setChecked(true);
        ed().rbRectRangeClick();
        drag(from, to);
    }

    // A triangle whose bounding box is (80, 80)-(240, 240), drawn from its bottom-right corner.
    void freeRange()
    {
        ed().rbFreeRange->setChecked(true);
        ed().rbRectRangeClick();
        const QPoint points[] = {{240, 240}, {80, 240}, {80, 80}, {240, 240}};
        ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, points[0]);
        for (QPoint p : points)
            ed().Image1MouseMove(Qt::NoModifier, p);
        ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, points[3]);
    }

    const QImage& canvas() { return ed().Doc.CanvasBitmap; }
    int steps() { return int(ed().Undo.ring().current()); }
};

TEST_F(SelectionTest, TrimmingKeepsTheRangeAndUndoBringsTheWholePictureBack)
{
    rectRange({150, 150}, {320, 130});
    ASSERT_TRUE(ed().RangeExists);
    EXPECT_EQ(ed().DrawMode, 32);
    ed().sbTrimmingClick();
    EXPECT_EQ(canvas().size(), QSize(170, 20));
    EXPECT_EQ(ed().udWidth->value(), 170);
    EXPECT_EQ(at(canvas(), 0, 0), Red);
    EXPECT_EQ(at(canvas(), 49, 19), Red);
    EXPECT_EQ(at(canvas(), 50, 0), White);
    EXPECT_EQ(at(canvas(), 150, 0), Blue);
    EXPECT_FALSE(ed().RangeExists);

    ed().sbUndoClick();
    EXPECT_EQ(canvas().size(), QSize(600, 400));
    EXPECT_EQ(at(canvas(), 150, 150), Red);
    EXPECT_EQ(at(canvas(), 320, 120), Blue);
    ed().sbRedoClick();
    EXPECT_EQ(canvas().size(), QSize(170, 20));
}

TEST_F(SelectionTest, TrimmingAFreeFormRangeKeepsOnlyThePolygon)
{
    freeRange();
    ASSERT_TRUE(ed().RangeExists);
    // The outline's own box, not shifted by where the outline ended.
    EXPECT_EQ(ed().SelectionRect, (CanvasView::Bounds{80, 80, 241, 241}));
    ed().sbTrimmingClick();
    EXPECT_EQ(canvas().size(), QSize(161, 161));
    EXPECT_EQ(at(canvas(), 30, 110), Red);   // (110, 190): in the square and the triangle
    EXPECT_EQ(at(canvas(), 100, 30), White); // (180, 110): in the square, outside the triangle
}

struct RangeCase {
    bool freeForm;
    int command; // 0 copy, 1 cut, 2 erase
};

class RangeCommandTest : public SelectionTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(RangeCommandTest, ClipboardPixelsAndUndoSteps)
{
    const RangeCase c = GetParam();
    if (c.freeForm)
        freeRange();
    else
        rectRange({80, 80}, {241, 241});
    ASSERT_TRUE(ed().RangeExists);
    const int before = steps();
    QGuiApplication::clipboard()->setImage(solidPicture({3, 3}, Blue));
    if (c.command == 0)
        ed().sbCopyClick();
    else
        ed().sbCutClick(c.command == 1);
    EXPECT_FALSE(ed().RangeExists);
    EXPECT_EQ(ed().PasteOrigin, QPoint(80, 80));

    const QImage clip = QGuiApplication::clipboard()->image();
    if (c.command == 2) {
        EXPECT_EQ(clip.size(), QSize(3, 3)) << "erase leaves the clipboard alone";
    } else {
        ASSERT_EQ(clip.size(), QSize(161, 161));
        EXPECT_EQ(at(clip, 30, 110), Red);
        EXPECT_EQ(at(clip, 100, 30), c.freeForm ? White : Red);
    }
    const bool erased = c.command != 0;
    EXPECT_EQ(at(canvas(), 320, 120), Blue) << "outside the range";
    EXPECT_EQ(at(canvas(), 110, 190), erased ? White : Red);
    EXPECT_EQ(at(canvas(), 180, 110), erased && !c.freeForm ? White : Red);
    EXPECT_EQ(steps(), before + (erased ? 1 : 0));
    if (erased) {
        ed().sbUndoClick();
        EXPECT_EQ(at(canvas(), 110, 190), Red);
    }
}

INSTANTIATE_TEST_SUITE_P(Ranges, RangeCommandTest,
                         ::testing::Values(RangeCase{false, 0}, RangeCase{false, 1}, RangeCase{false, 2},
                                           RangeCase{true, 0}, RangeCase{true, 1}, RangeCase{true, 2}));

TEST_F(SelectionTest, AnEmptyRangeIsNoRange)
{
    rectRange({150, 150}, {150, 250});
    EXPECT_FALSE(ed().RangeExists);
    EXPECT_EQ(ed().DrawMode, 31);
    rectRange({590, 390}, {700, 500}); // all of it but a 10 x 10 corner lies off the canvas
    ASSERT_TRUE(ed().RangeExists);
    EXPECT_EQ(ed().SelectionRect, (CanvasView::Bounds{590, 390, 600, 400}));
    ed().ClearSelection();
    rectRange({650, 150}, {700, 200}); // wholly off the canvas
    EXPECT_FALSE(ed().RangeExists);

    // A free-form click.
    ed().rbFreeRange->setChecked(true);
    ed().rbRectRangeClick();
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {150, 150});
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {150, 150});
    EXPECT_FALSE(ed().RangeExists);
    const size_t records = ed().Doc.ShapeList.size();
    ed().sbCopyClick();
    ed().sbCutClick(true);
    ed().sbTrimmingClick();
    EXPECT_EQ(ed().Doc.ShapeList.size(), records);
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
    EXPECT_EQ(canvas().size(), QSize(600, 400));
}

TEST_F(SelectionTest, DraggingARangeMovesItAndCtrlCopiesIt)
{
    rectRange({100, 100}, {200, 200});
    drag({150, 150}, {150, 250});
    EXPECT_EQ(ed().DrawMode, 31);
    EXPECT_EQ(at(canvas(), 150, 120), White);
    EXPECT_EQ(at(canvas(), 150, 280), Red);
    EXPECT_TRUE(ed().GhostImages.empty());

    rectRange({100, 200}, {200, 300});
    drag({150, 250}, {450, 250}, Qt::ControlModifier);
    EXPECT_EQ(at(canvas(), 150, 280), Red);
    EXPECT_EQ(at(canvas(), 450, 280), Red);
    ed().sbUndoClick();
    EXPECT_EQ(at(canvas(), 450, 280), White);
    EXPECT_EQ(at(canvas(), 150, 280), Red);

    // A free-form range that is dragged takes only the polygon along.
    freeRange();
    drag({100, 230}, {100, 130});
    EXPECT_EQ(at(canvas(), 105, 130), Red);
}

TEST_F(SelectionTest, PickingSelectsTheTopmostShapeAndCtrlToggles)
{
    stamp(solidPicture({20, 20}, Blue), {140, 140}); // reference point (150, 150), over the red one's
    ed().CtrlHeld = false;
    EXPECT_EQ(ed().PickShapesAt({152, 147}), 1);
    EXPECT_TRUE(ed().Doc.ShapeList[2]->Selected);
    EXPECT_FALSE(ed().Doc.ShapeList[0]->Selected);

    ed().DrawMode = 64;
    ed().CtrlHeld = true;
    EXPECT_EQ(ed().PickShapesAt({150, 150}), 0); // the top one off, the red one on
    EXPECT_FALSE(ed().Doc.ShapeList[2]->Selected);
    EXPECT_TRUE(ed().Doc.ShapeList[0]->Selected);
    EXPECT_EQ(ed().PickShapesAt({325, 125}), 1);
    EXPECT_TRUE(ed().Doc.ShapeList[1]->Selected);
    EXPECT_EQ(ed().PickShapesAt({10, 10}), 0);

    // Deselecting never selects, not even with a range around the picture's corner.
    ed().DrawMode = ed().ToolMode;
    rectRange({0, 0}, {400, 400});
    EXPECT_EQ(ed().PickShapesAt({0, 0}), 0);
    for (const auto& r : ed().Doc.ShapeList)
        EXPECT_FALSE(r->Selected);

    // Dragging a picked shape moves it; a free-form stamp's outline moves with it.
    auto freeStamp = Shapes::makeStamp(solidPicture({40, 40}, Red), {400, 300}, 0);
    freeStamp->FreeForm = 1;
    freeStamp->Points = {{400, 300}, {440, 300}, {400, 340}};
    ed().OffsetShape(*freeStamp, 20, 10);
    EXPECT_EQ(freeStamp->Points[1], QPoint(460, 310));
    EXPECT_EQ(freeStamp->Anchors[9], QPoint(420, 310));
}

TEST_F(SelectionTest, SelectAllCoversTheCanvasWhateverTheRangeKind)
{
    ed().SetZoom(50);
    ed().rbFreeRange->setChecked(true);
    ed().mmSelectAllClick();
    EXPECT_TRUE(ed().sbRange->isChecked());
    EXPECT_EQ(ed().RangeInPicture(), QRect(0, 0, 600, 400));
    ed().sbCopyClick();
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(600, 400));
}

TEST_F(SelectionTest, PastedPictureStampsItsPixelsAtTheCopiedPlace)
{
    ed().sbPasteShowClick();
    EXPECT_EQ(prompter->lastText(), u"コピーされた画像がありません。"_s);
    EXPECT_FALSE(ed().imPaste.Visible);
    EXPECT_FALSE(ed().sbPasteShow->isChecked());

    QImage picture = patternPicture({30, 20});
    picture.setPixel(0, 0, White);
    rectRange({10, 10}, {20, 20});
    ed().sbCopyClick();
    QGuiApplication::clipboard()->setImage(picture);
    ed().SetZoom(200); // the place survives a zoom change
    ed().sbPasteShowClick();
    ASSERT_TRUE(ed().imPaste.Visible);
    EXPECT_EQ(ed().imPaste.Geometry, QRect(20, 20, 60, 40));
    ed().SetZoom(100);
    EXPECT_EQ(ed().imPaste.Geometry, QRect(10, 10, 30, 20));

    // Dragged with Shift: the first move that is not diagonal locks the axis.
    ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {20, 20});
    ed().Image1MouseMove(Qt::ShiftModifier, {25, 25});
    ed().Image1MouseMove(Qt::ShiftModifier, {420, 30});
    ed().Image1MouseMove(Qt::ShiftModifier, {430, 200});
    ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {430, 200});
    EXPECT_EQ(ed().imPaste.Geometry.topLeft(), QPoint(420, 10));

    const int before = steps();
    ed().sbPasteByougaClick();
    EXPECT_EQ(steps(), before + 1);
    const ShapeRecord& r = *ed().Doc.ShapeList.back();
    EXPECT_EQ(r.ShapeType, Shapes::Stamp);
    EXPECT_TRUE(r.StampFileName.isEmpty());
    EXPECT_EQ(at(canvas(), 420, 10), White);
    for (int y = 0; y < 20; ++y)
        for (int x = (y == 0 ? 1 : 0); x < 30; ++x)
            ASSERT_EQ(at(canvas(), 420 + x, 10 + y), at(picture, x, y)) << x << "," << y;
    EXPECT_TRUE(ed().imPaste.Visible) << "the layer stays for another stamp";

    ed().mmDeleteClick(true, false);
    EXPECT_FALSE(ed().imPaste.Visible);
    EXPECT_EQ(ed().CurrentLayer, nullptr);
}

TEST_F(SelectionTest, TrimmingIsRefusedWhileALayerIsCurrent)
{
    QGuiApplication::clipboard()->setImage(solidPicture({5, 5}, Red));
    ed().sbPasteShowClick();
    rectRange({10, 10}, {100, 100});
    ed().sbTrimmingClick();
    EXPECT_EQ(prompter->lastText(), u"貼付枠を閉じて下さい。"_s);
    EXPECT_EQ(canvas().size(), QSize(600, 400));
}

TEST(TextPictureTest, HeightsFollowTheLinesAndTheClampedSpacing)
{
    QFont font(u"IPAGothic"_s);
    font.setPixelSize(16);
    QFont exact = font;
    exact.setStyleStrategy(QFont::NoAntialias);
    const int line = QFontMetrics(exact).height();
    auto height = [&](const QStringList& lines, int spacing) {
        return TFormMoji::RenderText(lines, font, Qt::black, spacing).height();
    };
    EXPECT_EQ(height({u"あ"_s}, 4), line);
    EXPECT_EQ(height({u"あ"_s, u"い"_s, u"う"_s}, 4), 3 * line + 8);
    EXPECT_EQ(height({u"あ"_s, QString(), u"う"_s}, 4), 3 * line + 8);
    EXPECT_EQ(height({u"あ"_s, u"い"_s}, 0), 2 * line);
    EXPECT_EQ(height({u"あ"_s, u"い"_s}, 100), 2 * line + 100);
    EXPECT_EQ(height({u"あ"_s, u"い"_s}, 1'000'000), 2 * line + 100);
    EXPECT_EQ(height({u"あ"_s, u"い"_s}, -50), 2 * line);
    const QImage wide = TFormMoji::RenderText({u"ab"_s, u"abcd"_s}, font, Qt::black, 4);
    EXPECT_EQ(wide.width(), QFontMetrics(exact).horizontalAdvance(u"abcd"_s));
}

// Italics run past the last advance, a leading "j" hangs left of the first: the text picture holds
// every pixel of ink that the same lines paint with room all round.
TEST(TextPictureTest, ThePictureHoldsAllTheInk)
{
    auto ink = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                n += (img.pixel(x, y) | 0xFF000000) != White;
        return n;
    };
    struct Case {
        QString family;
        bool italic;
        QStringList lines;
    };
    for (const Case& c : {Case{u"DejaVu Serif"_s, true, {u"Wolf ff"_s, u"jf"_s}},
                          Case{u"DejaVu Serif"_s, false, {u"jaj"_s}}, Case{u"IPAGothic"_s, true, {u"文字 f"_s}}}) {
        QFont font(c.family);
        font.setPointSize(48);
        font.setItalic(c.italic);
        const QImage picture = TFormMoji::RenderText(c.lines, font, Qt::black, 4);
        QFont exact = font;
        exact.setStyleStrategy(QFont::NoAntialias);
        const QFontMetrics metrics(exact);
        QImage roomy(picture.width() + 400, picture.height() + 400, QImage::Format_RGB32);
        roomy.fill(White);
        {
            QPainter p(&roomy);
            p.setFont(exact);
            p.setPen(Qt::black);
            int y = 200;
            for (const QString& line : c.lines) {
                p.drawText(200, y + metrics.ascent(), line);
                y += metrics.height() + 4;
            }
        }
        EXPECT_GT(ink(roomy), 0);
        EXPECT_EQ(ink(picture), ink(roomy)) << c.family.toStdString() << " " << c.lines.join(u'/').toStdString();
        EXPECT_GE(picture.width(), metrics.horizontalAdvance(c.lines.front()));
    }
}

// The font dialog opens on the font the text is drawn in, also when the first family of the font's
// list is not on this system; OK without a change leaves the text as it was.
TEST_F(SelectionTest, FontDialogOpensOnTheTextsFontAndOkKeepsIt)
{
    TFormMoji& moji = *forms->formMoji;
    QFont serif(u"DejaVu Serif"_s);
    serif.setPointSize(20);
    serif.setItalic(true);
    for (const QFont& font : {moji.MojiFont, serif}) {
        moji.MojiFont = font;
        const QImage before = TFormMoji::RenderText({u"文字 Aj"_s}, moji.MojiFont, Qt::black, 4);
        QString shown;
        int size = 0;
        prompter->modals.push_back([&](QDialog& dialog) {
            const QFont current = static_cast<QFontDialog&>(dialog).currentFont();
            shown = current.family();
            size = current.pointSize();
            dialog.accept(); // OK, nothing changed
            return dialog.result();
        });
        moji.btFontClick();
        EXPECT_EQ(shown, QFontInfo(font).family());
        EXPECT_EQ(size, font.pointSize());
        EXPECT_EQ(TFormMoji::RenderText({u"文字 Aj"_s}, moji.MojiFont, Qt::black, 4), before)
            << font.toString().toStdString() << " became " << moji.MojiFont.toString().toStdString();
    }
    EXPECT_EQ(prompter->unscripted, 0);
}

// The canvas holds at most 2000 x 1500: a larger range is not cut down unasked.
TEST_F(SelectionTest, TrimmingMoreThanTheCanvasHoldsAsksFirst)
{
    ed().SetCanvasSize(2400, 1700);
    ASSERT_EQ(canvas().size(), QSize(2400, 1700));
    ed().mmSelectAllClick();
    ASSERT_TRUE(ed().RangeExists);
    const size_t records = ed().Doc.ShapeList.size();
    prompter->answers.push_back(Prompter::Answer::Cancel);
    ed().sbTrimmingClick();
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().contains(u"2400 × 1700"_s)) << prompter->lastText().toStdString();
    EXPECT_TRUE(prompter->lastText().contains(u"2000 × 1500"_s));
    EXPECT_EQ(prompter->asked.back().defaultAnswer, Prompter::Answer::Cancel);
    EXPECT_EQ(canvas().size(), QSize(2400, 1700));
    EXPECT_EQ(ed().Doc.ShapeList.size(), records);
    EXPECT_TRUE(ed().RangeExists);

    prompter->answers.push_back(Prompter::Answer::Yes);
    ed().sbTrimmingClick();
    EXPECT_EQ(canvas().size(), QSize(2000, 1500));
    EXPECT_EQ(at(canvas(), 150, 150), Red);

    // A range the canvas holds is trimmed without a word.
    rectRange({100, 100}, {300, 200});
    ed().sbTrimmingClick();
    EXPECT_EQ(canvas().size(), QSize(200, 100));
    EXPECT_EQ(prompter->asked.size(), 2u);
    EXPECT_EQ(prompter->unscripted, 0);
}

TEST_F(SelectionTest, TextBecomesTheCopiedPictureLayer)
{
    TFormMoji& moji = *forms->formMoji;
    prompter->modals.push_back([&](QDialog&) {
        moji.Memo1->setPlainText(u"文字\n\n入力"_s);
        moji.Edit1->setText(u"-7"_s); // below what the up-down allows
        moji.btOKClick();
        return moji.result();
    });
    ed().sbMojiClick();
    EXPECT_EQ(moji.LineSpacing, 0);
    ASSERT_TRUE(ed().imPaste.Visible);
    EXPECT_FALSE(ed().TextPasteRequested);
    EXPECT_EQ(ed().imPaste.Picture.height(), 3 * QFontMetrics(moji.MojiFont).height());

    ed().sbMojiClick();
    EXPECT_EQ(prompter->lastText(), u"［表示］している画像を隠してから実行して下さい。"_s);

    ed().sbPasteShowClick();
    // A colour beside the font; white would be see-through, so it becomes the opaque white.
    prompter->colours = {QColor(0, 0, 255), QColor(255, 255, 255), std::nullopt};
    moji.btColorClick();
    EXPECT_EQ(moji.MojiColor, QColor(0, 0, 255));
    prompter->modals.push_back([&](QDialog&) {
        moji.Memo1->setPlainText(u"文字"_s);
        moji.btOKClick();
        return moji.result();
    });
    ed().sbMojiClick();
    ASSERT_TRUE(ed().imPaste.Visible);
    int blue = 0, other = 0;
    const QImage& text = ed().imPaste.Picture;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            (at(text, x, y) == Blue ? blue : other) += at(text, x, y) != White;
    EXPECT_GT(blue, 20);
    EXPECT_EQ(other, 0);
    ed().sbPasteShowClick();
    moji.btColorClick();
    EXPECT_EQ(moji.MojiColor, QColor::fromRgb(ColourText::toQRgb(ed().OpaqueWhite)));
    moji.btColorClick(); // cancelled
    EXPECT_EQ(moji.MojiColor, QColor::fromRgb(ColourText::toQRgb(ed().OpaqueWhite)));

    prompter->modals.push_back([&](QDialog&) {
        moji.Memo1->setPlainText(u"  \n "_s);
        moji.btOKClick();
        return moji.result();
    });
    ed().sbMojiClick();
    EXPECT_FALSE(ed().imPaste.Visible);
}

struct IndicatorCase {
    bool range;
    int drawMode;
    const char16_t* caption;
    bool rangeLit;
};

class ModeIndicatorTest : public EaselFixture, public ::testing::WithParamInterface<IndicatorCase> {};

TEST_P(ModeIndicatorTest, LabelsAndCaption)
{
    const IndicatorCase c = GetParam();
    if (c.range)
        ed().sbRangeClick();
    ed().DrawMode = c.drawMode;
    ed().UpdateModeIndicator();
    EXPECT_EQ(ed().mmRange->text(), QString::fromUtf16(c.caption));
    EXPECT_EQ(ed().lbRange->styleSheet().contains(u"#0000ff"_s), c.rangeLit);
    EXPECT_EQ(ed().lbByouga->styleSheet().contains(u"#0000ff"_s), !c.rangeLit);
}

INSTANTIATE_TEST_SUITE_P(Table, ModeIndicatorTest,
                         ::testing::Values(IndicatorCase{false, 17, u"範囲選択モード(&Q)", false},
                                           IndicatorCase{true, 31, u"描画モード(&Q)", true},
                                           IndicatorCase{true, 0, u"範囲選択モード(&Q)", false},
                                           IndicatorCase{false, 0, u"描画モード(&Q)", true}));

} // namespace
