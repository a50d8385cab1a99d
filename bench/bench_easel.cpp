// How long the picture editor takes for what its users wait on: repainting the zoomed view,
// opening, saving and undo snapshots of a large picture, and start-up to a painted window.
// Prints figures only; the targets live in README.md.
#include "BenchHarness.h"
#include "BenchStartup.h"
#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "CanvasView.h"
#include "EaselForms.h"
#include "LayerTransform.h"
#include "ProcessUsage.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "ShapeRender.h"
#include "UnitPictureEditor.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QPainter>
#include <QScrollArea>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <vector>


using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

constexpr QSize Viewport(1920, 1080);

// ---- Measuring -----------------------------------------------------------------------------

std::string promptNote(const ScriptedPrompter& prompter, size_t before) {
    if (prompter.asked.size() == before) return {};
    std::fprintf(stderr, "unexpected message: %s\n", qPrintable(prompter.asked[before].text));
    return "UNEXPECTED MESSAGES: " + std::to_string(prompter.asked.size() - before);
}

// The largest canvas the size boxes allow, with detail everywhere (nothing compresses to nothing).
QImage samplePicture(QSize size = {2000, 1500}) {
    QImage img(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < size.width(); ++x)
            line[x] = qRgb((x * 7 + y) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256);
    }
    return img;
}

// ---- The view ------------------------------------------------------------------------------

// The paint routine alone, into a buffer the size of the viewport, the view scrolled into the
// middle of the canvas.
std::vector<Figure> benchPaintRoutine() {
    std::vector<Figure> out;
    const QImage canvas = samplePicture();
    QImage buffer(Viewport, QImage::Format_RGB32);
    for (int zoom : {100, 800}) {
        for (bool grid : {false, true}) {
            CanvasView::ViewState s;
            s.canvas = &canvas;
            s.zoom = zoom;
            s.box = CanvasView::zoomedSize(canvas.size(), zoom);
            s.gridShown = grid;
            const QPoint scroll((s.box.width() - Viewport.width()) / 2,
                                (s.box.height() - Viewport.height()) / 2);
            const QRect exposed(scroll, Viewport);
            std::string note = std::to_string(Viewport.width()) + "x" + std::to_string(Viewport.height()) +
                               " of " + std::to_string(s.box.width()) + "x" + std::to_string(s.box.height());
            out.push_back(measure(
                "CanvasView::paint " + std::to_string(zoom) + " %" + (grid ? " + grid" : ""),
                [&] {
                    QPainter p(&buffer);
                    p.translate(-scroll);
                    CanvasView::paint(p, s, exposed);
                },
                note));
        }
    }
    return out;
}

// easel's window as its main makes it, shown and painted once.
TFormPictureEditor& shownEditor(EaselForms& forms)
{
    forms.create({});
    TFormPictureEditor& ed = *forms.formPictureEditor;
    ed.show();
    QCoreApplication::processEvents();
    return ed;
}

