// How long the picture editor takes for what its users wait on: repainting the zoomed view,
// opening, saving and undo snapshots of a large picture, and start-up to a painted window.
// Prints figures only; the targets live in README.md.
#include "BenchHarness.h"
#include "BmpPicture.h"
#include "CanvasScrollBox.h"
#include "CanvasView.h"
#include "EaselForms.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "UnitPictureEditor.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

// Taken first thing in main: the start-up figures count from here.
Clock::time_point g_mainStart;
std::chrono::system_clock::time_point g_mainStartWall;

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

// The real window's view: one full repaint of a 1920 x 1080 viewport through Qt's paint event
// and backing store.
std::vector<Figure> benchWindowRepaint() {
    std::vector<Figure> out;
    QTemporaryDir dir;
    ProgramFolder::setOverride(dir.path());
    ScriptedPrompter prompter;
    EaselForms forms;
    forms.create({});
    TFormPictureEditor& ed = *forms.formPictureEditor;
    ed.show();
    QCoreApplication::processEvents();
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

// ---- Start-up ------------------------------------------------------------------------------

struct StartupPhases {
    double prelaunch = -1, application = 0, created = 0, shown = 0, exposed = -1, painted = 0;
    int prompts = 0;
};

// Watches the main window until its first paint has gone through the event loop.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, StartupPhases* phases) : m_window(window), m_phases(phases) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::Expose && m_phases->exposed < 0 && object == m_window->windowHandle() &&
            m_window->windowHandle()->isExposed())
            m_phases->exposed = msSince(g_mainStart);
        if (event->type() == QEvent::Paint && !m_painting) {
            auto* w = qobject_cast<QWidget*>(object);
            if (w && w->window() == m_window) {
                m_painting = true;
                QTimer::singleShot(0, qApp, [this] {
                    m_phases->painted = msSince(g_mainStart);
                    QCoreApplication::quit();
                });
            }
        }
        return false;
    }

private:
    QWidget* m_window;
    StartupPhases* m_phases;
    bool m_painting = false;
};

// One start-up as easel's main does it: QApplication, the six forms, show, and the event loop
// until the first paint. Prints one line the parent reads.
int runStartupOnce(int argc, char** argv, const QString& picture) {
    StartupPhases phases;
    if (const char* launch = std::getenv("BENCH_LAUNCH_NS")) {
        const auto mainNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(g_mainStartWall.time_since_epoch()).count();
        phases.prelaunch = double(mainNs - std::atoll(launch)) / 1e6;
    }

    QApplication app(argc, argv);
    phases.application = msSince(g_mainStart);
    QTemporaryDir folder;
    ProgramFolder::setOverride(folder.path());
    ScriptedPrompter prompter;

    EaselForms forms;
    forms.create(picture.isEmpty() ? QStringList() : QStringList{picture});
    phases.created = msSince(g_mainStart);

    FirstPaintWatch watch(forms.formPictureEditor.get(), &phases);
    app.installEventFilter(&watch);
    forms.formPictureEditor->show();
    phases.shown = msSince(g_mainStart);

    QTimer::singleShot(20000, &app, [] {
        std::fprintf(stderr, "no paint within 20 s\n");
        QCoreApplication::exit(1);
    });
    const int rc = app.exec();
    app.removeEventFilter(&watch);
    phases.prompts = int(prompter.asked.size());
    std::printf("startup prelaunch=%.3f application=%.3f created=%.3f shown=%.3f exposed=%.3f painted=%.3f "
                "prompts=%d\n",
                phases.prelaunch, phases.application, phases.created, phases.shown, phases.exposed,
                phases.painted, phases.prompts);
    std::fflush(stdout);
    return rc;
}

std::optional<std::map<std::string, double>> readStartupLine(const QByteArray& output) {
    for (const QByteArray& line : output.split('\n')) {
        if (!line.startsWith("startup ")) continue;
        std::map<std::string, double> values;
        for (const QByteArray& item : line.mid(8).split(' ')) {
            const qsizetype eq = item.indexOf('=');
            if (eq > 0) values[item.left(eq).toStdString()] = item.mid(eq + 1).toDouble();
        }
        return values;
    }
    return std::nullopt;
}

// Start-up figures from separate processes (a start-up can only be measured once per process).
std::vector<Figure> benchStartup(int runs, const QString& label, const QString& picture) {
    QStringList arguments{u"--startup"_s};
    if (!picture.isEmpty()) arguments << picture;

    std::map<std::string, std::vector<double>> samples;
    int failures = 0, prompts = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"BENCH_LAUNCH_NS"_s,
                   QString::number(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count()));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), arguments);
        const bool finished = child.waitForFinished(30000);
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        const auto values = readStartupLine(child.readAllStandardOutput());
        if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !values) {
            std::fprintf(stderr, "start-up run %d failed:\n%s\n", i + 1,
                         child.readAllStandardError().constData());
            ++failures;
            continue;
        }
        for (const auto& [key, value] : *values)
            samples[key].push_back(value);
        prompts += int(values->at("prompts"));
        samples["total"].push_back(values->at("prelaunch") + values->at("painted"));
    }

    std::string note = failures ? std::to_string(failures) + " RUNS FAILED" : std::string();
    if (prompts)
        note += (note.empty() ? "" : ", ") + std::string("UNEXPECTED MESSAGES: ") + std::to_string(prompts);
    const std::string prefix = "startup" + label.toStdString() + ": ";
    std::vector<Figure> out;
    out.push_back(summarise(prefix + "launch -> main", samples["prelaunch"], "exec, dynamic loading"));
    out.push_back(summarise(prefix + "main -> forms created", samples["created"]));
    out.push_back(summarise(prefix + "main -> window exposed", samples["exposed"]));
    out.push_back(summarise(prefix + "main -> first paint done", samples["painted"], note));
    out.push_back(summarise(prefix + "launch -> first paint done", samples["total"]));
    return out;
}

void usage() {
    std::printf("usage: bench_easel [--only-startup] [--startup-runs N]\n"
                "       bench_easel --startup [PICTURE]   (one start-up)\n");
}

} // namespace

int main(int argc, char** argv) {
    g_mainStart = Clock::now();
    g_mainStartWall = std::chrono::system_clock::now();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

    bool onlyStartup = false;
    int startupRuns = 10;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--startup")
            return runStartupOnce(argc, argv, i + 1 < argc ? QString::fromLocal8Bit(argv[i + 1]) : QString());
        if (a == "--only-startup")
            onlyStartup = true;
        else if (a == "--startup-runs" && i + 1 < argc)
            startupRuns = std::max(1, std::atoi(argv[++i]));
        else {
            usage();
            return a == "--help" || a == "-h" ? 0 : 2;
        }
    }

    QApplication app(argc, argv);
    std::printf("platform: %s\n\n", qPrintable(QGuiApplication::platformName()));

    std::vector<Figure> figures;
    if (!onlyStartup) {
        for (Figure& f : benchPaintRoutine())
            figures.push_back(std::move(f));
        for (Figure& f : benchWindowRepaint())
            figures.push_back(std::move(f));
    }
    for (Figure& f : benchStartup(startupRuns, QString(), QString()))
        figures.push_back(std::move(f));
    QTemporaryDir dir;
    const QString picture = dir.path() + u"/start.bmp"_s;
    PictureFile::save(picture, samplePicture({960, 435}), 100);
    for (Figure& f : benchStartup(startupRuns, u" with a 960x435 picture"_s, picture))
        figures.push_back(std::move(f));
    printTable(figures);
    return 0;
}
