// How long the mark-up edit control takes for what a description editor waits on: loading a long
// description, turning byte offsets (caret, spans, search results) into document positions and
// back, colouring, the undo step of a typed character, the numbering gutter, and the memory of a
// full undo ring. Prints figures only; the targets live in README.md.
#include "BenchHarness.h"
#include "Cp932.h"
#include "FindDialog.h"
#include "HenkanJ.h"
#include "MyRichEdit.h"
#include "PositionMap.h"
#include "ProcessUsage.h"
#include "ScriptedPrompter.h"
#include "TextSearch.h"
#include "UnitEditText.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
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

    // Opening the description window as the destination editor does: the text in, the caret,
    // a fresh undo base, the window shown and painted. Closed again between runs (not timed).
    TFormEditText window;
    window.SetHost({});
    out.push_back(measure(
        "TFormEditText opened with a 64 KB description",
        [&] {
            TMyRichEdit& editor = *window.MyRichEdit1;
            editor.SetText(description);
            editor.setSelStart(0);
            editor.ScrollCaret();
            editor.ResetTextUndo();
            editor.setModified(false);
            window.FormShow();
            window.show();
            window.repaint();
        },
        [&] {
            window.btOKClick();
            QCoreApplication::processEvents();
        }));

    if (sink == 42)
        std::printf(" ");
    return out;
}

// 64 KB of quiz text as dense in mark-up as a question list gets: every line holds function and
// answer brackets, a picture, a nested calculation and a comment.
QString denseMarkup()
{
    const QString line = u"[{必答}]この町の名前は？{RND,1,10}{PIC,town.bmp}[{順不同,2}港町,宿場町]{CAL,{RND,1,6},2}"
                         u"\"a,b\"{foo,1,2}{* メモ *}[[[x]]]\r\n"_s;
    QString text;
    while (Cp932::byteLength(text) + Cp932::byteLength(line) <= 65536)
        text += line;
    return text;
}

// Resident memory in KB, from the kernel's view of this process.
long residentKb()
{
    return ProcessUsage::statusKiB("VmRSS:");
}

void sendKey(QWidget* to, int key, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(to, &release);
}