// The real window's view: one full repaint of a 1920 x 1080 viewport through Qt's paint event
// and backing store.
std::vector<Figure> benchWindowRepaint() {
    std::vector<Figure> out;
    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    EaselForms forms;
    TFormPictureEditor& ed = shownEditor(forms);
    // Large enough for a 1920 x 1080 viewport.
    ed.resize(ed.size() + Viewport - ed.ScrollBox1->viewport()->size());
    QCoreApplication::processEvents();
    const QString path = dir.path() + u"/big.bmp"_s;
    if (!PictureFile::save(path, samplePicture(), 100) || !ed.OpenPictureFile(path)) {
        std::fprintf(stderr, "cannot open the sample picture\n");
        return out;
    }
    QWidget* view = ed.ScrollBox1->viewport();
    const QSize size = view->size();
    const std::string note = std::to_string(size.width()) + "x" + std::to_string(size.height()) +
                             (size.width() >= Viewport.width() && size.height() >= Viewport.height()
                                  ? std::string()
                                  : std::string(", VIEWPORT TOO SMALL"));
    for (int zoom : {100, 800}) {
        ed.SetZoom(zoom);
        const QPoint max = ed.ScrollBox1->maxScroll();
        ed.ScrollBox1->setScrollPosition(max / 2);
        QCoreApplication::processEvents();
        for (bool grid : {false, true}) {
            ed.GridShown = grid;
            const size_t asked = prompter.asked.size();
            Figure f = measure(
                "view repaint " + std::to_string(zoom) + " %" + (grid ? " + grid" : ""),
                [&] { view->repaint(QRect(QPoint(0, 0), Viewport)); }, note);
            if (const std::string n = promptNote(prompter, asked); !n.empty()) f.note += ", " + n;
            out.push_back(f);
        }
    }
    ed.GridShown = false;
    ed.SetZoom(100);

    // A scroll by one arrow key repaints only the strip that comes into view.
    int direction = 1;
    out.push_back(measure(
        "arrow key scroll by 50 + its paint (100 %)",
        [&] {
            ed.CMDialogKey(direction > 0 ? CanvasView::Arrow::Right : CanvasView::Arrow::Left,
                           Qt::NoModifier);
            direction = -direction;
            QCoreApplication::processEvents();
        },
        note));

    // Document work on the same 2000 x 1500 picture.
    const size_t asked = prompter.asked.size();
    bool ok = true;
    out.push_back(measure(
        "OpenPictureFile (2000x1500 BMP)", [&] { ok &= ed.OpenPictureFile(path); }, {}, 5, 50));
    const QString jpg = dir.path() + u"/big.jpg"_s;
    out.push_back(measure(
        "SavePictureFile (2000x1500 BMP)", [&] { ok &= ed.SavePictureFile(path); }, {}, 5, 50));
    out.push_back(measure(
        "SavePictureFile (2000x1500 JPEG q100)", [&] { ok &= ed.SavePictureFile(jpg); }, {}, 5, 50));
    // A full-canvas stamp in the document: what every snapshot of it then carries.
    ed.Doc.CommitShape(Shapes::makeStamp(samplePicture({400, 300}), {10, 10}, 0));
    out.push_back(measure("PushUndoSnapshot (one 400x300 stamp)", [&] {
        ed.Doc.ShapeList.back()->Anchors[3].rx() ^= 1;
        ed.PushUndoSnapshot();
    }));
    out.push_back(measure(
        "undo + redo (re-render 2000x1500)",
        [&] {
            ed.sbUndoClick();
            ed.sbRedoClick();
        },
        {}, 5, 200));
    std::string note2 = ok ? std::string() : std::string("FAILED");
    if (const std::string n = promptNote(prompter, asked); !n.empty()) note2 += n;
    if (!note2.empty())
        for (size_t i = out.size() - 5; i < out.size(); ++i)
            out[i].note = note2;
    ed.hide();
    return out;
}

// ---- Drawing --------------------------------------------------------------------------------

long residentKiB()
{
    return ProcessUsage::statusKiB("VmRSS:");
}

std::string mib(long kib)
{
    return std::to_string(kib / 1024) + " MB";
}

ShapeRecord outlineRecord(qint32 type, QPoint a0, QPoint a3, ColourText::TColor colour, int width, int kind,
                          int curvature = 0)
{
    ShapeRecord r;
    r.ShapeType = type;
    r.PenMode = 4;
    r.PenColor = r.AltColor = r.BrushColor = colour;
    r.LineWidth = width;
    r.LineKind = kind;
    r.Curvature = curvature;
    r.Anchors[0] = a0;
    r.Anchors[3] = a3;
    r.copyAnchors();
    return r;
}

