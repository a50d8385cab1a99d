// Random walks through the picture editor's own commands, checked after every step: undo and redo
// only ever show pictures that were shown since the history last started, undoing k steps and
// redoing them gives the same pixels, and a saved picture reopens with the pixels shown at the save.
// Drags are cut short at random by what takes the mouse or the keyboard in the running program (a
// second button, a menu key, Ctrl+Q, Ctrl+Z, a save, a close answered Yes, another window); after
// every step no gesture outlives its end, the view shows the canvas alone, the canvas is the
// document's re-render, and a save writes it. Each step stays within a time and memory bound, so a
// shape that is slow to draw or measure fails the walk.
#include "EaselFixture.h"

#include "PictureDocument.h"
#include "ProcessUsage.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>

#include <random>
#include <set>


namespace {

using ProcessUsage::resetPeak;
using ProcessUsage::statusKiB;

// Processor time, which a loaded machine does not stretch.
double cpuSeconds()
{
    return ProcessUsage::cpuMs() / 1e3;
}

// Far above what any step takes (milliseconds, a few MB), far below what a curve measured on a
// picture of its whole circle took (seconds, gigabytes).
constexpr double StepCpuSeconds = 3.0;
constexpr long StepPeakKiB = 400 * 1024;

QByteArray fingerprint(const QImage& picture)
{
    const QImage p = picture.convertToFormat(QImage::Format_RGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(p.constBits()), p.sizeInBytes()));
    return QByteArray::number(p.width()) + 'x' + QByteArray::number(p.height()) + hash.result();
}

class EditorWalkTest : public EaselFixture, public ::testing::WithParamInterface<unsigned> {
protected:
    std::mt19937 rng;
    std::set<QByteArray> shown;
    QStringList steps;
    int saves = 0, closes = 0;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    const QImage& canvas() { return ed().Doc.CanvasBitmap; }
    QPoint anywhere()
    {
        const QSize box = ed().ScrollBox1->paintBoxSize();
        return {pick(0, box.width() - 1), pick(0, box.height() - 1)};
    }
    QString trail() const { return steps.join(u", "_s); }

    void drag(QPoint from, QPoint to, int moves, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        ed().Image1MouseDown(Qt::LeftButton, mods, from);
        const int cutAt = pick(0, 3) == 0 ? pick(1, moves) : 0;
        for (int i = 1; i <= moves; ++i) {
            ed().Image1MouseMove(mods, from + (to - from) * i / moves);
            if (i == cutAt)
                interrupt();
            if (HasFatalFailure())
                return;
        }
        ed().Image1MouseUp(Qt::LeftButton, mods, to);
    }

    void send(QEvent&& event, QObject* to = nullptr)
    {
        QCoreApplication::sendEvent(to ? to : ed().ScrollBox1->viewport(), &event);
    }