std::vector<Figure> benchMarkup()
{
    std::vector<Figure> out;
    long long sink = 0;
    const QString dense = denseMarkup();
    const std::string size = std::to_string(Cp932::byteLength(dense)) + " bytes";

    ScriptedPrompter prompter;
    TMyRichEdit edit;
    edit.resize(640, 480);
    edit.show();
    edit.ShowStrColor = true;
    edit.SetText(dense);
    QCoreApplication::processEvents();
    // From plain text each time, as after a width conversion. Goal: under 10 ms.
    Figure all = measure(
        "RecolourAll (64 KB dense mark-up)",
        [&] {
            edit.RecolourAll();
            sink += edit.FunctionSpans.Count() + edit.ErrorSpans.Count();
        },
        [&] { edit.SetText(dense); });
    all.note = size + ", "
               + std::to_string((edit.FunctionSpans.Count() + edit.AnswerSpans.Count() + edit.ErrorSpans.Count()) / 2)
               + " spans, every colour black as in the program";
    out.push_back(all);

    // The same with the three kinds in three colours: answer and function brackets are no longer
    // one run where they touch.
    edit.StrColor().Color2 = ColourText::clNavy;
    edit.StrColor().Color3 = ColourText::clRed;
    edit.StrColor().Color4 = ColourText::clBlue;
    out.push_back(measure(
        "RecolourAll (64 KB dense mark-up, three colours)", [&] { edit.RecolourAll(); }, [&] { edit.SetText(dense); }));
    edit.StrColor().Color2 = edit.StrColor().Color3 = edit.StrColor().Color4 = ColourText::clBlack;
    edit.SetText(dense);
    out.push_back(measure(
        "RecolourAll + repaint (64 KB dense mark-up)",
        [&] {
            edit.RecolourAll();
            edit.viewport()->repaint();
        },
        [&] { edit.SetText(dense); }));

    // A character typed in the middle of the text after a caret key: the step is compared (and its
    // snapshot taken), the character goes in and the caret line is recoloured on key up.
    const int middle = edit.LineIndex(edit.LineCount() / 2) + 20;
    edit.setSelStart(middle);
    out.push_back(measure(
        "typed character: step + key up recolour (64 KB)",
        [&] {
            sendKey(&edit, Qt::Key_X, u"x"_s);
            sink += edit.SelStart();
        },
        [&] {
            edit.setSelStart(middle);
            edit.setSelLength(1);
            edit.setSelText(QString());
            sendKey(&edit, Qt::Key_End);
            edit.setSelStart(middle);
        }));

    // The first key of another kind after an edit: the new state's snapshot is taken whole.
    out.push_back(measure(
        "Return after typing: new step + recolour (64 KB)",
        [&] {
            sendKey(&edit, Qt::Key_Return);
            sink += edit.SelStart();
        },
        [&] {
            edit.setSelStart(middle);
            edit.setSelLength(2);
            edit.setSelText(QString());
            sendKey(&edit, Qt::Key_X, u"x"_s);
        }));

    // 2,000 lines of questions, answers, pictures and sounds.
    QString lines;
    for (int i = 0; i < 2000; ++i)
        lines += (i % 7 == 6 ? u"// メモ\r\n"_s : u"問題%1 の文です。答えは [ここ] です。\r\n"_s.arg(i));
    TMyRichEdit gutter;
    gutter.resize(640, 480);
    gutter.show();
    gutter.SetText(lines);
    gutter.setNumbering(true);
    QCoreApplication::processEvents();
    // A line typed in the middle between runs (untimed), so that each drawing has a line to read.
    const int gutterMiddle = gutter.LineIndex(1001);
    const auto touchLine = [&] {
        gutter.setSelStart(gutterMiddle);
        gutter.setSelText(u"問題"_s);
    };
    Figure draw = measure(
        "DrawNumbering after a changed line (2,000 lines)",
        [&] {
            gutter.DrawNumbering();
            sink += gutter.NumberedBlockCount();
        },
        touchLine);
    draw.note = std::to_string(gutter.NumberedBlockCount()) + " blocks";
    out.push_back(draw);
    Figure whole = measure(
        "DrawNumbering + NumberingBmp (2,000 lines)",
        [&] {
            gutter.DrawNumbering();
            sink += gutter.NumberingBmp().height();
        },
        touchLine);
    whole.note = "picture " + std::to_string(gutter.NumberingBmp().width()) + " x "
                 + std::to_string(gutter.NumberingBmp().height());
    out.push_back(whole);
    out.push_back(measure(
        "DrawNumbering + NumberingBmpRows (2,000 lines)",
        [&] {
            gutter.DrawNumbering();
            sink += gutter.NumberingBmpRows(17000, gutter.viewport()->height()).height();
        },
        touchLine));

    // A full ring: every slot a different coloured 64 KB state.
    TMyRichEdit ring;
    ring.resize(640, 480);
    ring.show();
    ring.ShowStrColor = true;
    ring.SetText(dense);
    ring.RecolourAll();
    ring.ResetTextUndo();
    QCoreApplication::processEvents();
    const long before = residentKb();
    for (int i = 0; i < ring.UndoMax(); ++i) {
        ring.setSelStart(ring.LineIndex(i) + 3);
        sendKey(&ring, Qt::Key_X, u"x"_s);
        sendKey(&ring, Qt::Key_End);
    }
    const long after = residentKb();
    // The states share pieces of text and their format lists: each counted once.
    qsizetype bytes = 0;
    size_t runs = 0;
    std::set<const void*> seen;
    for (qint64 p = ring.textUndo().first(); p <= ring.textUndo().last(); ++p) {
        const TRichUndoMemory& state = ring.textUndo().at(p);
        for (size_t k = 0; k < state.text.pieceCount(); ++k) {
            const int end = k + 1 < state.text.pieceCount() ? state.text.pieceStart(k + 1) : state.text.documentLength();
            if (seen.insert(state.text.pieceId(k)).second)
                bytes += (end - state.text.pieceStart(k)) * 2;
            if (seen.insert(state.formats[k].get()).second)
                runs += state.formats[k]->size();
        }
    }
    bytes += qsizetype(runs * sizeof(TRichUndoMemory::FormatRun));
    Figure memory = summarise("full undo ring (" + std::to_string(ring.UndoMax()) + " slots of 64 KB)", {0.0});
    memory.note = std::to_string(bytes / 1024) + " KB of texts and format runs (" + std::to_string(runs)
                  + " runs); resident memory grew " + std::to_string(after - before) + " KB";
    out.push_back(memory);

    if (sink == 42)
        std::printf(" ");
    return out;
}

using ProcessUsage::cpuMs;