std::vector<Figure> benchDrawing()
{
    std::vector<Figure> out;
    const ColourText::TColor colours[] = {0x0000FF, 0x00FF00, 0xFF0000, 0x000000, 0x808080};

    // 100 records of every kind but stamps on the starting canvas.
    {
        PictureDocument doc;
        for (int i = 0; i < 100; ++i) {
            const QPoint a(17 * i % 560, 29 * i % 360), b = a + QPoint(20 + i % 40, 15 + i % 30);
            const ColourText::TColor c = colours[i % 5];
            switch (i % 5) {
            case 0:
                doc.CommitShape(
                    std::make_unique<ShapeRecord>(outlineRecord(Shapes::Rectangle, a, b, c, i % 12, i % 3)));
                break;
            case 1:
                doc.CommitShape(std::make_unique<ShapeRecord>(outlineRecord(Shapes::Ellipse, a, b, c, i % 12, i % 3)));
                break;
            case 2:
                doc.CommitShape(
                    std::make_unique<ShapeRecord>(outlineRecord(Shapes::Line, a, b, c, i % 12, i % 3, i % 40 - 20)));
                break;
            case 3: {
                auto pen = std::make_unique<ShapeRecord>(outlineRecord(Shapes::Pen, a, a, c, i % 8, 0));
                for (int k = 0; k < 200; ++k)
                    pen->Points.push_back(a + QPoint(k / 4, int(10 * std::sin(k / 10.0))));
                doc.CommitShape(std::move(pen));
                break;
            }
            default:
                doc.CommitShape(
                    std::make_unique<ShapeRecord>(outlineRecord(Shapes::Fill, a + QPoint(3, 3), a, c, 0, 0)));
                break;
            }
        }
        out.push_back(measure(
            "RerenderCanvas 600x400, 100 mixed records", [&] { doc.RerenderCanvas(); },
            "20 each of rectangle, ellipse, line/curve, 200-point pen, fill"));
    }

    // Five full-canvas stamps and ten fills on the largest canvas.
    {
        PictureDocument doc;
        doc.SetCanvasSize({2000, 1500});
        const QImage detail = samplePicture();
        QImage light(2000, 1500, QImage::Format_RGB32);
        light.fill(qRgb(240, 240, 200));
        for (int i = 0; i < 4; ++i)
            doc.CommitShape(Shapes::makeStamp(i % 2 ? detail.mirrored(true, false) : detail, {0, 0}, 0));
        doc.CommitShape(Shapes::makeStamp(light, {0, 0}, 0));
        for (int i = 0; i < 10; ++i) {
            const QPoint a(50 + 190 * i, 100 + 100 * (i % 3));
            doc.CommitShape(
                std::make_unique<ShapeRecord>(outlineRecord(Shapes::Rectangle, a, a + QPoint(150, 900), 0, 2, 0)));
            doc.CommitShape(std::make_unique<ShapeRecord>(
                outlineRecord(Shapes::Fill, a + QPoint(20, 20), a, colours[i % 5], 0, 0)));
        }
        out.push_back(measure(
            "RerenderCanvas 2000x1500, 5 stamps + 10 fills", [&] { doc.RerenderCanvas(); },
            "full-canvas stamps; fills of 150x900 each, inside outlines"));
    }

    // One fill over the whole largest canvas, from white.
    {
        QImage canvas(2000, 1500, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        out.push_back(measure(
            "FloodFill 3 megapixels",
            [&] {
                Shapes::FloodFill(canvas, {1000, 750}, qRgb(0, 0, 255));
            },
            [&] { canvas.fill(Qt::white); }, "2000x1500, one region"));
    }

    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    {
        EaselForms forms;
        TFormPictureEditor& ed = shownEditor(forms);
        ed.udPen->setValue(5);
        ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {10, 10});
        for (int k = 0; k < 5000; ++k)
            ed.Image1MouseMove(Qt::NoModifier, {10 + k % 500, 10 + k / 20});
        QCoreApplication::processEvents();
        int k = 0;
        out.push_back(measure(
            "pen move with 5,000 points drawn",
            [&] {
                ed.Image1MouseMove(Qt::NoModifier, {100 + (k++ & 63), 300});
            },
            "handler only; the repaint is the segment's rectangle"));
        out.push_back(measure("pen move with 5,000 points + its repaint", [&] {
            ed.Image1MouseMove(Qt::NoModifier, {100 + (k++ & 63), 300});
            QCoreApplication::processEvents();
        }));
        ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {100, 300});

        // The ring full of steps that each stamp the same full-canvas picture, then "全消去" and undo
        // forty times on a background picture of that size.
        ed.ResetDocument(true, true, true);
        ed.SetCanvasSize(2000, 1500);
        const QImage detail = samplePicture();
        const long before = residentKiB();
        for (int i = 0; i < 31; ++i) {
            ed.Doc.CommitShape(Shapes::makeStamp(detail, {i, i}, 0));
            ed.PushUndoSnapshot();
        }
        const long ring = residentKiB();
        out.push_back({"resident: 31 steps, each one more 2000x1500 stamp", 1, 0, 0,
                       "+" + mib(ring - before) + " (" + mib(ring) + " in all)"});
        ed.Doc.BackgroundPicture = detail;
        ed.ResetDocument(false, false, true);
        ed.Doc.RerenderCanvas();
        long cycles = 0;
        for (int i = 0; i < 40; ++i) {
            prompter.answers.push_back(Prompter::Answer::Yes);
            ed.sbClearAllClick();
            ed.sbUndoClick();
            if (i == 9)
                cycles = residentKiB();
        }
        const long after = residentKiB();
        out.push_back({"resident: 全消去 + undo, cycles 10 to 40", 1, 0, 0,
                       "+" + mib(after - cycles) + " (" + mib(after) + " in all)"});
        ed.hide();
    }
    ProgramFolder::setOverride(QString());
    return out;
}