    // What takes the mouse or the keyboard while the left button is still held; the drag goes on
    // afterwards as the hand does, and must change nothing more.
    void interrupt()
    {
        const int kind = pick(0, 6);
        steps << u"cut by %1"_s.arg(kind);
        QWidget* view = ed().ScrollBox1->viewport();
        const QPointF at(view->width() / 2, view->height() / 2);
        switch (kind) {
        case 0: // the right button
            send(QMouseEvent(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton,
                             Qt::LeftButton | Qt::RightButton, Qt::NoModifier));
            send(QMouseEvent(QEvent::MouseButtonRelease, at, view->mapToGlobal(at), Qt::RightButton, Qt::LeftButton,
                             Qt::NoModifier));
            break;
        case 1: // Alt+F or Alt+E, as the menu bar is asked first
            send(QKeyEvent(QEvent::ShortcutOverride, pick(0, 1) ? Qt::Key_F : Qt::Key_E, Qt::AltModifier));
            break;
        case 2: // Ctrl+Q, the range mode
            send(QKeyEvent(QEvent::KeyPress, Qt::Key_Q, Qt::ControlModifier));
            break;
        case 3: // Ctrl+Z: the drag ends as a step of its own, undone at once; what it drew was on view
            send(QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier));
            if (ed().CanRedo()) {
                ed().sbRedoClick();
                shown.insert(fingerprint(canvas()));
                ed().sbUndoClick();
            }
            break;
        case 4:
            saveAndMaybeOpen();
            break;
        case 5: { // the close box, answered Yes; whether the drag made a change shows only at its end
            const QString path = program.file(u"closed%1.bmp"_s.arg(closes++));
            prompter->answers.push_back(Prompter::Answer::Yes);
            prompter->files.push_back(path);
            ASSERT_TRUE(ed().FormClose()) << trail().toStdString();
            // Only a save starts the history anew; a picture unchanged since the last is closed unasked.
            if (prompter->files.empty()) {
                checkSaved(path);
                shown = {fingerprint(canvas())};
            }
            prompter->answers.clear();
            prompter->files.clear();
            break;
        }
        default: // another window takes the keyboard
            send(QEvent(QEvent::WindowDeactivate), &ed());
            break;
        }
        ASSERT_FALSE(ed().GestureUnderWay()) << trail().toStdString();
        shown.insert(fingerprint(canvas()));
    }

    // The view shows the canvas and nothing of a gesture; the canvas is the document's re-render.
    void checkAgreement()
    {
        ASSERT_FALSE(ed().GestureUnderWay()) << trail().toStdString();
        ASSERT_FALSE(ed().PreviewShown) << trail().toStdString();
        QImage overlay(ed().ScrollBox1->paintBoxSize(), QImage::Format_ARGB32_Premultiplied);
        overlay.fill(Qt::transparent);
        {
            QPainter p(&overlay);
            ed().PaintDrawingOverlay(p, overlay.rect());
        }
        QImage none(overlay.size(), overlay.format());
        none.fill(Qt::transparent);
        ASSERT_EQ(overlay, none) << "a stroke left on the view: " << trail().toStdString();
        const QImage view = canvas();
        ed().Doc.RerenderCanvas();
        ASSERT_EQ(canvas(), view) << "the canvas is not the document: " << trail().toStdString();
    }

    void checkSaved(const QString& path)
    {
        ASSERT_EQ(PictureFile::load(path).convertToFormat(QImage::Format_RGB32),
                  WithSecondWhiteAsWhite(canvas(), ColourText::toQRgb(ed().SecondWhite)))
            << "saved " << path.toStdString() << ": " << trail().toStdString();
    }

    // A rectangular or free-form range around a random place; false when none came of it.
    bool range()
    {
        const bool freeForm = pick(0, 2) == 0;
        (freeForm ? ed().rbFreeRange : ed().rbRectRange)->setChecked(true);
        ed().rbRectRangeClick();
        const QPoint a = anywhere(), b = anywhere();
        if (freeForm) {
            const QPoint corner(a.x(), b.y());
            ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, a);
            for (QPoint p : {b, corner, a})
                ed().Image1MouseMove(Qt::NoModifier, p);
            ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, a);
        } else {
            drag(a, b, 3);
        }
        return ed().RangeExists;
    }

    // A point inside the range, in the view.
    QPoint insideRange()
    {
        const QRect r = ed().RangeInPicture();
        const QPoint c = r.center();
        return {ed().ImageToScreen(c.x()), ed().ImageToScreen(c.y())};
    }

    void step()
    {
        const int command = pick(0, 16);
        steps << QString::number(command);
        switch (command) {
        case 0: // rectangle or ellipse
            (pick(0, 1) ? ed().rbRect : ed().rbEllip)->setChecked(true);
            ed().rbRectClick();
            ed().SelectPaletteEntry(pick(0, 18));
            ed().SelectLineKind(pick(0, 2));
            drag(anywhere(), anywhere(), pick(1, 4), pick(0, 3) ? Qt::NoModifier : Qt::ShiftModifier);
            break;
        case 1: // line, straight or curved
            ed().sbLineClick();
            ed().SelectPaletteEntry(pick(0, 18));
            drag(anywhere(), anywhere(), pick(1, 4));
            break;
        case 2: { // pen
            ed().sbPenClick();
            ed().SelectPaletteEntry(pick(0, 18));
            ed().SelectLineKind(pick(0, 2));
            QPoint p = anywhere();
            ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, p);
            const int moves = pick(0, 12), cutAt = pick(0, 3) == 0 ? pick(0, moves) : -1;
            for (int i = moves; i >= 0; --i) {
                if (i == cutAt)
                    interrupt();
                if (HasFatalFailure())
                    return;
                if (i > 0) {
                    p += QPoint(pick(-30, 30), pick(-30, 30));
                    ed().Image1MouseMove(Qt::NoModifier, p);
                }
            }
            ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, p);
            break;
        }
        case 3: { // fill
            ed().sbFloodFillClick();
            ed().SelectPaletteEntry(pick(0, 18));
            const QPoint p = anywhere();
            ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, p);
            ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, p);
            break;
        }
        case 4: // deform the last shape (or the shapes in a range)
            if (pick(0, 1))
                ed().udPen->setValue(pick(1, 25));
            else
                ed().udLine->setValue(pick(0, 3) ? pick(-40, 40) : pick(0, 1) ? -50 : 50);
            break;
        case 5:
            if (range())
                ed().sbCopyClick();
            break;
        case 6:
            if (range())
                ed().sbCutClick(pick(0, 1));
            break;
        case 7: // a range dragged away, or copied with Ctrl
            if (range()) {
                drag(insideRange(), insideRange() + QPoint(pick(-150, 150), pick(-100, 100)), 3,
                     pick(0, 2) ? Qt::NoModifier : Qt::ControlModifier);
                ed().FormKeyUp(Qt::Key_Control);
            }
            break;
        case 8: // trimming, while the canvas is large enough to go on with
            if (canvas().width() > 200 && canvas().height() > 150 && range() && ed().RangeInPicture().width() > 80
                && ed().RangeInPicture().height() > 60)
                ed().sbTrimmingClick();
            break;
        case 9: { // another program's picture, some of it see-through
            if (ed().imPaste.Visible)
                ed().sbPasteShowClick();
            QImage picture(pick(1, 60), pick(1, 60), QImage::Format_ARGB32);
            picture.fill(qRgba(pick(0, 255), pick(0, 255), pick(0, 255), pick(0, 1) ? 255 : pick(0, 255)));
            picture.setPixel(0, 0, qRgba(0, 0, 0, 0));
            QGuiApplication::clipboard()->setImage(picture);
            pasteAndStamp();
            break;
        }
        case 10: // what was copied last
            pasteAndStamp();
            break;
        case 11:
            ed().SetZoom(std::array{50, 100, 100, 130, 150, 200, 30, 400}[size_t(pick(0, 7))]);
            break;
        case 12:
        case 13:
            return undoOrRedo(command == 12);
        case 14:
            return saveAndMaybeOpen();
        case 15:
            return undoAndRedo(pick(1, 31)); // as far back as the ring goes, at times
        default:
            if (!ed().Doc.isEmpty())
                prompter->answers.push_back(Prompter::Answer::Yes);
            ed().sbClearAllClick();
            break;
        }
        shown.insert(fingerprint(canvas()));
    }

    // The copied picture shown (when the clipboard holds one), dragged and stamped.
    void pasteAndStamp()
    {
        if (!ed().imPaste.Visible)
            ed().sbPasteShowClick();
        if (!ed().imPaste.Visible)
            return;
        const QPoint grab = ed().imPaste.Geometry.center();
        drag(grab, grab + QPoint(pick(-100, 100), pick(-100, 100)), 2);
        for (int k = pick(0, 2); k > 0; --k)
            transform(pick(0, 3));
        ed().sbPasteByougaClick();
        if (pick(0, 1))
            ed().sbPasteShowClick();
    }

    // A point of the view on the screen.
    QPoint onScreen(QPoint paintBox)
    {
        return ed().ScrollBox1->viewport()->mapToGlobal(paintBox - ed().ScrollBox1->scrollPosition());
    }

    // One of the copied picture's transforms that no view size decides: a quarter turn clockwise by a
    // rotate handle, a flip, a stretch handle taken and let go where it was, the move to the view's
    // corner.
    void transform(int kind)
    {
        steps << u"transform %1"_s.arg(kind);
        switch (kind) {
        case 0: {
            ed().pmRotateClick();
            const QRect g = ed().imPaste.Geometry;
            const QPoint centre = onScreen(QPoint(g.left() + g.width() / 2, g.top() + g.height() / 2));
            ed().imRotateRTMouseDown(0, Qt::LeftButton, centre + QPoint(100, 0));
            ed().imRotateRTMouseMove(centre + QPoint(0, 100));
            ed().imRotateRTMouseUp();
            break;
        }
        case 1:
            ed().pmReverseClick();
            ed().imReverseHLMouseDown(pick(0, 1));
            break;
        case 2: {
            ed().pmReformClick();
            const int handle = pick(0, 7);
            const QPoint at = onScreen(ed().imPaste.Geometry.topLeft());
            ed().imReformHLMouseDown(handle, Qt::LeftButton, at);
            if (pick(0, 1))
                ed().imReformHLMouseMove(at);
            ed().imReformHLMouseUp();
            break;
        }
        default:
            ed().sbGentenClick();
            break;
        }
    }

    void undoOrRedo(bool undo)
    {
        if (undo)
            ed().sbUndoClick();
        else
            ed().sbRedoClick();
        ASSERT_TRUE(shown.count(fingerprint(canvas())))
            << (undo ? "undo" : "redo")
            << " shows a picture never shown since the history began: " << trail().toStdString();
    }

    void undoAndRedo(int k)
    {
        const QImage before = canvas();
        int undone = 0;
        for (; undone < k && ed().CanUndo(); ++undone) {
            ed().sbUndoClick();
            ASSERT_TRUE(shown.count(fingerprint(canvas())))
                << "undo " << undone + 1 << " of " << k
                << " shows a picture never shown since the history began: " << trail().toStdString();
        }
        for (int i = 0; i < undone; ++i)
            ed().sbRedoClick();
        ASSERT_EQ(canvas(), before) << "undoing " << undone << " steps and redoing them: " << trail().toStdString();
    }

    void saveAndMaybeOpen()
    {
        // A drag under way ends before the save, as its release would end it.
        const bool inGesture = ed().GestureUnderWay();
        const QImage atSave = WithSecondWhiteAsWhite(canvas(), ColourText::toQRgb(ed().SecondWhite));
        const QString path = program.file(u"walk%1.bmp"_s.arg(saves++ % 3));
        if (QFileInfo::exists(path)) {
            ed().PictureFileName = path;
            prompter->answers.push_back(Prompter::Answer::Yes);
            ed().mmPicSaveClick();
        } else {
            prompter->files.push_back(path);
            ASSERT_TRUE(ed().SaveAsDialog()) << prompter->lastText().toStdString();
        }
        if (!inGesture) {
            ASSERT_EQ(PictureFile::load(path).convertToFormat(QImage::Format_RGB32), atSave) << trail().toStdString();
        }
        checkSaved(path);
        if (pick(0, 1)) {
            const QImage saved = WithSecondWhiteAsWhite(canvas(), ColourText::toQRgb(ed().SecondWhite));
            prompter->files.push_back(path);
            ed().mmPicOpenClick();
            ASSERT_EQ(canvas(), saved) << "reopened: " << trail().toStdString();
        }
        // The history starts anew here.
        shown = {fingerprint(canvas())};
    }
};