// As Bench::measure, in processor time.
template <class Body, class Between>
Figure measureCpu(std::string name, Body&& body, Between&& between, int minRuns = 10, int maxRuns = 200)
{
    body();
    between();
    std::vector<double> samples;
    const double start = cpuMs();
    while (int(samples.size()) < minRuns || (int(samples.size()) < maxRuns && cpuMs() - start < 500)) {
        const double t0 = cpuMs();
        body();
        samples.push_back(cpuMs() - t0);
        between();
    }
    return summarise(std::move(name), std::move(samples));
}

// A scratch page set up as TFormRefPage does (colours and gutter on), holding `text`, shown with
// the caret at the byte offset, focused in an active window so that its caret blinks.
std::unique_ptr<TMyRichEdit> scratchPage(const QString& text, int caret)
{
    auto page = std::make_unique<TMyRichEdit>();
    page->resize(761, 500);
    page->setIndentLeft(12);
    page->ShowStrColor = true;
    page->setNumbering(true);
    page->setUndoMax(22); // as the window's editor gives it
    page->SetText(text);
    page->show();
    page->activateWindow();
    page->setFocus();
    page->setSelStart(caret);
    page->ScrollCaret();
    page->ResetTextUndo();
    QCoreApplication::processEvents();
    return page;
}

// `lines` lines of questions in blocks of five, every seventh a comment.
QString questionLines(int lines)
{
    QString text;
    for (int i = 0; i < lines; ++i)
        text += (i % 7 == 6 ? u"// メモ\r\n"_s : u"問題%1 の{必答}文です。答えは [ここ] です。\r\n"_s.arg(i));
    return text;
}

std::unique_ptr<TMyRichEdit> scratchPage(int lines)
{
    const QString text = questionLines(lines);
    auto page = scratchPage(text, 0);
    page->setSelStart(page->LineIndex(lines / 2) + 4);
    page->ScrollCaret();
    page->ResetTextUndo();
    QCoreApplication::processEvents();
    return page;
}

std::string times(double ms, double against)
{
    return "x" + std::to_string(ms / against).substr(0, 4);
}