// ---- What grows with a shape or a picture, not with the canvas --------------------------------

using ProcessUsage::cpuMs;
using ProcessUsage::statusKiB;

struct Cost {
    double cpuMs = 0, wallMs = 0;
    long peakKiB = 0; // above what was resident before
};

// One run of a step: its processor and wall time, and how far the resident size rose above where
// it stood (the peak is reset first, as Linux allows through clear_refs).
template <class Step>
Cost costOf(Step&& step)
{
    const bool reset = ProcessUsage::resetPeak();
    const long before = statusKiB("VmRSS:");
    const double cpu = cpuMs();
    const Clock::time_point wall = Clock::now();
    step();
    Cost c;
    c.cpuMs = cpuMs() - cpu;
    c.wallMs = msSince(wall);
    c.peakKiB = reset ? statusKiB("VmHWM:") - before : -1;
    return c;
}

Figure costFigure(std::string name, const Cost& c, std::string note = {})
{
    char buf[96];
    std::snprintf(buf, sizeof buf, "cpu; wall %.0f ms, peak +%ld MB", c.wallMs, c.peakKiB / 1024);
    return {std::move(name), 1, c.cpuMs, c.cpuMs, buf + (note.empty() ? std::string() : ", " + note)};
}

// A line of every curvature, drawn and measured as a commit does: the worst of them.
std::vector<Figure> benchCurves()
{
    std::vector<Figure> out;
    for (int length : {360, 600}) {
        for (int width : {1, 50}) {
            Cost worst;
            long worstPeak = 0;
            int worstCurvature = 0;
            for (int curvature = -50; curvature <= 50; ++curvature) {
                PictureDocument doc;
                doc.SetCanvasSize({800, 600});
                const ShapeRecord line =
                    outlineRecord(Shapes::Line, {100, 300}, {100 + length, 300}, 0x0000FF, width, 0, curvature);
                const Cost c = costOf([&] { doc.CommitShape(std::make_unique<ShapeRecord>(line), true); });
                if (c.cpuMs > worst.cpuMs) {
                    worst = c;
                    worstCurvature = curvature;
                }
                worstPeak = std::max(worstPeak, c.peakKiB);
            }
            worst.peakKiB = worstPeak;
            out.push_back(costFigure(
                "curved line " + std::to_string(length) + " px, width " + std::to_string(width) + ": slowest curvature",
                worst, "curvature " + std::to_string(worstCurvature) + "; the peak is the largest of all 101"));
        }
    }
    return out;
}