TEST_P(EditorWalkTest, UndoRedoAndSavesOnlyEverShowWhatWasShown)
{
    rng.seed(GetParam());
    shown.insert(fingerprint(canvas()));
    for (int i = 0; i < 60; ++i) {
        const bool peakReset = resetPeak();
        const long before = statusKiB("VmRSS:");
        const double cpu = cpuSeconds();
        step();
        if (HasFatalFailure())
            return;
        EXPECT_LT(cpuSeconds() - cpu, StepCpuSeconds) << trail().toStdString();
        if (peakReset) {
            EXPECT_LT(statusKiB("VmHWM:") - before, StepPeakKiB) << trail().toStdString();
        }
        checkAgreement();
        if (HasFatalFailure())
            return;
        // Every step may be followed by a few undone and redone.
        if (pick(0, 2) == 0)
            undoAndRedo(pick(1, 4));
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(prompter->unscripted, 0) << trail().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Seeds, EditorWalkTest, ::testing::Range(1u, 13u));

// One road of cuts and copies, transforms that size nothing and stamps, taken at a zoom: every zoom the
// view offers must leave the picture pixels that the road leaves at 100 %. Ranges are picked on corners
// that every zoom of the list shows on whole view pixels, so that only the road differs, not the range;
// below 100 % a view pixel is more than a picture pixel, so a free-form range cannot end one picture
// pixel past its outline there, and those roads keep to rectangles.
class ZoomRoadTest : public EditorWalkTest {
protected:
    QPoint corner() { return QPoint(pick(0, 24), pick(0, 18)) * 20; }
    QPoint view(QPoint inPicture) { return {ed().ImageToScreen(inPicture.x()), ed().ImageToScreen(inPicture.y())}; }

    QImage road(unsigned seed, int zoom, bool freeForms)
    {
        start({});
        rng.seed(seed);
        steps = {u"zoom %1"_s.arg(zoom)};
        stamp(patternPicture(ed().Doc.canvasSize()), {0, 0});
        ed().SetZoom(zoom);
        ed().ScrollBox1->setScrollPosition({0, 0});
        for (int cut = 0; cut < 4; ++cut) {
            const bool freeForm = pick(0, 1) && freeForms;
            (freeForm ? ed().rbFreeRange : ed().rbRectRange)->setChecked(true);
            ed().rbRectRangeClick();
            const QPoint a = corner(), b = corner(), c = corner();
            ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, view(a));
            if (freeForm)
                for (QPoint p : {b, QPoint(b.x(), c.y()), c})
                    ed().Image1MouseMove(Qt::NoModifier, view(p));
            else
                ed().Image1MouseMove(Qt::NoModifier, view(b));
            ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, view(freeForm ? a : b));
            steps << u"range %1 %2,%3 %4,%5 %6,%7"_s.arg(freeForm)
                         .arg(a.x())
                         .arg(a.y())
                         .arg(b.x())
                         .arg(b.y())
                         .arg(c.x())
                         .arg(c.y());
            if (!ed().RangeExists)
                continue;
            if (pick(0, 1))
                ed().sbCutClick(true);
            else
                ed().sbCopyClick();
            if (ed().imPaste.Visible)
                ed().sbPasteShowClick();
            ed().sbPasteShowClick();
            if (!ed().imPaste.Visible)
                continue;
            for (int k = pick(0, 3); k > 0; --k)
                transform(pick(0, 3));
            ed().sbPasteByougaClick();
            steps << u"stamped %1x%2"_s.arg(ed().StampBitmap.width()).arg(ed().StampBitmap.height());
        }
        return canvas();
    }
};