// What one typed character costs in a long scratch page against a short one: the key's step, the
// insertion, the caret line's recolour and the gutter on key up, and the repaint the event loop
// then does. The character is taken out again between runs (not timed). Goal: the 40,000-line
// page no more than twice the 200-line one, and resident memory up by under 10 MB over 100 keys.
// Then keys that each start a step ("x" and Return in turn), undo and redo, in processor time:
// goal again no more than twice the 200-line page, and under 10 MB over 100 such keys. Last, a
// page holding the same text as one line of 1 MB: a key under 50 ms, and no processor while idle.
//
// Processor time (RelWithDebInfo, offscreen, on the shared 8-core machine at load 20 to 30), before
// and after snapshots shared the pieces of text and formats that did not change and undo put back
// only what differs; and before and after long lines were laid out in parts:
//   row                                        before                  after
//   key starting a step, 40000 lines           50.6 ms (x27.3)         3.6 ms (x1.13)
//   undo / redo, 40000 lines                   93 / 89 ms (x21, x17)   3.3 / 3.5 ms (x0.58, x0.56)
//   100 keys starting steps, resident memory   +29 MB                  +0.1 MB
//   typed character, one 1 MB line             331 ms                  14.6 ms
//   key starting a step, one 1 MB line         276 ms                  47 ms (22 ms at best)
//   idle 2 s, one 1 MB line                    61 ms                   6 ms
std::vector<Figure> benchLongPage()
{
    std::vector<Figure> out;
    ScriptedPrompter prompter;
    long long sink = 0;
    double shortMs = 0, shortStep = 0, shortUndo = 0, shortRedo = 0;
    for (const int lines : {200, 40000}) {
        const std::unique_ptr<TMyRichEdit> page = scratchPage(lines);
        const int caret = page->SelStart();
        sendKey(page.get(), Qt::Key_X, u"x"_s);
        Figure typed = measure(
            "typed character, " + std::to_string(lines) + "-line page",
            [&] {
                sendKey(page.get(), Qt::Key_X, u"x"_s);
                QCoreApplication::processEvents();
                sink += page->NumberedBlockCount();
            },
            [&] {
                page->setSelStart(caret);
                page->setSelLength(1);
                page->setSelText(QString());
            });
        if (lines == 200)
            shortMs = typed.medianMs;
        else
            typed.note = times(typed.medianMs, shortMs) + " the 200-line page";
        out.push_back(typed);

        // The modified test after an edit that keeps the length, as the tab's mark asks it at each change.
        page->setSelStart(caret);
        bool other = false;
        Figure modified = measureCpu(
            "modified test after a same-length edit (cpu), " + std::to_string(lines) + "-line page",
            [&] { sink += page->IsTextModified(); },
            [&] {
                page->setSelStart(caret);
                page->setSelLength(1);
                page->setSelText(std::exchange(other, !other) ? u"y"_s : u"z"_s);
            });
        out.push_back(modified);

        // Every key a new step: "x" and Return in turn.
        bool returnNext = false;
        const auto stepKey = [&] {
            if (std::exchange(returnNext, !returnNext))
                sendKey(page.get(), Qt::Key_Return);
            else
                sendKey(page.get(), Qt::Key_X, u"x"_s);
            QCoreApplication::processEvents();
        };
        Figure step = measureCpu("key starting a step (cpu), " + std::to_string(lines) + "-line page", stepKey, [] {});
        Figure undo = measureCpu(
            "undo (cpu), " + std::to_string(lines) + "-line page",
            [&] {
                page->UndoText();
                QCoreApplication::processEvents();
            },
            [&] {
                page->RedoText();
                QCoreApplication::processEvents();
            });
        Figure redo = measureCpu(
            "redo (cpu), " + std::to_string(lines) + "-line page",
            [&] {
                page->RedoText();
                QCoreApplication::processEvents();
            },
            [&] {
                page->UndoText();
                QCoreApplication::processEvents();
            });
        if (lines == 200) {
            shortStep = step.medianMs;
            shortUndo = undo.medianMs;
            shortRedo = redo.medianMs;
        } else {
            step.note = times(step.medianMs, shortStep) + " the 200-line page";
            undo.note = times(undo.medianMs, shortUndo) + " the 200-line page";
            redo.note = times(redo.medianMs, shortRedo) + " the 200-line page";
        }
        out.push_back(step);
        out.push_back(undo);
        out.push_back(redo);
        if (lines != 40000)
            continue;
        page->setSelStart(caret);
        QCoreApplication::processEvents();
        for (const bool steps : {false, true}) {
            const long before = residentKb();
            const double t0 = cpuMs();
            for (int i = 0; i < 100; ++i) {
                if (steps)
                    stepKey();
                else
                    sendKey(page.get(), Qt::Key_X, u"x"_s);
                QCoreApplication::processEvents();
            }
            const double ms = cpuMs() - t0;
            const long after = residentKb();
            Figure memory = summarise(steps ? "100 keys starting steps (cpu), 40000-line page"
                                            : "100 keys (cpu), 40000-line page",
                                      {ms});
            memory.note = "resident memory grew " + std::to_string(after - before) + " KB, now "
                          + std::to_string(after / 1024) + " MB";
            out.push_back(memory);
        }
    }

    // The 20,000 lines of about 50 bytes that are quick, as one line.
    QString line = questionLines(20000);
    line.replace(u"\r\n"_s, u" "_s);
    const std::unique_ptr<TMyRichEdit> page = scratchPage(line, Cp932::byteLength(line) / 2);
    const int caret = page->SelStart();
    const std::string size = std::to_string(Cp932::byteLength(line) / 1024) + " KB";
    sendKey(page.get(), Qt::Key_X, u"x"_s);
    Figure typed = measureCpu(
        "typed character (cpu), one 1 MB line",
        [&] {
            sendKey(page.get(), Qt::Key_X, u"x"_s);
            QCoreApplication::processEvents();
        },
        [&] {
            page->setSelStart(caret);
            page->setSelLength(1);
            page->setSelText(QString());
            QCoreApplication::processEvents();
        },
        3, 20);
    typed.note = size;
    out.push_back(typed);
    Figure step = measureCpu(
        "key starting a step (cpu), one 1 MB line",
        [&] {
            sendKey(page.get(), Qt::Key_X, u"x"_s);
            sendKey(page.get(), Qt::Key_Left);
            QCoreApplication::processEvents();
        },
        [] {}, 3, 20);
    step.note = "\"x\" and Left";
    out.push_back(step);
    // Two seconds of the event loop with the caret blinking.
    QEventLoop loop;
    QTimer::singleShot(2000, &loop, &QEventLoop::quit);
    const double t0 = cpuMs();
    loop.exec();
    Figure idle = summarise("idle 2 s (cpu), one 1 MB line", {cpuMs() - t0});
    idle.note = std::string("caret blinking: ") + (page->hasFocus() ? "yes" : "NO FOCUS");
    out.push_back(idle);

    if (sink == 42)
        std::printf(" ");
    return out;
}