// An 8000 x 8000 JPEG: the toolkit's own read and show against easel's open, and a size change.
std::vector<Figure> benchLargePicture()
{
    std::vector<Figure> out;
    QTemporaryDir dir;
    const QString path = dir.path() + u"/large.jpg"_s;
    if (!PictureFile::save(path, samplePicture({8000, 8000}), 90)) {
        std::fprintf(stderr, "cannot write the large sample picture\n");
        return out;
    }
    const QSize window(869, 631);
    auto median = [](std::vector<Cost> runs) {
        std::sort(runs.begin(), runs.end(), [](const Cost& a, const Cost& b) { return a.cpuMs < b.cpuMs; });
        Cost c = runs[runs.size() / 2];
        for (const Cost& r : runs)
            c.peakKiB = std::max(c.peakKiB, r.peakKiB);
        return c;
    };
    {
        // Qt refuses pictures over 128 MB unless told otherwise.
        QImageReader::setAllocationLimit(1024);
        std::vector<Cost> runs;
        bool read = true;
        for (int i = 0; i < 3; ++i)
            runs.push_back(costOf([&] {
                QImageReader reader(path);
                const QImage picture = reader.read();
                read &= !picture.isNull();
                QScrollArea area;
                auto* label = new QLabel;
                label->setPixmap(QPixmap::fromImage(picture));
                area.setWidget(label);
                area.resize(window);
                area.show();
                QCoreApplication::processEvents();
            }));
        out.push_back(
            costFigure("toolkit: read + show 8000x8000 JPEG", median(runs), read ? "QImageReader, QLabel" : "FAILED"));
    }

    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    {
        EaselForms forms;
        TFormPictureEditor& ed = shownEditor(forms);
        std::vector<Cost> opens, resizes;
        bool ok = true;
        size_t answered = 0;
        for (int i = 0; i < 3; ++i) {
            // The resized picture of the last round is let go unsaved.
            if (ed.IsChangedSinceSave(1)) {
                prompter.answers.push_back(Prompter::Answer::No);
                ++answered;
            }
            ed.mmFileNewClick();
            QCoreApplication::processEvents();
            opens.push_back(costOf([&] {
                ok &= ed.OpenPictureFile(path);
                QCoreApplication::processEvents();
            }));
            resizes.push_back(costOf([&] {
                ed.SetCanvasSize(7990, 8000);
                QCoreApplication::processEvents();
            }));
        }
        std::string note = ok ? std::string() : std::string("FAILED");
        if (const std::string n = promptNote(prompter, answered); !n.empty())
            note += (note.empty() ? "" : ", ") + n;
        out.push_back(costFigure("OpenPictureFile 8000x8000 JPEG + show", median(opens), note));
        out.push_back(costFigure("canvas 8000x8000 to 7990x8000 + show", median(resizes), note));
        ed.hide();
    }
    ProgramFolder::setOverride(QString());
    return out;
}

// A long session on a 4000 x 3000 picture: what range drags leave resident, and how long an undo
// takes after many fills over the whole canvas, as the ring grows full and beyond.
std::vector<Figure> benchLongSession()
{
    std::vector<Figure> out;
    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    EaselForms forms;
    TFormPictureEditor& ed = shownEditor(forms);
    QImage plain(4000, 3000, QImage::Format_RGB32);
    plain.fill(qRgb(250, 240, 200));
    const QString path = dir.path() + u"/plain.bmp"_s;
    if (!PictureFile::save(path, plain, 100) || !ed.OpenPictureFile(path)) {
        std::fprintf(stderr, "cannot open the 4000x3000 picture\n");
        return out;
    }
    ed.SetZoom(50);
    auto view = [&](QPoint p) { return QPoint(ed.ImageToScreen(p.x()), ed.ImageToScreen(p.y())); };
    const long before = residentKiB();
    for (int drag = 1; drag <= 62; ++drag) {
        ed.rbRectRange->setChecked(true);
        ed.rbRectRangeClick();
        const QPoint a(100 + 13 * drag, 100 + 11 * drag), b = a + QPoint(3600, 2700);
        ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, view(a));
        ed.Image1MouseMove(Qt::NoModifier, view(b));
        ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, view(b));
        const QPoint grab = view((a + b) / 2), to = grab + QPoint(drag % 2 ? 20 : -20, 10);
        ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, grab);
        ed.Image1MouseMove(Qt::NoModifier, to);
        ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, to);
        if (drag == 10 || drag == 31 || drag == 62) {
            const long now = residentKiB();
            out.push_back({"resident after " + std::to_string(drag) + " range drags of 3600x2700 (4000x3000)", 1, 0, 0,
                           "+" + mib(now - before) + " (" + mib(now) + " in all)"});
        }
    }

    ed.ResetDocument(false, false, true);
    ed.Doc.RerenderCanvas();
    ed.sbFloodFillClick();
    for (int fill = 1; fill <= 62; ++fill) {
        ed.SelectPaletteEntry(4 + fill % 2);
        ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {10, 10});
        ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {10, 10});
        if (fill == 10 || fill == 28 || fill == 62) {
            const Cost undo = costOf([&] { ed.sbUndoClick(); });
            ed.sbRedoClick();
            out.push_back(costFigure("undo after " + std::to_string(fill) + " whole-canvas fills (4000x3000)", undo));
        }
    }
    if (const std::string n = promptNote(prompter, 0); !n.empty())
        out.back().note += ", " + n;
    ed.hide();
    ProgramFolder::setOverride(QString());
    return out;
}

const char* const Usage = "usage: bench_easel [--only-startup | --only-large | --only-session] [--startup-runs N]\n"
                          "       bench_easel --startup [PICTURE]   (one start-up)\n";

