#pragma once

#include <QString>
#include <QStringList>

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

// Starts the program and returns when it has ended; events are processed meanwhile (without
// burning a core). Refused (started false) while another run is waited for.
Result runAndWait(const QString& program, const QStringList& arguments);

// Whether a run is being waited for.
bool isRunning();

} // namespace ToolRunner