TEST_P(ZoomRoadTest, TransformsAndStampsLeaveThePixelsOfTheRoadAtOneHundred)
{
    for (int zoom : {50, 130, 150, 200, 30, 75, 250, 400, 800}) {
        const QImage atHundred = road(GetParam(), 100, zoom > 100);
        const QString hundred = trail();
        const QImage atZoom = road(GetParam(), zoom, zoom > 100);
        ASSERT_EQ(atZoom.size(), atHundred.size());
        int differ = 0;
        for (int y = 0; y < atZoom.height(); ++y)
            for (int x = 0; x < atZoom.width(); ++x)
                differ += atZoom.pixel(x, y) != atHundred.pixel(x, y);
        EXPECT_EQ(differ, 0) << trail().toStdString() << " / " << hundred.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, ZoomRoadTest, ::testing::Range(1u, 9u));

// A long session on a big picture: range drags and fills far past the ring's depth. What the ring
// can no longer reach must cost neither memory nor undo time, so the second ring's worth of steps
// may add almost nothing to what the first left resident, and an undo replays no more records than
// the ring's steps can hold, however long the session (its time is the bench's to measure).
class BigPictureWalk : public EaselFixture, public ::testing::WithParamInterface<unsigned> {
protected:
    std::mt19937 rng;
    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

    // A range of about a megapixel somewhere on the picture, dragged a little way.
    void rangeDrag()
    {
        ed().rbRectRange->setChecked(true);
        ed().rbRectRangeClick();
        const QSize canvas = ed().Doc.canvasSize();
        const QPoint a(pick(0, canvas.width() - 1200), pick(0, canvas.height() - 900));
        const QPoint b = a + QPoint(pick(1000, 1200), pick(700, 900));
        auto view = [&](QPoint p) { return QPoint(ed().ImageToScreen(p.x()), ed().ImageToScreen(p.y())); };
        ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, view(a));
        ed().Image1MouseMove(Qt::NoModifier, view(b));
        ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, view(b));
        ASSERT_TRUE(ed().RangeExists);
        const QPoint grab = view((a + b) / 2), to = grab + QPoint(pick(-40, 40), pick(-40, 40));
        ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, grab);
        ed().Image1MouseMove(Qt::NoModifier, to);
        ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, to);
    }

    void fill()
    {
        ed().sbFloodFillClick();
        ed().SelectPaletteEntry(pick(4, 18));
        const QSize canvas = ed().Doc.canvasSize();
        const QPoint p(ed().ImageToScreen(pick(0, canvas.width() - 1)),
                       ed().ImageToScreen(pick(0, canvas.height() - 1)));
        ed().Image1MouseDown(Qt::LeftButton, Qt::NoModifier, p);
        ed().Image1MouseUp(Qt::LeftButton, Qt::NoModifier, p);
    }

    // The records one undo re-renders the canvas from (its redo follows).
    std::size_t undoReplays()
    {
        ed().sbUndoClick();
        const std::size_t replayed = ed().Doc.ShapeList.size();
        ed().sbRedoClick();
        return replayed;
    }
};

