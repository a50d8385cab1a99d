#include "Palette.h"
#include "PictureDocument.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Opaque = 0xFFFFFEFF; // RGB(255, 254, 255)

qint32 i32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<qint32>(bytes.constData() + at);
}

QImage picture(QSize size, QRgb colour) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

// Rows of text to a picture: '.' white, 'o' opaque white, '#' black.
QImage fromRows(const std::vector<std::string>& rows) {
    QImage img(int(rows[0].size()), int(rows.size()), QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const char c = rows[size_t(y)][size_t(x)];
            img.setPixel(x, y, c == '.' ? White : c == 'o' ? Opaque : 0xFF000000);
        }
    return img;
}

std::vector<std::string> toRows(const QImage& img) {
    std::vector<std::string> rows;
    for (int y = 0; y < img.height(); ++y) {
        std::string row;
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            row += c == White ? '.' : c == Opaque ? 'o' : c == 0xFF000000 ? '#' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(SnapshotTest, HeaderAndStampRecordLayout) {
    PictureDocument doc;
    doc.SetCanvasSize({30, 20});
    const QByteArray empty = doc.Snapshot().logical();
    ASSERT_EQ(empty.size(), 16);
    EXPECT_EQ(i32At(empty, 0), 16);
    EXPECT_EQ(i32At(empty, 4), 30);
    EXPECT_EQ(i32At(empty, 8), 20);
    EXPECT_EQ(i32At(empty, 12), 0);

    doc.CommitShape(Shapes::makeStamp(picture({3, 2}, qRgb(1, 2, 3)), {5, 6}, 0x0000FF, u"面.bmp"_s));
    const QByteArray one = doc.Snapshot().logical();
    EXPECT_EQ(one, doc.WriteShapeList());
    EXPECT_EQ(i32At(one, 0), one.size());
    EXPECT_EQ(i32At(one, 12), 1);
    const qsizetype r = 16;
    EXPECT_EQ(i32At(one, r + 0), Shapes::Stamp);
    EXPECT_EQ(i32At(one, r + 10), 0x0000FF); // PenColor
    // Anchors in the order 0, 3, 1, ...: anchor 3, the stamp's top-left, is the second pair.
    EXPECT_EQ(i32At(one, r + 42 + 8), 5);
    EXPECT_EQ(i32At(one, r + 42 + 12), 6);
    // RefPoint: the stamp's middle.
    EXPECT_EQ(i32At(one, r + 138), 5 + 1);
    EXPECT_EQ(i32At(one, r + 142), 6 + 1);
    EXPECT_EQ(i32At(one, r + 194), 0); // no font name
    const qint32 nameLength = i32At(one, r + 198);
    EXPECT_EQ(nameLength, 6); // two kanji in code page 932, ".bmp"
    const qint32 bmpLength = i32At(one, r + 202 + nameLength);
    EXPECT_EQ(r + 206 + nameLength + bmpLength, one.size());
    EXPECT_EQ(one.mid(r + 206 + nameLength, 2), QByteArray("BM"));
}

TEST(SnapshotTest, RestoreRebuildsListSizeAndCanvas) {
    PictureDocument doc;
    doc.SetCanvasSize({40, 30});
    doc.CommitShape(Shapes::makeStamp(picture({4, 4}, qRgb(10, 20, 30)), {1, 1}, 0));
    doc.CommitShape(Shapes::makeStamp(picture({2, 2}, qRgb(200, 0, 0)), {3, 3}, 0));
    const QByteArray snapshot = doc.Snapshot().logical();
    const QImage canvas = doc.CanvasBitmap;

    // Written, read and written again: the same bytes, from the full layout and from the shared one.
    PictureDocument other;
    ASSERT_TRUE(other.RestoreSnapshot(snapshot));
    EXPECT_EQ(other.canvasSize(), QSize(40, 30));
    ASSERT_EQ(other.ShapeList.size(), 2u);
    EXPECT_EQ(other.CanvasBitmap, canvas);
    EXPECT_EQ(other.Snapshot().logical(), snapshot);
    PictureDocument third;
    ASSERT_TRUE(third.RestoreSnapshot(doc.Snapshot()));
    EXPECT_EQ(third.Snapshot(), doc.Snapshot());
    EXPECT_EQ(third.ShapeList[0]->StampPicture.constBits(), doc.ShapeList[0]->StampPicture.constBits());
}

TEST(SnapshotTest, SnapshotThatCannotBeReadLeavesTheDocumentAsItWas)
{
    PictureDocument source;
    source.SetCanvasSize({40, 30});
    source.CommitShape(Shapes::makeStamp(picture({2, 2}, qRgb(10, 20, 30)), {1, 1}, 0));
    auto pen = std::make_unique<ShapeRecord>();
    pen->ShapeType = Shapes::Pen;
    pen->LineWidth = 2;
    pen->Points = {{1, 1}, {5, 5}, {9, 2}};
    source.CommitShape(std::move(pen));
    const QByteArray good = source.Snapshot().logical();

    PictureDocument doc;
    doc.SetCanvasSize({20, 10});
    doc.CommitShape(Shapes::makeStamp(picture({3, 3}, qRgb(0, 0, 255)), {2, 2}, 0));
    const QByteArray before = doc.Snapshot().logical();
    const QImage canvas = doc.CanvasBitmap;
    auto unchanged = [&] {
        return doc.Snapshot().logical() == before && doc.CanvasBitmap == canvas && doc.canvasSize() == QSize(20, 10);
    };

    // Cut at every point, declaring the full size or the cut one.
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        QByteArray shortBytes = good.left(cut);
        EXPECT_FALSE(doc.RestoreSnapshot(shortBytes)) << cut;
        if (cut >= 4)
            qToLittleEndian<qint32>(qint32(cut), shortBytes.data());
        EXPECT_FALSE(doc.RestoreSnapshot(shortBytes)) << cut;
        ASSERT_TRUE(unchanged()) << cut;
    }
    // Lengths and counts beyond what is left.
    QByteArray tooMany = good;
    qToLittleEndian<qint32>(1000000, tooMany.data() + 12);
    EXPECT_FALSE(doc.RestoreSnapshot(tooMany));
    QByteArray negative = good;
    qToLittleEndian<qint32>(-1, negative.data() + 16 + 194);
    EXPECT_FALSE(doc.RestoreSnapshot(negative));
    EXPECT_TRUE(unchanged());
    EXPECT_TRUE(doc.RestoreSnapshot(good));
}

TEST(StampTest, WhiteShowsThroughUnlessTheStampIsTheEraser) {
    QImage stamp(2, 1, QImage::Format_RGB32);
    stamp.setPixel(0, 0, qRgb(255, 255, 255));
    stamp.setPixel(1, 0, qRgb(0, 128, 0));

    PictureDocument doc;
    doc.SetCanvasSize({4, 4});
    doc.BackgroundPicture = picture({4, 4}, qRgb(0, 0, 255));
    doc.RerenderCanvas();
    doc.CommitShape(Shapes::makeStamp(stamp, {0, 0}, 0x000000));
    EXPECT_EQ(doc.CanvasBitmap.pixel(0, 0), qRgb(0, 0, 255));
    EXPECT_EQ(doc.CanvasBitmap.pixel(1, 0), qRgb(0, 128, 0));

    doc.CommitShape(Shapes::makeStamp(stamp, {0, 1}, Shapes::TransparentWhite));
    EXPECT_EQ(doc.CanvasBitmap.pixel(0, 1), qRgb(255, 255, 255));
    EXPECT_EQ(doc.CanvasBitmap.pixel(1, 1), qRgb(0, 128, 0));

    // Rebuilding from the list gives the same canvas, and stamps reaching past it are cut.
    const QImage drawn = doc.CanvasBitmap;
    doc.CommitShape(Shapes::makeStamp(picture({3, 3}, qRgb(9, 9, 9)), {3, 3}, 0));
    EXPECT_EQ(doc.CanvasBitmap.pixel(3, 3), qRgb(9, 9, 9));
    doc.ShapeList.pop_back();
    doc.RerenderCanvas();
    EXPECT_EQ(doc.CanvasBitmap, drawn);
}

TEST(StampTest, FreeFormStampShowsOnlyInsideItsPolygon) {
    auto record = Shapes::makeStamp(picture({10, 10}, qRgb(50, 60, 70)), {0, 0}, 0);
    record->FreeForm = 1;
    record->Points = {{0, 0}, {10, 0}, {0, 10}};
    PictureDocument doc;
    doc.SetCanvasSize({10, 10});
    doc.CommitShape(std::move(record));
    EXPECT_EQ(doc.CanvasBitmap.pixel(1, 1), qRgb(50, 60, 70));
    EXPECT_EQ(doc.CanvasBitmap.pixel(8, 8), qRgb(255, 255, 255));
    // The polygon's points go into the snapshot and come back.
    PictureDocument other;
    ASSERT_TRUE(other.RestoreSnapshot(doc.Snapshot()));
    EXPECT_EQ(other.ShapeList.front()->Points.size(), 3u);
    EXPECT_EQ(other.CanvasBitmap, doc.CanvasBitmap);
}

TEST(ConvertInnerWhiteTest, EnclosedWhiteBecomesOpaqueBorderWhiteStaysTransparent) {
    QImage img = fromRows({
        ".........",
        ".#####...",
        ".#...#.o.",
        ".#.o.#...",
        ".#####...",
        "o......##",
        "#o.....#.",
    });
    ConvertInnerWhite(img, Opaque);
    EXPECT_EQ(toRows(img), (std::vector<std::string>{
                               ".........",
                               ".#####...",
                               ".#ooo#...",
                               ".#ooo#...",
                               ".#####...",
                               ".......##",
                               "#......#.",
                           }));
}

TEST(SaveWhiteTest, SecondWhiteIsSavedAsWhite) {
    QImage canvas(3, 1, QImage::Format_RGB32);
    canvas.setPixel(0, 0, qRgb(255, 254, 254));
    canvas.setPixel(1, 0, qRgb(255, 254, 255));
    canvas.setPixel(2, 0, qRgb(12, 34, 56));
    const QImage saved = WithSecondWhiteAsWhite(canvas, qRgb(255, 254, 254));
    EXPECT_EQ(saved.pixel(0, 0), qRgb(255, 255, 255));
    EXPECT_EQ(saved.pixel(1, 0), qRgb(255, 254, 255));
    EXPECT_EQ(saved.pixel(2, 0), qRgb(12, 34, 56));
}

TEST(CanvasUndoTest, ThirtyStepsBackAndUnchangedPushesRecordNothing) {
    PictureDocument doc;
    CanvasUndo undo;
    undo.Reset(doc.Snapshot());
    // The ring starts at the document as it is, so an unchanged document is no step.
    EXPECT_FALSE(undo.Push(doc.Snapshot()));
    for (int i = 0; i < 31; ++i) {
        doc.CommitShape(Shapes::makeStamp(picture({1, 1}, qRgb(i, 0, 0)), {i, 0}, 0));
        ASSERT_TRUE(undo.Push(doc.Snapshot()));
    }
    int steps = 0;
    while (undo.Undo())
        ++steps;
    EXPECT_EQ(steps, 30);
    ASSERT_TRUE(doc.RestoreSnapshot(undo.Current()));
    EXPECT_EQ(doc.ShapeList.size(), 1u);
}

TEST(CanvasUndoTest, ChangedTestComparesWithTheBaseline) {
    PictureDocument doc;
    CanvasUndo undo;
    undo.StoreBaseline(doc.Snapshot());
    EXPECT_FALSE(undo.IsChanged(doc.Snapshot()));
    // The size alone is a change.
    doc.SetCanvasSize({610, 400});
    EXPECT_TRUE(undo.IsChanged(doc.Snapshot()));
    doc.SetCanvasSize({600, 400});
    EXPECT_FALSE(undo.IsChanged(doc.Snapshot()));
}

// The same edits, pushes, undos and baselines on two documents: one whose ring bakes what it cannot
// reach any more into the background, and one that keeps every record of the session and always
// re-renders from the start. Both must show the same pixels after every step, through every undo
// and redo, and agree on what counts as changed since the baseline.
class BakingAgainstFullReplay : public ::testing::TestWithParam<unsigned> {
protected:
    struct Side {
        PictureDocument doc;
        CanvasUndo undo;
    };
    Side baked, whole;
    std::mt19937 rng;
    int totalBaked = 0;

    int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    QPoint anywhere(QSize size) { return {pick(-5, size.width() + 5), pick(-5, size.height() + 5)}; }

    template <class Edit>
    void both(Edit&& edit)
    {
        edit(baked.doc);
        edit(whole.doc);
    }

    std::unique_ptr<ShapeRecord> randomRecord(QSize size)
    {
        const ColourText::TColor colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000, Shapes::TransparentWhite};
        const ColourText::TColor colour = colours[pick(0, 4)];
        switch (pick(0, 5)) {
        case 0: { // a stamp, some of its white see-through
            QImage stamp(pick(1, 40), pick(1, 30), QImage::Format_RGB32);
            stamp.fill(qRgb(pick(0, 255), pick(0, 255), pick(0, 255)));
            for (int i = 0; i < 20; ++i)
                stamp.setPixel(pick(0, stamp.width() - 1), pick(0, stamp.height() - 1), White);
            return Shapes::makeStamp(stamp, anywhere(size), pick(0, 1) ? 0 : Shapes::TransparentWhite);
        }
        case 1: { // a fill, where the others make regions to fill
            auto r = std::make_unique<ShapeRecord>();
            r->ShapeType = Shapes::Fill;
            r->PenMode = 4;
            r->PenColor = r->AltColor = r->BrushColor = colour;
            r->Anchors[0] = r->Anchors[3] = anywhere(size);
            r->copyAnchors();
            r->RefPoint = Shapes::ShapeRefPoint(*r);
            return r;
        }
        default: {
            auto r = std::make_unique<ShapeRecord>();
            r->ShapeType =
                std::array{Shapes::Rectangle, Shapes::Ellipse, Shapes::Line, Shapes::Pen}[size_t(pick(0, 3))];
            r->PenMode = 4;
            r->PenColor = r->AltColor = r->BrushColor = colour;
            r->LineWidth = pick(1, 12);
            r->LineKind = pick(0, 2);
            r->Curvature = r->ShapeType == Shapes::Line ? pick(-20, 20) : 0;
            r->Anchors[0] = anywhere(size);
            r->Anchors[3] = anywhere(size);
            r->copyAnchors();
            if (r->ShapeType == Shapes::Pen)
                for (int i = pick(1, 8); i > 0; --i)
                    r->Points.push_back(anywhere(size));
            r->RefPoint = Shapes::ShapeRefPoint(*r);
            return r;
        }
        }
    }

    void push()
    {
        const bool pushed = baked.undo.Push(baked.doc.Snapshot());
        ASSERT_EQ(pushed, whole.undo.Push(whole.doc.Snapshot()));
        if (pushed)
            totalBaked += baked.undo.BakeUnreachable(baked.doc);
        // What the document holds after baking is the step the ring holds.
        ASSERT_EQ(baked.doc.Snapshot(), baked.undo.Current());
    }

    void restore()
    {
        ASSERT_TRUE(baked.doc.RestoreSnapshot(baked.undo.Current()));
        ASSERT_TRUE(whole.doc.RestoreSnapshot(whole.undo.Current()));
    }

    void same(const char* what, int step)
    {
        ASSERT_EQ(baked.undo.ring().current(), whole.undo.ring().current()) << what << " " << step;
        ASSERT_EQ(baked.undo.ring().first(), whole.undo.ring().first()) << what << " " << step;
        ASSERT_EQ(baked.doc.CanvasBitmap, whole.doc.CanvasBitmap) << what << " at step " << step;
        ASSERT_EQ(baked.undo.IsChanged(baked.doc.Snapshot()), whole.undo.IsChanged(whole.doc.Snapshot()))
            << what << " at step " << step;
        // The canvas as kept is the canvas as re-rendered.
        const QImage kept = baked.doc.CanvasBitmap;
        baked.doc.RerenderCanvas();
        ASSERT_EQ(baked.doc.CanvasBitmap, kept) << what << " at step " << step;
    }
};

