// Looks for a button label on a screenshot, for end-to-end tests that cannot read text off the
// screen:
//   find_button_text <screenshot.png> <words> [<template.png> [<pixel size> [<family>]]]
// It draws the words the way a push button of this display draws its label (run it on the same X
// server and platform as the program under test: same font, size, hinting and colours), in the
// given pixel size and family where a form sets its own font, then slides that picture over the
// screenshot and prints the best normalised cross-correlation as "<score> <x> <y>" (1 is a perfect
// match; the words' top-left corner). The drawn words are kept in <template.png> when given (an
// empty name keeps none). Exit 0 after printing, 2 on bad arguments or files.
#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPushButton>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Grey levels, row by row.
std::vector<double> grey(const QImage& image)
{
    std::vector<double> out;
    out.reserve(size_t(image.width()) * size_t(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            out.push_back(qGray(image.pixel(x, y)));
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    if (args.size() < 3 || args.size() > 6) {
        std::fprintf(stderr, "usage: find_button_text <screenshot.png> <words> [<template.png> [<pixel size> "
                             "[<family>]]]\n");
        return 2;
    }
    const QImage shot = QImage(args[1]).convertToFormat(QImage::Format_RGB32);
    if (shot.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
        return 2;
    }

    // A real button, polished by the style, gives the font and palette the label is drawn in.
    QPushButton button;
    button.ensurePolished();
    QFont font = button.font();
    if (args.size() >= 5) {
        bool ok = false;
        const int pixels = args[4].toInt(&ok);
        if (!ok || pixels <= 0) {
            std::fprintf(stderr, "bad pixel size %s\n", qPrintable(args[4]));
            return 2;
        }
        font.setPixelSize(pixels);
    }
    if (args.size() == 6)
        font.setFamilies({args[5]});
    const QFontMetrics metrics(font);
    const QString& words = args[2];
    QImage drawn(metrics.horizontalAdvance(words), metrics.height(), QImage::Format_RGB32);
    drawn.fill(button.palette().color(QPalette::Button));
    QPainter painter(&drawn);
    painter.setFont(font);
    painter.setPen(button.palette().color(QPalette::ButtonText));
    painter.drawText(0, metrics.ascent(), words);
    painter.end();
    if (args.size() >= 4 && !args[3].isEmpty() && !drawn.save(args[3], "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[3]));
        return 2;
    }
    if (drawn.width() > shot.width() || drawn.height() > shot.height()) {
        std::printf("0 0 0\n");
        return 0;
    }

    const int tw = drawn.width(), th = drawn.height(), sw = shot.width();
    const std::vector<double> t = grey(drawn), s = grey(shot);
    const double n = double(tw) * th;
    double tMean = 0;
    for (double v : t)
        tMean += v;
    tMean /= n;
    double tVar = 0;
    for (double v : t)
        tVar += (v - tMean) * (v - tMean);

    double best = 0;
    int bestX = 0, bestY = 0;
    for (int y = 0; y + th <= shot.height(); ++y)
        for (int x = 0; x + tw <= sw; ++x) {
            double sum = 0, sumSq = 0, cross = 0;
            for (int j = 0; j < th; ++j) {
                const double* row = &s[size_t(y + j) * sw + x];
                const double* trow = &t[size_t(j) * tw];
                for (int i = 0; i < tw; ++i) {
                    sum += row[i];
                    sumSq += row[i] * row[i];
                    cross += row[i] * (trow[i] - tMean);
                }
            }
            const double sVar = sumSq - sum * sum / n;
            // A flat patch matches nothing.
            if (sVar <= 1e-9 || tVar <= 1e-9)
                continue;
            const double score = cross / std::sqrt(sVar * tVar);
            if (score > best) {
                best = score;
                bestX = x;
                bestY = y;
            }
        }
    std::printf("%.4f %d %d\n", best, bestX, bestY);
    return 0;
}
