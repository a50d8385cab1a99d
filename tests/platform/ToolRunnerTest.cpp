#include "ToolRunner.h"

#include "FileOps.h"
#include "TempFolder.h"

#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString FakeTool = QStringLiteral(FAKE_PICTURE_TOOL);

// Sets an environment variable for the scope of a test; child processes inherit it.
class Env {
public:
    Env(const char* name, const QString& value) : m_name(name)
    {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        qputenv(name, value.toUtf8());
    }
    ~Env()
    {
        if (m_old)
            qputenv(m_name, *m_old);
        else
            qunsetenv(m_name);
    }
    Env(const Env&) = delete;
    Env& operator=(const Env&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
         + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QStringList logLines(const TempFolder& temp, const QString& name)
{
    QString text = QString::fromUtf8(temp.read(name));
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.split(u'\n');
}

// ---- Waited-for runs ---------------------------------------------------------------------

TEST(ToolRunnerTest, ReturnsTheExitCode)
{
    for (int code : {0, 3, 255}) {
        const Env exit("FAKE_TOOL_EXIT", QString::number(code));
        const ToolRunner::Result r = ToolRunner::runAndWait(FakeTool, {});
        EXPECT_TRUE(r.started) << code;
        EXPECT_EQ(r.exitCode, code);
        EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_FALSE(ToolRunner::isRunning());
    }
}

TEST(ToolRunnerTest, ProgramsThatCannotStartAreReportedAndLeaveNoRunBehind)
{
    TempFolder temp;
    const QString notExecutable = temp.write(u"tool.txt"_s, "not a program");
    for (const QString& program : {temp.file(u"ない.exe"_s), notExecutable, temp.path(), QString()}) {
        const ToolRunner::Result r = ToolRunner::runAndWait(program, {u"a.bmp"_s});
        EXPECT_FALSE(r.started) << program.toStdString();
        EXPECT_TRUE(r.error.contains(u"起動できません"_s)) << r.error.toStdString();
        EXPECT_TRUE(r.error.contains(QDir::toNativeSeparators(program))) << r.error.toStdString();
        EXPECT_FALSE(ToolRunner::isRunning());
        QString error;
        EXPECT_FALSE(ToolRunner::startDetached(program, {}, &error));
        EXPECT_TRUE(error.contains(u"起動できません"_s)) << error.toStdString();
    }
    EXPECT_TRUE(ToolRunner::runAndWait(FakeTool, {}).started);
}

TEST(ToolRunnerTest, CrashIsStartedButFailed)
{
    const ToolRunner::Result r = ToolRunner::runAndWait(u"/bin/sh"_s, {u"-c"_s, u"kill -SEGV $$"_s});
    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_TRUE(r.error.contains(u"異常終了"_s)) << r.error.toStdString();
    EXPECT_FALSE(ToolRunner::isRunning());
}

TEST(ToolRunnerTest, ArgumentsArriveUnchanged)
{
    TempFolder temp;
    const Env log("FAKE_TOOL_LOG", temp.file(u"log.txt"_s));
    const QStringList arguments{u"/画像と音声/マップ画像/東京 駅.bmp"_s, u"TForm2"_s, u"\"quoted\" and 'single'"_s,
                                u"$HOME;*"_s, u""_s, u"ｶﾀｶﾅ～\\"_s};
    const ToolRunner::Result r = ToolRunner::runAndWait(FakeTool, arguments);
    ASSERT_TRUE(r.started) << r.error.toStdString();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(logLines(temp, u"log.txt"_s), arguments);
}

// The wait keeps the program alive: timers fire, a second run is refused, and the thread sleeps
// rather than polls.
TEST(ToolRunnerTest, WaitProcessesEventsRefusesASecondRunAndSleeps)
{
    const Env sleep("FAKE_TOOL_SLEEP_MS", u"600"_s);
    bool timerFired = false, runningInside = false;
    ToolRunner::Result nested;
    nested.started = true;
    QTimer::singleShot(100, [&] {
        timerFired = true;
        runningInside = ToolRunner::isRunning();
        nested = ToolRunner::runAndWait(FakeTool, {});
    });
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);

    EXPECT_FALSE(ToolRunner::isRunning());
    QElapsedTimer wall;
    wall.start();
    const double cpuBefore = cpuSeconds();
    const ToolRunner::Result r = ToolRunner::runAndWait(FakeTool, {});
    const double cpu = cpuSeconds() - cpuBefore;
    const qint64 elapsedMs = wall.elapsed();

    EXPECT_TRUE(r.started);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_GE(elapsedMs, 600);
    EXPECT_TRUE(timerFired);
    EXPECT_TRUE(runningInside);
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(nested.started);
    EXPECT_EQ(nested.error, u"外部ツールを終了して下さい。"_s);
    EXPECT_FALSE(ToolRunner::isRunning());
    // A polling wait would use about as much processor time as the wall clock shows.
    EXPECT_LT(cpu, 0.25 * double(elapsedMs) / 1000.0) << cpu << " s of CPU in " << elapsedMs << " ms";
}

// ---- Detached starts -------------------------------------------------------------------------

TEST(ToolRunnerTest, StartDetachedDoesNotWait)
{
    TempFolder temp;
    const Env log("FAKE_TOOL_LOG", temp.file(u"log.txt"_s));
    const Env sleep("FAKE_TOOL_SLEEP_MS", u"1500"_s);
    QElapsedTimer wall;
    wall.start();
    QString error;
    ASSERT_TRUE(ToolRunner::startDetached(FakeTool, {u"起動"_s}, &error)) << error.toStdString();
    EXPECT_LT(wall.elapsed(), 1000);
    EXPECT_FALSE(ToolRunner::isRunning());
    // The file shows up before its line does.
    while (!temp.read(u"log.txt"_s).endsWith('\n') && wall.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_EQ(logLines(temp, u"log.txt"_s), QStringList{u"起動"_s});
}

// ---- The stand-in picture editor other tests rely on ---------------------------------------

QImage picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    return image;
}

TEST(FakePictureToolTest, ChangeRewritesThePictureInItsFormatAndSize)
{
    for (const char* format : {"bmp", "jpg"}) {
        TempFolder temp;
        const QString path = temp.file(u"map."_s + QLatin1String(format));
        ASSERT_TRUE(picture(33, 21).save(path, format));
        const QImage before(path);
        const FileOps::Stamp stamp = FileOps::stamp(path);
        const Env change("FAKE_TOOL_CHANGE", u"1"_s);
        const ToolRunner::Result r = ToolRunner::runAndWait(FakeTool, {path, u"TForm1"_s});
        ASSERT_EQ(r.exitCode, 0) << format;
        QImageReader reader(path);
        EXPECT_EQ(reader.format(), QByteArray(format == QByteArray("jpg") ? "jpeg" : format));
        const QImage after = reader.read();
        EXPECT_EQ(after.size(), QSize(33, 21));
        EXPECT_NE(after.convertToFormat(QImage::Format_RGB32), before.convertToFormat(QImage::Format_RGB32));
        EXPECT_NE(FileOps::stamp(path), stamp);
    }
}

TEST(FakePictureToolTest, SaveAsLeavesTheOriginal)
{
    TempFolder temp;
    const QString path = temp.file(u"絵.bmp"_s);
    ASSERT_TRUE(picture(8, 8).save(path));
    const QByteArray original = temp.read(path);
    const Env saveAs("FAKE_TOOL_SAVE_AS", temp.file(u"別名.png"_s));
    EXPECT_EQ(ToolRunner::runAndWait(FakeTool, {path}).exitCode, 0);
    EXPECT_EQ(temp.read(path), original);
    EXPECT_EQ(QImageReader(temp.file(u"別名.png"_s)).format(), QByteArray("png"));
}

TEST(FakePictureToolTest, FailedStepsGiveTheirExitCode)
{
    TempFolder temp;
    const QString notPicture = temp.write(u"a.bmp"_s, "BM no picture");
    const struct {
        const char* what;
        const char* variable;
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {"change without picture", "FAKE_TOOL_CHANGE", {}, 90},
        {"change of a broken picture", "FAKE_TOOL_CHANGE", {notPicture}, 91},
        {"notice without class name", "FAKE_TOOL_NOTIFY", {notPicture}, 90},
        {"notice to nobody", "FAKE_TOOL_NOTIFY", {notPicture, u"NoSuchForm"_s}, 93},
    };
    const Env runtime("XDG_RUNTIME_DIR", temp.path().chopped(1));
    for (const auto& c : cases) {
        const Env on(c.variable, u"1"_s);
        const Env exit("FAKE_TOOL_EXIT", u"7"_s);
        EXPECT_EQ(ToolRunner::runAndWait(FakeTool, c.arguments).exitCode, c.exitCode) << c.what;
    }
}

} // namespace
