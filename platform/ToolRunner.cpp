#include "ToolRunner.h"

#include <QDir>
#include <QEventLoop>
#include <QProcess>

#include <atomic>

using namespace Qt::StringLiterals;

namespace ToolRunner {

namespace {

std::atomic<bool> g_running{false};

// Cleared when the tool ends and on every way out of the wait, early returns and exceptions
// included.
class RunningFlag {
public:
    explicit RunningFlag(const std::function<void()>& ended)
        : m_ended(ended)
    {
        g_running = true;
    }
    ~RunningFlag() { clear(); }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

    void clear()
    {
        if (m_cleared)
            return;
        m_cleared = true;
        g_running = false;
        if (m_ended)
            m_ended();
    }

private:
    std::function<void()> m_ended;
    bool m_cleared = false;
};

QString cannotStart(const QString& program, const QString& reason)
{
    return u"外部ツール \"%1\" を起動できません。(%2)"_s.arg(QDir::toNativeSeparators(program), reason);
}

} // namespace

bool startDetached(const QString& program, const QStringList& arguments, QString* error)
{
    if (program.isEmpty()) {
        if (error)
            *error = cannotStart(program, u"プログラム名がありません"_s);
        return false;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (process.startDetached())
        return true;
    if (error)
        *error = cannotStart(program, process.errorString());
    return false;
}

Result runAndWait(const QString& program, const QStringList& arguments, const std::function<void()>& ended,
                  const Environment& environment, const std::function<void(qint64 pid)>& started)
{
    Result result;
    if (g_running) {
        result.error = u"外部ツールを終了して下さい。"_s;
        return result;
    }
    if (program.isEmpty()) {
        result.error = cannotStart(program, u"プログラム名がありません"_s);
        return result;
    }
    RunningFlag running(ended);

    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    // The tool talks to the user, not to us: its output goes where ours goes and nothing piles up
    // in buffers; it reads no input.
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    if (!environment.isEmpty()) {
        QProcessEnvironment changed = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, value] : environment) {
            if (value.isEmpty())
                changed.remove(name);
            else
                changed.insert(name, value);
        }
        process.setProcessEnvironment(changed);
    }

    QEventLoop loop;
    bool failedToStart = false;
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        running.clear();
        loop.quit();
    });
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) {
            failedToStart = true;
            running.clear();
            loop.quit();
        }
    });
    process.start();
    // The child exists once start returns; whatever it sends can only be read in the loop below.
    if (started && process.state() != QProcess::NotRunning && process.processId() > 0)
        started(process.processId());
    // Checked before exec: a quit before exec would be lost. The loop sleeps in the event
    // dispatcher until the child's end (or anything else) wakes it.
    while (!failedToStart && process.state() != QProcess::NotRunning) {
        loop.exec();
        if (failedToStart || process.state() == QProcess::NotRunning)
            break;
        // Every loop of the thread is told to leave when the application quits, and the loop will
        // not run again. Killing the tool could lose the user's picture, so it is left to end.
        process.waitForFinished(-1);
    }

    if (failedToStart) {
        result.error = cannotStart(program, process.errorString());
        return result;
    }
    result.started = true;
    if (process.exitStatus() == QProcess::CrashExit) {
        result.error = u"外部ツール \"%1\" が異常終了しました。"_s.arg(QDir::toNativeSeparators(program));
        return result;
    }
    result.exitCode = process.exitCode();
    return result;
}

bool isRunning()
{
    return g_running;
}

} // namespace ToolRunner