TEST_P(BakingAgainstFullReplay, EveryStepAndEveryUndoShowsWhatTheWholeHistoryDraws)
{
    rng.seed(GetParam());
    const QSize size(pick(40, 90), pick(30, 70));
    const QImage background =
        pick(0, 1) ? QImage() : picture(size + QSize(pick(-8, 8), pick(-8, 8)), qRgb(200, 220, 90));
    both([&](PictureDocument& d) {
        d.BackgroundPicture = background;
        d.SetCanvasSize(size);
    });
    for (Side* s : {&baked, &whole}) {
        s->undo.Reset(s->doc.Snapshot());
        s->undo.StoreBaseline(s->doc.Snapshot());
    }
    for (int step = 0; step < 200; ++step) {
        const int command = pick(0, 39);
        if (command < 24) { // a record drawn on the canvas as it stands
            const std::unique_ptr<ShapeRecord> record = randomRecord(size);
            both([&](PictureDocument& d) { d.CommitShape(std::make_unique<ShapeRecord>(*record), true); });
            push();
        } else if (command < 28 && !baked.doc.ShapeList.empty()) { // a deform or a move of a record left
            const size_t back = size_t(pick(0, 3) ? 1 : pick(1, int(baked.doc.ShapeList.size())));
            const int width = pick(1, 20);
            const QPoint d(pick(-10, 10), pick(-10, 10));
            const bool deform = pick(0, 1);
            both([&](PictureDocument& doc) {
                ShapeRecord& r = *doc.ShapeList[doc.ShapeList.size() - back];
                if (deform) {
                    r.LineWidth = width;
                } else {
                    for (QPoint& a : r.Anchors)
                        a += d;
                    for (QPoint& p : r.Points)
                        p += d;
                }
                doc.RerenderCanvas();
            });
            push();
        } else if (command < 36) { // undo or redo a few steps
            const bool back = command < 32;
            for (int i = pick(1, 6); i > 0; --i) {
                const bool moved = back ? baked.undo.Undo() : baked.undo.Redo();
                ASSERT_EQ(moved, back ? whole.undo.Undo() : whole.undo.Redo());
                if (!moved)
                    break;
                restore();
                same(back ? "undo" : "redo", step);
                if (HasFatalFailure())
                    return;
            }
        } else if (command == 36) { // clear all
            both([&](PictureDocument& d) {
                d.FreeShapeList();
                d.BackgroundCleared = d.hasBackground();
                d.RerenderCanvas();
            });
            push();
        } else if (command == 37) { // a save: the history starts again
            for (Side* s : {&baked, &whole}) {
                s->undo.Reset(s->doc.Snapshot());
                s->undo.StoreBaseline(s->doc.Snapshot());
            }
        } else { // as far back as the ring goes and forward again
            const QImage before = baked.doc.CanvasBitmap;
            int undone = 0;
            while (baked.undo.Undo()) {
                ASSERT_TRUE(whole.undo.Undo());
                restore();
                same("undo through the ring", step);
                if (HasFatalFailure())
                    return;
                ++undone;
            }
            for (; undone > 0; --undone) {
                ASSERT_TRUE(baked.undo.Redo());
                ASSERT_TRUE(whole.undo.Redo());
                restore();
            }
            ASSERT_EQ(baked.doc.CanvasBitmap, before) << step;
        }
        if (HasFatalFailure())
            return;
        same("step", step);
        if (HasFatalFailure())
            return;
    }
    // The walk went far enough past the ring's depth to bake.
    EXPECT_GT(totalBaked, 0);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BakingAgainstFullReplay, ::testing::Range(1u, 17u));

