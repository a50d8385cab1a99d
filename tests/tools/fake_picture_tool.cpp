// Stands in for the picture editor in tests. Called as the map editor calls it:
//   fake_picture_tool "<picture>" ["<caller class name>"]
// and steered by the environment, in this order:
//   FAKE_TOOL_LOG=<file>      appends each argument as a UTF-8 line
//   FAKE_TOOL_CHANGE=1        marks the picture and saves it over itself (same format and size)
//   FAKE_TOOL_SAVE_AS=<path>  saves the marked picture there instead, leaving the original alone
//   FAKE_TOOL_SIZE=<w>x<h>    saves the marked picture at that size instead of its own
//   FAKE_TOOL_OPENED=<path>   with nothing saved, the notice names this file (as after opening it)
//   FAKE_TOOL_NOTIFY=1        sends the saved file's full name to the receiver that atlas named in
//                             the environment, else to the caller class name; with nothing saved,
//                             the picture's name marked as only opened, as after an open
//   FAKE_TOOL_SLEEP_MS=<n>    then stays alive that long
//   FAKE_TOOL_WAIT_FOR=<file> then stays alive until that file exists (a test's go-ahead)
//   FAKE_TOOL_CRASH=1         then dies of a signal, as a program that crashed
//   FAKE_TOOL_EXIT=<code>     exit code when everything asked for worked (default 0)
// A step that fails prints why on stderr and ends the program with 90 (bad arguments),
// 91 (picture not read), 92 (picture not saved), 93 (notice not delivered) or 94 (no go-ahead
// within a minute).
#include "SavedPictureNotice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <csignal>
#include <cstdio>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

enum Failure { BadArguments = 90, NotRead = 91, NotSaved = 92, NotDelivered = 93, NoGoAhead = 94 };

int fail(Failure code, const QString& message)
{
    std::fprintf(stderr, "fake_picture_tool: %s\n", qUtf8Printable(message));
    return code;
}

bool logArguments(const QString& logFile, const QStringList& arguments)
{
    QFile log(logFile);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    for (const QString& argument : arguments)
        log.write(argument.toUtf8() + '\n');
    return true;
}

// Inverts a square in the middle: whatever the picture held there, it differs afterwards.
void mark(QImage& image)
{
    if (image.colorCount() > 0 || image.depth() < 24)
        image = image.convertToFormat(QImage::Format_RGB32);
    const int side = std::max(1, std::min({8, image.width(), image.height()}));
    const int left = (image.width() - side) / 2, top = (image.height() - side) / 2;
    for (int y = top; y < top + side; ++y)
        for (int x = left; x < left + side; ++x)
            image.setPixel(x, y, image.pixel(x, y) ^ 0x00FFFFFFu);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    const QString picture = arguments.value(0);
    const QString className = arguments.value(1);

    const QString logFile = qEnvironmentVariable("FAKE_TOOL_LOG");
    if (!logFile.isEmpty() && !logArguments(logFile, arguments))
        return fail(BadArguments, u"cannot append to "_s + logFile);

    const QString saveAs = qEnvironmentVariable("FAKE_TOOL_SAVE_AS");
    QString saved;
    if (qEnvironmentVariableIntValue("FAKE_TOOL_CHANGE") == 1 || !saveAs.isEmpty()) {
        if (picture.isEmpty())
            return fail(BadArguments, u"no picture to change"_s);
        QImageReader reader(picture);
        const QByteArray format = reader.format();
        QImage image = reader.read();
        if (image.isNull())
            return fail(NotRead, picture + u": "_s + reader.errorString());
        mark(image);
        const QStringList size = qEnvironmentVariable("FAKE_TOOL_SIZE").split(u'x');
        if (size.size() == 2)
            image = image.scaled(size[0].toInt(), size[1].toInt());
        const QString target = saveAs.isEmpty() ? picture : saveAs;
        // The copy takes its own extension's format; the picture itself keeps the one it had.
        const bool written = saveAs.isEmpty() ? image.save(target, format.constData()) : image.save(target);
        if (!written)
            return fail(NotSaved, u"cannot save "_s + target);
        saved = target;
    }

    if (qEnvironmentVariableIntValue("FAKE_TOOL_NOTIFY") == 1) {
        const QString opened = qEnvironmentVariable("FAKE_TOOL_OPENED");
        const QString name = !saved.isEmpty() ? saved : !opened.isEmpty() ? opened : picture;
        const QString receiver = SavedPictureNotice::receiverFromEnvironment();
        if (name.isEmpty() || (className.isEmpty() && receiver.isEmpty()))
            return fail(BadArguments, u"a notice needs the picture and a receiver or the class name"_s);
        QString error;
        const auto notice = saved.isEmpty() ? SavedPictureNotice::Notice::Opened : SavedPictureNotice::Notice::Saved;
        if (!SavedPictureNotice::sendToCaller(receiver, className, QFileInfo(name).absoluteFilePath(), 5000, &error,
                                              notice))
            return fail(NotDelivered, error);
    }

    const int sleepMs = qEnvironmentVariableIntValue("FAKE_TOOL_SLEEP_MS");
    if (sleepMs > 0)
        QThread::msleep(sleepMs);

    const QString goAhead = qEnvironmentVariable("FAKE_TOOL_WAIT_FOR");
    if (!goAhead.isEmpty()) {
        // A test that failed before giving the go-ahead must not leave the tool behind for ever.
        QDeadlineTimer limit(60000);
        while (!QFileInfo::exists(goAhead)) {
            if (limit.hasExpired())
                return fail(NoGoAhead, u"no "_s + goAhead);
            QThread::msleep(10);
        }
    }

    // Killed, so that no core is left behind.
    if (qEnvironmentVariableIntValue("FAKE_TOOL_CRASH") == 1)
        ::kill(::getpid(), SIGKILL);

    return qEnvironmentVariableIntValue("FAKE_TOOL_EXIT");
}
