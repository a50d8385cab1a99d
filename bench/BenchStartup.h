// Start-up to a painted main window, for the programs with one. A start-up can only be measured
// once per process, so the bench starts itself again with --startup: the child times its phases
// from the top of main and prints them as one line, the parent reads that line from every run and
// turns the runs into rows.
#pragma once

#include "BenchHarness.h"
#include "ProgramFolder.h"
#include "QtTranslations.h"
#include "ScriptedPrompter.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <concepts>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Bench {

// Set by markMainStart(), first thing in main: the start-up figures count from here. The wall
// clock is the one the parent's launch time can be compared with.
inline Clock::time_point mainStart;
inline std::chrono::system_clock::time_point mainStartWall;

inline void markMainStart()
{
    mainStart = Clock::now();
    mainStartWall = std::chrono::system_clock::now();
}

// Phases of one start-up, in ms from the top of main; prelaunch is from the parent's launch.
struct StartupPhases {
    double prelaunch = -1, application = 0, created = 0, shown = 0, exposed = -1, painted = 0;
    int prompts = 0;
};

// Watches the main window until its first paint has gone through the event loop.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget* window, StartupPhases* phases) : m_window(window), m_phases(phases) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::Expose && m_phases->exposed < 0 && object == m_window->windowHandle()
            && m_window->windowHandle()->isExposed())
            m_phases->exposed = msSince(mainStart);
        if (event->type() == QEvent::Paint && !m_painting) {
            auto* w = qobject_cast<QWidget*>(object);
            if (w && w->window() == m_window) {
                m_painting = true;
                // Runs once the whole paint and flush of this frame has finished.
                QTimer::singleShot(0, qApp, [this] {
                    m_phases->painted = msSince(mainStart);
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

// One start-up as the program's main does it: QApplication, the forms, show, and the event loop
// until the first paint. `createForms` creates the program's forms and returns its main window,
// still hidden, owning the forms with it (so they go before the QApplication does); it is timed
// apart from show(). An empty `folder` gives the run a throw-away program folder; an empty
// `applicationName` leaves Qt's. Prints one line the parent reads.
template <std::invocable CreateForms>
int runStartupOnce(int argc, char** argv, const QString& applicationName, const QString& folder,
                   CreateForms&& createForms)
{
    StartupPhases phases;
    if (const char* launch = std::getenv("BENCH_LAUNCH_NS")) {
        const auto mainNs =
            std::chrono::duration_cast<std::chrono::nanoseconds>(mainStartWall.time_since_epoch()).count();
        phases.prelaunch = double(mainNs - std::atoll(launch)) / 1e6;
    }

    QApplication app(argc, argv);
    if (!applicationName.isEmpty())
        QApplication::setApplicationName(applicationName);
    QtTranslations::installJapanese();
    phases.application = msSince(mainStart);

    std::optional<QTemporaryDir> ownFolder;
    if (folder.isEmpty())
        ownFolder.emplace();
    ProgramFolder::setOverride(folder.isEmpty() ? ownFolder->path() : folder);
    // Nothing should ask anything on a plain start; if it does, the run must not hang on a box.
    ScriptedPrompter prompter;

    const std::shared_ptr<QWidget> window = createForms();
    phases.created = msSince(mainStart);

    FirstPaintWatch watch(window.get(), &phases);
    app.installEventFilter(&watch);
    window->show();
    phases.shown = msSince(mainStart);

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

inline std::optional<std::map<std::string, double>> readStartupLine(const QByteArray& output)
{
    for (const QByteArray& line : output.split('\n')) {
        if (!line.startsWith("startup "))
            continue;
        std::map<std::string, double> values;
        for (const QByteArray& item : line.mid(8).split(' ')) {
            const qsizetype eq = item.indexOf('=');
            if (eq > 0)
                values[item.left(eq).toStdString()] = item.mid(eq + 1).toDouble();
        }
        return values;
    }
    return std::nullopt;
}

// Which rows a program reports: the milestones alone, or also the steps between them (QApplication
// built, show() returned).
enum class StartupRows { Milestones, EveryPhase };

// Start-up figures from `runs` separate processes of this program, each started as
// `--startup arguments...`; the rows are named "startup<label>: ...".
inline std::vector<Figure> startupFigures(int runs, const QString& label, const QStringList& arguments,
                                          StartupRows rows)
{
    const QStringList childArguments = QStringList{QStringLiteral("--startup")} + arguments;
    std::map<std::string, std::vector<double>> samples;
    int failures = 0, prompts = 0;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("BENCH_LAUNCH_NS"),
                   QString::number(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                       std::chrono::system_clock::now().time_since_epoch())
                                       .count()));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), childArguments);
        const bool finished = child.waitForFinished(30000);
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        const auto values = readStartupLine(child.readAllStandardOutput());
        if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 || !values) {
            // Qt's chatter on stderr only matters when a run went wrong.
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
    const bool every = rows == StartupRows::EveryPhase;
    std::vector<Figure> out;
    out.push_back(summarise(prefix + "launch -> main", samples["prelaunch"], "exec, dynamic loading"));
    if (every)
        out.push_back(summarise(prefix + "main -> QApplication", samples["application"]));
    out.push_back(summarise(prefix + "main -> forms created", samples["created"]));
    if (every)
        out.push_back(summarise(prefix + "main -> show() returned", samples["shown"]));
    out.push_back(summarise(prefix + "main -> window exposed", samples["exposed"]));
    out.push_back(summarise(prefix + "main -> first paint done", samples["painted"], note));
    out.push_back(summarise(prefix + "launch -> first paint done", samples["total"]));
    return out;
}

// The command line of a bench with start-up rows: [--only-startup] [--startup-runs N], or
// --startup and what follows it for one measured start-up in this process.
struct StartupOptions {
    bool onlyStartup = false;
    int runs = 10;
    // Set when main has nothing more to do: the start-up's code, or after the usage.
    std::optional<int> exitCode;
};

// `startupOnce` gets the arguments after --startup and returns main's code; `usage` is printed
// on --help and on anything it does not know.
template <std::invocable<const QStringList&> StartupOnce>
StartupOptions readStartupOptions(int argc, char** argv, const char* usage, StartupOnce&& startupOnce)
{
    StartupOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--startup") {
            QStringList rest;
            for (int j = i + 1; j < argc; ++j)
                rest << QString::fromLocal8Bit(argv[j]);
            options.exitCode = startupOnce(rest);
            return options;
        }
        if (a == "--only-startup")
            options.onlyStartup = true;
        else if (a == "--startup-runs" && i + 1 < argc)
            options.runs = std::max(1, std::atoi(argv[++i]));
        else {
            std::fputs(usage, stdout);
            options.exitCode = a == "--help" || a == "-h" ? 0 : 2;
            return options;
        }
    }
    return options;
}

} // namespace Bench
