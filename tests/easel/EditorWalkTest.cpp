// Random walks through the picture editor's own commands, checked after every step: undo and redo
// only ever show pictures that were shown since the history last started, undoing k steps and
// redoing them gives the same pixels, and a saved picture reopens with the pixels shown at the save.
#include "EaselFixture.h"

#include "PictureDocument.h"

#include <QClipboard>
#include <QCryptographicHash>
#include <QGuiApplication>
#include <QRadioButton>
#include <QSpinBox>

#include <random>
#include <set>

namespace {

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
    int saves = 0;

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
        for (int i = 1; i <= moves; ++i)
            ed().Image1MouseMove(mods, from + (to - from) * i / moves);
        ed().Image1MouseUp(Qt::LeftButton, mods, to);
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
            for (int i = pick(0, 12); i > 0; --i) {
                p += QPoint(pick(-30, 30), pick(-30, 30));
                ed().Image1MouseMove(Qt::NoModifier, p);
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
                ed().udLine->setValue(pick(-40, 40));
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
            ed().SetZoom(std::array{50, 100, 100, 200}[size_t(pick(0, 3))]);
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
        ed().sbPasteByougaClick();
        if (pick(0, 1))
            ed().sbPasteShowClick();
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
        ASSERT_EQ(PictureFile::load(path).convertToFormat(QImage::Format_RGB32), atSave) << trail().toStdString();
        if (pick(0, 1)) {
            prompter->files.push_back(path);
            ed().mmPicOpenClick();
            ASSERT_EQ(canvas(), atSave) << "reopened: " << trail().toStdString();
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
        step();
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

} // namespace
