#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

// Starting external tools: detached, or started and waited for while the event loop keeps the
// program responsive. One waited-for run at a time.
namespace ToolRunner {

// Starts a program without waiting; false with *error when it cannot be started.
bool startDetached(const QString& program, const QStringList& arguments, QString* error = nullptr);

struct Result {
    bool started = false;
    int exitCode = -1;
    QString error;
};

// Changes to the environment a tool inherits: each name is set to its value, or removed when the
// value is empty.
using Environment = QList<std::pair<QString, QString>>;

// Starts the program and returns when it has ended; events are processed meanwhile (without
// burning a core). Refused (started false) while another tool runs. A window opened during the
// wait holds the return up until it closes; started is given the tool's process id as soon as it
// has one, before any event of the wait, and ended is called as soon as the tool has ended. A tool
// that crashed comes back started, with an error saying so ("外部ツール … が異常終了しました。").
Result runAndWait(const QString& program, const QStringList& arguments, const std::function<void()>& ended = {},
                  const Environment& environment = {}, const std::function<void(qint64 pid)>& started = {});

// Whether a tool started by runAndWait is running. False again once it has ended, also while a
// window opened during the wait still holds the return up, so that window can close.
bool isRunning();

} // namespace ToolRunner
