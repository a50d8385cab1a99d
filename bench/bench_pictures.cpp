// How long the size-correction form takes for what a user waits on with a large photo: a zoom
// step (the new size and the repaint of what is on screen), a fit to the frame, the cut and the
// load; a bar step of the adjustment form over both of its hosts, the size-correction form and
// easel's import form, at several zooms; and a picture dialog's preview of a 15000 x 8000 JPEG
// beside its whole decode. Prints figures only; the targets live in README.md.
#include "BenchHarness.h"
#include "BmpPicture.h"
#include "CutView.h"
#include "ProcessUsage.h"
#include "ScriptedPrompter.h"
#include "UnitPicEffect.h"
#include "UnitPictureKiridasi.h"
#include "UnitPictureSelect.h"

#include <QApplication>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

// A photo-like 4000 x 3000 picture: smooth gradients with some fine detail.
QImage samplePicture()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x / 16) % 256, (y / 12) % 256, ((x ^ y) & 0x3F) + 96);
    }
    return image;
}

// The process's peak resident size in MB (Linux), to show what a step allocates.
double peakMb()
{
    return std::max(0L, ProcessUsage::statusKiB("VmHWM:")) / 1024.0;
}

// ---- Measuring -----------------------------------------------------------------------------

std::string formatMb(double mb)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "peak memory +%.0f MB", mb);
    return buf;
}

// ---- Benchmarks ----------------------------------------------------------------------------

// The form on the picture with a map's frame, shown at 1280 x 1000 (not maximised).
void showForMap(TFormPictureKiridasi& form, const QString& path)
{
    form.RequiredWidth = 960;
    form.RequiredHeight = 435;
    form.PictureFileName = path;
    form.FormShow();
    form.setWindowState(Qt::WindowNoState);
    form.resize(1280, 1000);
    form.show();
    QCoreApplication::processEvents();
}

std::vector<Figure> benchForm(const QString& path)
{
    std::vector<Figure> out;
    ScriptedPrompter prompter; // a message would mean the figures are not the path they claim
    TFormPictureKiridasi form;
    showForMap(form, path);
    QWidget* view = form.ScrollBox1->viewport();
    const std::string viewSize = std::to_string(view->width()) + "x" + std::to_string(view->height()) + " on screen";

    out.push_back(measure("TFormPictureKiridasi::LoadPicture (4000x3000 JPEG)", [&] { form.LoadPicture(path); }));
    QCoreApplication::processEvents();

    // One step up, one down: each a new display size and a repaint of what is visible.
    const auto zoomRow = [&](const std::string& name, int at) {
        form.UpDown1->setValue(at);
        QCoreApplication::processEvents();
        int direction = 1;
        const double before = peakMb();
        Figure f = measure(name, [&] {
            form.ZoomStep(direction);
            direction = -direction;
            view->repaint();
        });
        f.note = viewSize + ", " + formatMb(peakMb() - before);
        return f;
    };
    out.push_back(zoomRow("zoom step + repaint, 100 % (4000x3000)", 100));
    out.push_back(zoomRow("zoom step + repaint, 10 % (whole picture on screen)", 10));
    out.push_back(zoomRow("zoom step + repaint, 800 % (32000x24000 display)", 799));

    // "横" and "密着" in turn, so that each fit is a new display size.
    bool exact = false;
    out.push_back(measure("fit to frame, width or exact in turn + repaint", [&] {
        exact = !exact;
        form.UpDown1Click(exact ? CutView::Fit::Exact : CutView::Fit::Width);
        view->repaint();
    }));
    form.bbFitClick();
    view->repaint();
    out.push_back(measure("cut + repaint (960x435 at 24 %)", [&] {
        form.bbSelectClick();
        view->repaint();
    }, [&] {
        form.bbUndoClick();
        form.bbFitClick();
        view->repaint();
    }));

    form.hide();
    return out;
}

// One step of the red bar (100 and 120 in turn) with the synchronous repaint of the host's view,
// then OK: the whole picture adjusted and shown. `open` shows the adjustment form over the host.
void benchEffect(std::vector<Figure>& out, ScriptedPrompter& prompter, TFormPicEffect& effect, const std::string& host,
                 int zoom, QWidget* view, const std::function<void()>& open, const std::function<void()>& undo)
{
    const std::string at = " at " + std::to_string(zoom) + " %";
    prompter.modals.push_back([&](QDialog&) {
        int position = 100;
        out.push_back(measure("adjustment bar step + repaint, " + host + at, [&] {
            position = position == 100 ? 120 : 100;
            effect.sbR->setValue(position);
            view->repaint();
        }));
        effect.sbR->setValue(120);
        const Clock::time_point t0 = Clock::now();
        effect.btOKClick();
        view->repaint();
        out.push_back(summarise("adjustment OK + repaint, " + host + at, {msSince(t0)}));
        return int(QDialog::Accepted);
    });
    open();
    undo();
}