std::vector<Figure> benchTransforms()
{
    std::vector<Figure> out;
    const QImage picture = samplePicture({1000, 1000});
    out.push_back(measure(
        "RotateBitmap 1000x1000 by 30 degrees",
        [&] { LayerTransform::RotateBitmap(picture, 0xFFFFFFFF, 30 * std::numbers::pi / 180); }, "to 1366x1366"));
    out.push_back(measure("FlipBitmap 1000x1000", [&] { LayerTransform::FlipBitmap(picture, false); }));

    // The tracing picture's faint copy, made once per placing.
    const QImage sample = samplePicture({2000, 1500});
    QImage faint(sample.size(), QImage::Format_RGB32);
    faint.fill(Qt::white);
    out.push_back(measure("BlendFaint 2000x1500", [&] {
        CanvasView::BlendFaint(faint, {0, 0}, qRgb(255, 255, 255), qRgb(179, 179, 179), sample);
    }));

    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    EaselForms forms;
    TFormPictureEditor& ed = shownEditor(forms);
    ed.resize(ed.size() + Viewport - ed.ScrollBox1->viewport()->size());
    ed.SetCanvasSize(2000, 1500);
    QCoreApplication::processEvents();
    QGuiApplication::clipboard()->setImage(picture);
    ed.PasteOrigin = {100, 100};
    ed.sbPasteShowClick();
    ed.pmReformClick();
    QCoreApplication::processEvents();
    const QPoint grip = ed.imReform[7]->mapToGlobal(QPoint(6, 6));
    ed.imReformHLMouseDown(7, Qt::LeftButton, grip);
    int step = 0;
    out.push_back(measure(
        "stretch step by a corner, 1000x1000 layer",
        [&] {
            ++step;
            ed.imReformHLMouseMove(grip + QPoint(step % 2 ? 9 : -9, step % 2 ? 4 : -4));
            QCoreApplication::processEvents();
        },
        "move + its repaint"));
    ed.imReformHLMouseUp();

    ed.pmRotateClick();
    QCoreApplication::processEvents();
    const QPoint centre =
        ed.ScrollBox1->viewport()->mapToGlobal(ed.imPaste.Geometry.center() - ed.ScrollBox1->scrollPosition());
    ed.imRotateRTMouseDown(0, Qt::LeftButton, centre + QPoint(400, 0));
    double angle = 0;
    out.push_back(measure(
        "rotate step by a handle, 1000x1000 layer",
        [&] {
            // Six degrees each way, so that every move turns the picture.
            angle = angle > 0 ? -0.105 : 0.105;
            ed.imRotateRTMouseMove(centre + QPoint(int(400 * std::cos(angle)), int(400 * std::sin(angle))));
            QCoreApplication::processEvents();
        },
        "rotation + its repaint"));
    ed.imRotateRTMouseUp();
    ProgramFolder::setOverride(QString());
    return out;
}

} // namespace