TEST_P(BigPictureWalk, MemoryAndUndoTimeFollowTheRingNotTheSession)
{
    rng.seed(GetParam());
    QImage picture(4000, 3000, QImage::Format_RGB32);
    picture.fill(qRgb(250, 240, 200));
    const QString path = program.file(u"big.bmp"_s);
    ASSERT_TRUE(PictureFile::save(path, picture, 100));
    ASSERT_TRUE(ed().OpenPictureFile(path));
    ed().SetZoom(50);
    const int ring = CanvasUndo::SlotCount;
    const long start = statusKiB("VmRSS:");
    long afterFirst = 0;
    for (int step = 1; step <= 2 * ring; ++step) {
        if (step % 4 == 0)
            fill();
        else
            rangeDrag();
        if (HasFatalFailure())
            return;
        if (step == ring)
            afterFirst = statusKiB("VmRSS:");
    }
    const std::size_t replayed = undoReplays();
    const long afterSecond = statusKiB("VmRSS:");
    const QImage shown = ed().Doc.CanvasBitmap;
    ed().Doc.RerenderCanvas();
    ASSERT_EQ(ed().Doc.CanvasBitmap, shown) << "the canvas is not the document";
    // Kept whole, the second ring of steps would add about as much as the first.
    EXPECT_LT(afterSecond - afterFirst, (afterFirst - start) / 4 + 16 * 1024)
        << "resident KiB: " << start << " at the start, " << afterFirst << " after one ring of steps, " << afterSecond
        << " after two";
    // A step here leaves at most two records (a moved range: its hole and its stamp); replaying the
    // whole session, an undo after two rings of steps re-rendered about three ring's worth.
    EXPECT_LE(replayed, std::size_t(2 * ring)) << "an undo after " << 2 * ring << " steps replays " << replayed << " records";
    EXPECT_EQ(prompter->unscripted, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BigPictureWalk, ::testing::Values(1u));

} // namespace