std::vector<Figure> benchEffects(const QString& path, const QImage& picture)
{
    std::vector<Figure> out;
    ScriptedPrompter prompter;
    TFormPicEffect effect;
    {
        TFormPictureKiridasi form;
        showForMap(form, path);
        QWidget* view = form.ScrollBox1->viewport();
        for (int zoom : {10, 25, 100, 800}) {
            form.UpDown1->setValue(zoom);
            view->repaint();
            benchEffect(
                out, prompter, effect, "size correction", zoom, view, [&] { form.EffectClick(); },
                [&] {
                    form.LoadPicture(path);
                    form.UpDown1->setValue(zoom);
                    view->repaint();
                });
        }
        form.hide();
    }
    {
        TFormPictureSelect form;
        form.LoadedPicture = picture;
        form.WorkPicture = picture;
        form.resize(1280, 1000);
        form.show();
        QCoreApplication::processEvents();
        QWidget* view = form.ScrollBox1->viewport();
        for (int zoom : {10, 100, 800}) {
            form.UpDown1->setValue(zoom);
            form.UpDown1Click();
            form.ResetUndo();
            view->repaint();
            benchEffect(
                out, prompter, effect, "import form", zoom, view, [&] { form.Effect1Click(); },
                [&] {
                    form.sbReOpenClick();
                    view->repaint();
                });
        }
        form.hide();
    }
    if (!prompter.asked.empty())
        out.back().note = "UNEXPECTED MESSAGES: " + prompter.asked.front().text.toStdString();
    return out;
}

std::vector<Figure> benchView(const QImage& picture)
{
    std::vector<Figure> out;
    long long sink = 0;
    CutView v;
    v.setFrameSize({960, 435});
    v.setViewport({1260, 900});
    v.redisplay(picture.size());
    out.push_back(measure("CutView::stretch 1260x900 visible, 99 %", [&] {
        v.stepZoom(-1, picture.size());
        sink += v.render(picture, {{0, 0}, v.viewport()}).width();
        v.stepZoom(1, picture.size());
    }));
    out.push_back(measure("CutView::stretch whole picture to 10 %", [&] {
        sink += CutView::stretch(picture, {400, 300}, {0, 0, 400, 300}).width();
    }));
    out.push_back(measure("TFormPicEffect::Adjust 4000x3000 (a table per channel)",
                          [&] { sink += TFormPicEffect::Adjust(picture, 20, 10, -5, 0).width(); }));
    if (sink == 42)
        std::printf(" ");
    return out;
}

// What the picture dialogs do each time a large photograph is chosen in the list.
std::vector<Figure> benchPreview(const QString& folder)
{
    std::vector<Figure> out;
    const QString path = folder + u"/large.jpg"_s;
    {
        QImage large(15000, 8000, QImage::Format_RGB32);
        for (int y = 0; y < large.height(); ++y) {
            QRgb* line = reinterpret_cast<QRgb*>(large.scanLine(y));
            for (int x = 0; x < large.width(); ++x)
                line[x] = qRgb((x / 40) % 256, (y / 30) % 256, ((x ^ y) & 0x3F) + 96);
        }
        if (!PictureFile::save(path, large, 90))
            return out;
    }
    long long sink = 0;
    out.push_back(measure(
        "PictureFile::preview 15000x8000 JPEG into 160x160 (scaled decode)",
        [&] {
            sink += PictureFile::preview(path, {160, 160}).picture.width();
        },
        {}, 5));
    out.push_back(measure(
        "PictureFile::load 15000x8000 JPEG (whole decode, as before)", [&] { sink += PictureFile::load(path).width(); },
        {}, 3));
    if (sink == 42)
        std::printf(" ");
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("platform: %s\n\n", qPrintable(QGuiApplication::platformName()));

    const QImage picture = samplePicture();
    QTemporaryDir folder;
    const QString path = folder.filePath(u"photo.jpg"_s);
    if (!PictureFile::save(path, picture, 90)) {
        std::printf("SAMPLE NOT WRITTEN\n");
        return 1;
    }
    std::vector<Figure> figures = benchView(picture);
    for (Figure& f : benchForm(path))
        figures.push_back(std::move(f));
    for (Figure& f : benchEffects(path, picture))
        figures.push_back(std::move(f));
    for (Figure& f : benchPreview(folder.path()))
        figures.push_back(std::move(f));
    printTable(figures);
    return 0;
}