// Range commands on the largest canvas, and one mouse move while a large layer or ghost is dragged
// (the move and the repaint it asks for).
std::vector<Figure> benchSelection()
{
    std::vector<Figure> out;
    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    EaselForms forms;
    TFormPictureEditor& ed = shownEditor(forms);
    ed.resize(ed.size() + Viewport - ed.ScrollBox1->viewport()->size());
    QCoreApplication::processEvents();
    const QString path = dir.path() + u"/big.bmp"_s;
    if (!PictureFile::save(path, samplePicture(), 100) || !ed.OpenPictureFile(path)) {
        std::fprintf(stderr, "cannot open the sample picture\n");
        return out;
    }
    const size_t asked = prompter.asked.size();
    out.push_back(measure(
        "copy 2000x1500 range", [&] { ed.sbCopyClick(); }, [&] { ed.mmSelectAllClick(); }, "clipboard included"));
    ed.mmSelectAllClick();
    out.push_back(measure(
        "cut 2000x1500 range", [&] { ed.sbCutClick(true); },
        [&] {
            ed.sbUndoClick();
            ed.mmSelectAllClick();
        },
        "white stamp, canvas, undo step"));
    out.push_back(measure(
        "trim to a 2000x1500 range", [&] { ed.sbTrimmingClick(); },
        [&] {
            ed.sbUndoClick();
            ed.mmSelectAllClick();
        },
        "two stamps, canvas size, undo step"));
    ed.ClearSelection();

    int step = 0;
    auto moveBy = [&](QPoint from) {
        // Back and forth by a few pixels, as a slow drag moves.
        const QPoint p = from + QPoint(step % 2 ? 7 : 0, step % 2 ? 5 : 0);
        ++step;
        ed.Image1MouseMove(Qt::NoModifier, p);
        QCoreApplication::processEvents();
    };
    QGuiApplication::clipboard()->setImage(samplePicture({1000, 1000}));
    ed.PasteOrigin = {100, 100};
    ed.sbPasteShowClick();
    QCoreApplication::processEvents();
    ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {600, 600});
    out.push_back(measure("layer drag move, 1000x1000", [&] { moveBy({600, 600}); }, "move + its repaint"));
    ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {600, 600});
    ed.sbPasteShowClick();

    ed.sbRangeClick();
    ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {100, 100});
    ed.Image1MouseMove(Qt::NoModifier, {1100, 1100});
    ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {1100, 1100});
    ed.Image1MouseDown(Qt::LeftButton, Qt::NoModifier, {600, 600});
    const std::string ghosts = std::to_string(ed.GhostImages.size()) + " ghost";
    out.push_back(measure("ghost drag move, 1000x1000", [&] { moveBy({600, 600}); }, ghosts + ", move + its repaint"));
    ed.Image1MouseUp(Qt::LeftButton, Qt::NoModifier, {600, 600});
    if (const std::string n = promptNote(prompter, asked); !n.empty())
        out.back().note += ", " + n;
    ProgramFolder::setOverride(QString());
    return out;
}

int main(int argc, char** argv) {
    markMainStart();
    // The curves and the large picture alone, which take their time and memory.
    bool onlyLarge = false, onlySession = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == "--only-large")
            onlyLarge = true;
        else if (i > 0 && std::string(argv[i]) == "--only-session")
            onlySession = true;
        else
            args.push_back(argv[i]);
    }
    argc = int(args.size());
    argv = args.data();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    const StartupOptions options = readStartupOptions(argc, argv, Usage, [&](const QStringList& rest) {
        const QString picture = rest.value(0);
        return runStartupOnce(argc, argv, QString(), QString(), [&picture] {
            auto forms = std::make_shared<EaselForms>();
            forms->create(picture.isEmpty() ? QStringList() : QStringList{picture});
            // The main window's pointer keeps all six forms alive.
            return std::shared_ptr<QWidget>(forms, forms->formPictureEditor.get());
        });
    });
    if (options.exitCode) return *options.exitCode;

    QApplication app(argc, argv);
    std::printf("platform: %s\n\n", qPrintable(QGuiApplication::platformName()));

    std::vector<Figure> figures;
    if (onlySession) {
        for (Figure& f : benchLongSession())
            figures.push_back(std::move(f));
        printTable(figures);
        return 0;
    }
    if (onlyLarge) {
        for (Figure& f : benchCurves())
            figures.push_back(std::move(f));
        for (Figure& f : benchLargePicture())
            figures.push_back(std::move(f));
        printTable(figures);
        return 0;
    }
    if (!options.onlyStartup) {
        for (Figure& f : benchCurves())
            figures.push_back(std::move(f));
        for (Figure& f : benchLargePicture())
            figures.push_back(std::move(f));
        for (Figure& f : benchLongSession())
            figures.push_back(std::move(f));
        for (Figure& f : benchDrawing())
            figures.push_back(std::move(f));
        for (Figure& f : benchPaintRoutine())
            figures.push_back(std::move(f));
        for (Figure& f : benchWindowRepaint())
            figures.push_back(std::move(f));
        for (Figure& f : benchSelection())
            figures.push_back(std::move(f));
        for (Figure& f : benchTransforms())
            figures.push_back(std::move(f));
    }
    for (Figure& f : startupFigures(options.runs, QString(), {}, StartupRows::Milestones))
        figures.push_back(std::move(f));
    QTemporaryDir dir;
    const QString picture = dir.path() + u"/start.bmp"_s;
    PictureFile::save(picture, samplePicture({960, 435}), 100);
    for (Figure& f :
         startupFigures(options.runs, u" with a 960x435 picture"_s, {picture}, StartupRows::Milestones))
        figures.push_back(std::move(f));
    printTable(figures);
    return 0;
}