// Width conversion, find and replace on the sample, and a replacement in the 62 stored
// descriptions of a full map (each about 1 KB with its "\n" escapes).
std::vector<Figure> benchSearch()
{
    std::vector<Figure> out;
    ScriptedPrompter prompter;
    const QString text = sampleDescription();
    const quint8 flags = HenkanJ::ConvertAlpha | HenkanJ::ConvertDigits | HenkanJ::ConvertSymbols | HenkanJ::ConvertKana
                         | HenkanJ::ConvertNoChange;
    const QString noChange = HenkanJ::DefaultNoChangeChars();
    QString sink;
    out.push_back(measure("ConvertText to full width (64 KB)",
                          [&] { sink = HenkanJ::ConvertText(text, HenkanJ::ToFullWidth, flags, noChange); }));
    out.push_back(measure("ConvertText to half width (64 KB)",
                          [&] { sink = HenkanJ::ConvertText(sink, HenkanJ::ToHalfWidth, flags, noChange); }));

    TFormEditText window;
    quint8 replaceFlags = 0, findFlags = 0, convertFlags = flags;
    QString chars = noChange;
    TFormEditText::Host host;
    host.replaceFlags = &replaceFlags;
    host.findFlags = &findFlags;
    host.convertFlags = &convertFlags;
    host.noChangeChars = &chars;
    window.SetHost(host);
    window.resize(640, 480);
    window.show();
    QApplication::processEvents();
    TMyRichEdit* editor = window.MyRichEdit1;
    out.push_back(measure(
        "mmRepZenToHanClick, whole text to full width (64 KB)",
        [&] {
            prompter.answers.push_back(Prompter::Answer::Yes);
            window.mmRepZenToHanClick(HenkanJ::ToFullWidth);
        },
        [&] { editor->SetText(text); }, {}, 5, 50));
    const int count = int(text.count(u"町"_s));
    window.ReplaceDialog1->setFindText(u"町"_s);
    window.ReplaceDialog1->edReplace->setText(u"まち"_s);
    out.push_back(measure(
        "replace all \"町\" (" + std::to_string(count) + " times, 64 KB)", [&] { window.ReplaceDialog1Replace(true); },
        [&] { editor->SetText(text); }, {}, 5, 50));
    editor->SetText(text);
    window.FindDialog1->setFindText(u"見つからない"_s);
    out.push_back(measure("find next, no match in 64 KB (whole text scanned)", [&] {
        editor->setSelStart(0);
        window.FindDialog1Find();
    }));

    QString cell;
    while (cell.size() < 500)
        cell += Pieces[cell.size() % std::size(Pieces)] + u"\\n"_s;
    std::vector<QString> cells(62, cell);
    out.push_back(measure(
        "replace in 62 stored descriptions (~1 KB each)",
        [&] {
            for (QString& c : cells)
                c = HenkanJ::ChangeStoredText(c, [](const QString& d) {
                    return TextSearch::ReplaceAll(d, u"町", u"まち", 0, int(d.size()), false, false).text;
                });
        },
        [&] { std::fill(cells.begin(), cells.end(), cell); }));
    prompter.answers.push_back(Prompter::Answer::Yes);
    window.btCancelClick();
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("platform: %s\n\n", qPrintable(QGuiApplication::platformName()));
    // --only NAME runs one table: control, markup, long-page or search.
    const QStringList arguments = app.arguments();
    const qsizetype only = arguments.indexOf(u"--only"_s);
    const QString table = only >= 0 && only + 1 < arguments.size() ? arguments[only + 1] : QString();
    const std::pair<QString, std::vector<Figure> (*)()> tables[] = {{u"control"_s, benchControl},
                                                                    {u"markup"_s, benchMarkup},
                                                                    {u"long-page"_s, benchLongPage},
                                                                    {u"search"_s, benchSearch}};
    bool first = true;
    for (const auto& [name, run] : tables) {
        if (!table.isEmpty() && table != name)
            continue;
        if (!std::exchange(first, false))
            std::printf("\n");
        printTable(run());
    }
    return 0;
}
