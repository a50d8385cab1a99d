// How long the hand-back of a saved picture's name takes between two processes, and reading and
// writing the settings file with a long tool list. Prints figures only; the targets live in
// README.md.
#include "BenchHarness.h"
#include "ProfileFile.h"
#include "SavedPictureNotice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

// A name as the picture editor sends it: a full path with Japanese folder names.
const QString SampleName = u"/home/user/地図エディタ/画像と音声/マップ画像/東京湾岸/旅行地12.bmp"_s;
const QString Options = u"編集操作"_s;
const QString Tools = u"外部ツール"_s;
constexpr int ToolCount = 50;

// ---- The sending side (a second process) ---------------------------------------------------

// bench_notice --send <class name> <count>: sends the sample name count times, one line of
// milliseconds per send on stdout ("FAIL <message>" when one fails).
int sendMode(const QString& className, int count)
{
    for (int i = 0; i < count; ++i) {
        QString error;
        const Clock::time_point t0 = Clock::now();
        const bool sent = SavedPictureNotice::send(className, SampleName, 5000, &error);
        const double ms = msSince(t0);
        if (!sent) {
            std::printf("FAIL %s\n", qUtf8Printable(error));
            return 1;
        }
        std::printf("%.6f\n", ms);
    }
    return 0;
}

// ---- The receiving side --------------------------------------------------------------------

QString benchClassName()
{
    // Not a real form's name: a map editor running meanwhile keeps its notices.
    return u"BenchForm%1"_s.arg(QCoreApplication::applicationPid());
}

QProcess* startSender(QObject* parent, int count)
{
    auto* process = new QProcess(parent);
    process->setProgram(QCoreApplication::applicationFilePath());
    process->setArguments({u"--send"_s, benchClassName(), QString::number(count)});
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->start();
    return process;
}

void waitFor(QProcess* process)
{
    QEventLoop loop;
    QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    if (process->state() != QProcess::NotRunning)
        loop.exec();
}

std::vector<Figure> benchNotice()
{
    std::vector<Figure> out;
    SavedPictureNotice::Receiver receiver(benchClassName());
    if (!receiver.isListening()) {
        std::fprintf(stderr, "the receiver does not listen\n");
        return out;
    }
    int received = 0, wrongNames = 0;
    QObject::connect(&receiver, &SavedPictureNotice::Receiver::received, [&](const QString& name) {
        ++received;
        wrongNames += name != SampleName;
    });

    // Send start to answer, timed by the sender; one warm-up.
    constexpr int Runs = 50;
    QProcess* sender = startSender(nullptr, Runs + 1);
    waitFor(sender);
    std::vector<double> samples;
    std::string note;
    for (const QByteArray& line : sender->readAllStandardOutput().split('\n')) {
        if (line.startsWith("FAIL"))
            note = "FAILED: " + line.toStdString();
        else if (!line.isEmpty())
            samples.push_back(line.toDouble());
    }
    delete sender;
    if (!samples.empty())
        samples.erase(samples.begin());
    if (received != Runs + 1 || wrongNames)
        note += " RECEIVED " + std::to_string(received) + " (" + std::to_string(wrongNames) + " wrong)";
    out.push_back(summarise("SavedPictureNotice::send round trip", samples, note));

    // From starting a sender process to the name in the receiver: what a tool's first notice costs.
    std::vector<double> launches;
    bool lost = false;
    for (int i = 0; i < 21 && !lost; ++i) {
        const int before = received;
        QEventLoop loop;
        const auto connection = QObject::connect(&receiver, &SavedPictureNotice::Receiver::received, &loop,
                                                 &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        const Clock::time_point t0 = Clock::now();
        QProcess* process = startSender(nullptr, 1);
        loop.exec();
        const double ms = msSince(t0);
        QObject::disconnect(connection);
        waitFor(process);
        delete process;
        lost = received != before + 1;
        // The first start loads the program from disk; it counts as the warm-up.
        if (i > 0 && !lost)
            launches.push_back(ms);
    }
    out.push_back(summarise("sender process start -> name received", launches, lost ? "LOST NOTICES" : ""));
    return out;
}

// ---- Settings file -------------------------------------------------------------------------

struct Tool {
    QString caption, path;
};

std::vector<Tool> sampleTools()
{
    std::vector<Tool> tools;
    for (int i = 0; i < ToolCount; ++i)
        tools.push_back({u"画像編集ツール%1"_s.arg(i + 1),
                         u"/home/user/アプリケーション/ツール集/tool%1/bin/picture-editor-%1"_s.arg(i + 1)});
    return tools;
}

// What the map editor's close does: options in place, the tool section rebuilt, the file written.
bool saveSettings(const QString& path, const std::vector<Tool>& tools)
{
    ProfileFile file(path);
    if (!file.load())
        return false;
    file.writeString(Options, u"変換文字"_s, u"、。「」"_s);
    file.writeString(Options, u"変換条件"_s, u"3"_s);
    file.writeString(Options, u"置換条件"_s, u"1"_s);
    file.writeString(Options, u"検索条件"_s, u"1"_s);
    file.eraseSection(Tools);
    for (const Tool& t : tools)
        file.writeString(Tools, t.caption, t.path);
    return file.save();
}

std::vector<Figure> benchSettings()
{
    std::vector<Figure> out;
    QTemporaryDir folder;
    const QString path = folder.filePath(u"設定ファイル.ini"_s);
    const std::vector<Tool> tools = sampleTools();
    if (!saveSettings(path, tools)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return out;
    }
    const qint64 size = QFileInfo(path).size();

    int wrong = 0;
    out.push_back(measure(
        "ProfileFile load + read (4 options, 50 tools)",
        [&] {
            ProfileFile file(path);
            file.load();
            int sum = file.readInteger(Options, u"変換条件"_s, 0) + file.readInteger(Options, u"置換条件"_s, 1)
                    + file.readInteger(Options, u"検索条件"_s, 1);
            sum += int(file.readString(Options, u"変換文字"_s, QString()).size());
            const QStringList keys = file.keys(Tools);
            for (const QString& key : keys)
                sum += int(file.readString(Tools, key, QString()).size());
            wrong += keys.size() != ToolCount || sum == 0;
        },
        std::to_string(size) + " bytes"));
    if (wrong)
        out.back().note += " WRONG CONTENT";

    bool failed = false;
    out.push_back(measure("ProfileFile load + writeString (54 keys) + save", [&] { failed |= !saveSettings(path, tools); },
                          "through a temporary file"));
    if (failed)
        out.back().note += " SAVE FAILED";
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == u"--send"_s)
        return sendMode(arguments[2], arguments[3].toInt());

    std::vector<Figure> figures = benchNotice();
    for (Figure& f : benchSettings())
        figures.push_back(std::move(f));
    printTable(figures);
    return 0;
}
