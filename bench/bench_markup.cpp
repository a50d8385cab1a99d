// How long the mark-up edit control takes for what a description editor waits on: loading a long
// description, and turning byte offsets (caret, spans, search results) into document positions
// and back. Prints figures only; the targets live in README.md.
#include "BenchHarness.h"
#include "Cp932.h"
#include "MyRichEdit.h"
#include "PositionMap.h"
#include "ScriptedPrompter.h"

#include <QApplication>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace Qt::StringLiterals;
using namespace Bench;

namespace {

// ---- The sample description ----------------------------------------------------------------

const QString Pieces[] = {
    u"この町は古くから港町として栄え、江戸時代には北前船の寄港地でした。"_s,
    u"毎年8月には\"みなと祭り\"が開かれ、約12,000人が訪れます。"_s,
    u"Population: 123,456 (2020). The old harbour is 2.5 km from the station. "_s,
    u"<r>赤い文字</r>で強調し、{*作者のメモ*}は表示されません。"_s,
    u"[必答] 次の問いに答えなさい：この町の名前は？ "_s,
    u"ｶﾀｶﾅの看板も多く、English signs are common near the \"new\" pier. "_s,
    u"駅前の商店街には100年以上続く老舗が並び、朝市は午前6時から始まります。"_s,
};

// 64 KB of code page 932 with CR LF line breaks, in about 200 lines of about 320 bytes.
QString sampleDescription()
{
    QString text, line;
    qsizetype textBytes = 0, lineBytes = 0;
    const int n = int(std::size(Pieces));
    for (int i = 0; textBytes + lineBytes < 65536; ++i) {
        const QString& piece = Pieces[(i * 3) % n];
        line += piece;
        lineBytes += Cp932::byteLength(piece);
        if (lineBytes >= 300) {
            text += line + u"\r\n"_s;
            textBytes += lineBytes + 2;
            line.clear();
            lineBytes = 0;
        }
    }
    return text + line;
}

// ---- Benchmarks ----------------------------------------------------------------------------

std::vector<Figure> benchControl()
{
    std::vector<Figure> out;
    const QString description = sampleDescription();
    const std::string size = std::to_string(Cp932::byteLength(description)) + " bytes, "
                             + std::to_string(description.count(u"\r\n"_s) + 1) + " lines";

    ScriptedPrompter prompter; // a refusal would mean the sample is not what it claims
    TMyRichEdit edit;
    edit.resize(640, 480);
    edit.show();
    QCoreApplication::processEvents();

    // Loading: SetText plus the first mapping, which builds the position map.
    bool same = true;
    Figure load = measure("TMyRichEdit::SetText + TextLength (64 KB)", [&] {
        edit.SetText(description);
        same &= edit.TextLength() == Cp932::byteLength(description);
    }, [] { QCoreApplication::processEvents(); });
    load.note = size + (same && prompter.asked.empty() ? "" : ", TEXT DIFFERS");
    out.push_back(load);

    out.push_back(measure("TMyRichEdit::SetText + repaint (64 KB)", [&] {
        edit.SetText(description);
        edit.viewport()->repaint();
    }));

    // 10,000 random offsets, each to a document position and back, through the control.
    std::mt19937 random(64);
    const int bytes = edit.TextLength();
    std::vector<int> offsets(10000);
    for (int& o : offsets)
        o = int(random() % unsigned(bytes + 1));
    long long sink = 0;
    bool roundTrips = true;
    Figure mapping = measure("byte -> document -> byte (10,000 offsets)", [&] {
        for (const int o : offsets) {
            const int back = edit.byteOffset(edit.documentPosition(o));
            roundTrips &= back <= o && back >= o - 1; // only the trail byte of a kanji or LF snaps
            sink += back;
        }
    });
    const double perMapping = mapping.medianMs / (2.0 * double(offsets.size()));
    mapping.note = formatTime(perMapping) + " per mapping" + (roundTrips ? "" : ", WRONG OFFSETS");
    out.push_back(mapping);

    const QString plain = edit.toPlainText();
    PositionMap map;
    out.push_back(measure("PositionMap::reset (64 KB)", [&] {
        map.reset(plain);
        sink += map.byteLength();
    }));

    // A character typed in the middle, then the caret in bytes: the edit makes the map stale, so
    // this includes a rebuild. The character is taken out again between runs (not timed).
    const int middle = edit.LineIndex(edit.LineCount() / 2) + 10;
    edit.setSelStart(middle);
    out.push_back(measure("typed character + SelStart (64 KB)", [&] {
        edit.setSelText(u"あ"_s);
        sink += edit.SelStart();
    }, [&] {
        edit.setSelStart(middle);
        edit.setSelLength(2);
        edit.setSelText(QString());
    }));

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
    printTable(benchControl());
    return 0;
}