TEST(PaletteTest, NearWhitesOnTrueColourAndSixteenBitDisplays) {
    ColourText::TColor opaque = 0, second = 0;
    Palette::FindOpaqueWhites(opaque, second, 32);
    EXPECT_EQ(opaque, Palette::rgb(255, 254, 255));
    EXPECT_EQ(second, Palette::rgb(255, 254, 254));
    // Five bits of red and blue, six of green: the whites the display can tell apart.
    Palette::FindOpaqueWhites(opaque, second, 16);
    EXPECT_EQ(opaque, Palette::rgb(255, 251, 255));
    EXPECT_NE(Palette::DeviceColorOf(second, 16), ColourText::clWhite);
    EXPECT_NE(Palette::DeviceColorOf(second, 16), opaque);
    EXPECT_EQ((second >> 8) & 0xFF, 251);
}

TEST(PaletteTest, ContrastTextColour) {
    using Palette::rgb;
    const struct {
        ColourText::TColor colour, text;
    } cases[] = {
        {rgb(255, 255, 255), ColourText::clBlack}, {rgb(255, 255, 0), ColourText::clBlack},
        {rgb(200, 50, 64), ColourText::clBlack},   {rgb(0, 0, 0), ColourText::clWhite},
        {rgb(200, 50, 65), ColourText::clWhite},   {rgb(190, 64, 0), ColourText::clWhite},
        {rgb(0, 0, 255), ColourText::clWhite},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Palette::ContrastTextColor(c.colour), c.text) << std::hex << c.colour;
}

} // namespace
