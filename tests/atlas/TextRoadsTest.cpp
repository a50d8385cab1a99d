#include "AtlasFixture.h"
#include "MapFile.h"
#include "MyRichEdit.h"
#include "TextAdmission.h"
#include "Unit2.h"
#include "UnitEditText.h"
#include "UnitRefPage.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTabWidget>
#include <QTest>

#include <functional>
#include <random>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A box of either kind, for the one road a test cannot take through the forms' own boxes: the X
// selection's middle-click paste, which Qt hands to insertFromMimeData (the offscreen platform has
// no selection).
class Box : public TMyRichEdit {
public:
    explicit Box(const Admission& admission) { setAdmission(admission); }
    using TMyRichEdit::insertFromMimeData;
};

// Characters of every class a text box may be given.
const std::vector<std::vector<QString>> Classes = {
    {u"a"_s, u"Z"_s, u"0"_s, u" "_s, u","_s, u"\""_s, u"<r>"_s, u"{"_s, u"\\"_s},
    {u"あ"_s, u"漢"_s, u"ｶ"_s, u"①"_s, u"髙"_s, u"\u3000"_s},
    {u"〜"_s, u"−"_s, u"—"_s, u"‖"_s, u"¢"_s, u"£"_s, u"¬"_s},
    {u"～"_s, u"－"_s, u"―"_s, u"∥"_s, u"￢"_s},
    {u"\x01"_s, u"\x07"_s, u"\x0b"_s, u"\x0c"_s, u"\x1a"_s, u"\x1f"_s, u"\x7f"_s, u"\u0085"_s},
    {u"\t"_s},
    {u"\r\n"_s, u"\n"_s, u"\r"_s, u"\u2028"_s, u"\u2029"_s},
    {u"\u00a0"_s, u"\u200b"_s, u"\ufeff"_s, u"\u200f"_s, u"\u2060"_s},
    {u"😀"_s, u"𠮷"_s, u"\U000E0041"_s, u"\xd800"_s, u"\xdc00"_s},
    {u"é"_s, u"Ж"_s, u"\u0301"_s, u"\ufdd0"_s, u"\ufdef"_s},
};

QString randomText(std::mt19937& random)
{
    QString text;
    const int n = 1 + int(random() % 24);
    for (int i = 0; i < n; ++i) {
        const auto& kind = Classes[random() % Classes.size()];
        text += kind[random() % kind.size()];
    }
    return text;
}

// Line breaks as the controls give them back.
QString crLf(QString text)
{
    text.replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
    return text.replace(u"\n"_s, u"\r\n"_s);
}

bool isControl(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != u'\r' && c != u'\n') || (c >= 0x7f && c <= 0x9f);
}

// A keyboard gives one key per character; Return for a line break, Shift+Return for a separator;
// it has no key for a control character.
QString typedPart(const QString& text)
{
    QString typed = text;
    typed.removeIf([](QChar c) { return isControl(c.unicode()); });
    return typed;
}

void type(QWidget* box, const QString& text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            QTest::keyClick(box, Qt::Key_Return);
        } else if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator) {
            QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        } else {
            const qsizetype length = c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(i, length), Qt::NoModifier);
            i += length - 1;
        }
    }
}

void commit(QWidget* box, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

void drop(TMyRichEdit* box, const QString& text)
{
    QMimeData dragged;
    dragged.setText(text);
    const QPoint at = box->viewport()->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QApplication::sendEvent(box->viewport(), &enter);
    QDropEvent dropped(at, Qt::CopyAction, &dragged, Qt::LeftButton, {});
    QApplication::sendEvent(box->viewport(), &dropped);
}

std::string escaped(const QString& text)
{
    std::string out;
    for (const QChar c : text)
        out += c.unicode() >= 0x20 && c.unicode() < 0x7f ? std::string(1, char(c.unicode()))
                                                         : QString::asprintf("<%04X>", c.unicode()).toStdString();
    return out;
}

bool onlyALineBreak(const QString& text)
{
    return text == u"\r\n"_s
           || (text.size() == 1
               && (text[0] == u'\r' || text[0] == u'\n' || text[0] == QChar::LineSeparator
                   || text[0] == QChar::ParagraphSeparator));
}

bool sameAdmission(const TMyRichEdit::Admission& a, const TMyRichEdit::Admission& b)
{
    return a.options.oneLine == b.options.oneLine && a.options.tabs == b.options.tabs
           && a.options.controls == b.options.controls && a.file == b.file;
}

class TextRoads : public AtlasFixture {
protected:
    // Each road from an empty box; what it left, and the message it gave once the event loop was
    // back (empty: none).
    struct Road {
        const char* name;
        TMyRichEdit* box;
        std::function<void(const QString&)> enter;
        bool wholeInOneEdit = true; // one message naming every refused character
        bool composed = false;
    };
    void walk(const std::vector<Road>& roads, const QString& text, const TMyRichEdit::Admission& admission)
    {
        const TextAdmission::Result rule = TextAdmission::admit(text, admission.options);
        const QString expected = crLf(rule.text);
        const QString message = TextAdmission::refusalMessage(rule, admission.file);
        for (const Road& road : roads) {
            SCOPED_TRACE(road.name);
            if (road.composed && onlyALineBreak(text)) // a composition that only ends a line is dropped
                continue;
            road.box->SetText(QString());
            QCoreApplication::processEvents();
            prompter->asked.clear();
            road.enter(text);
            QCoreApplication::processEvents(); // the key, input method and drop handlers tell later
            if (road.wholeInOneEdit) {
                EXPECT_EQ(road.box->Text(), expected);
                EXPECT_EQ(prompter->lastText(), message);
                EXPECT_LE(prompter->asked.size(), 1u);
            } else {
                EXPECT_EQ(road.box->Text(), crLf(TextAdmission::admit(typedPart(text), admission.options).text));
            }
            EXPECT_EQ(road.box->TextLength(), Cp932::byteLength(road.box->Text()));
        }
    }
};

} // namespace

// Whatever comes into a description, a scratch page or a one-line box, by whichever road, is what
// the box's rule makes of it: shown as the file holds it, so that the map file written and read
// again, and the scratch page saved and read again, give the same text; and one input gives one
// text on every road into one kind of box.
TEST_F(TextRoads, EveryRoadIntoEveryBoxIsTheOneRule)
{
    const TMyRichEdit::Admission description = TMyRichEdit::DescriptionAdmission();
    const TMyRichEdit::Admission textFile = TMyRichEdit::TextFileAdmission();
    constexpr TextAdmission::Options oneLine{.oneLine = true};
    TForm2& f2 = *forms->form2;
    TFormEditText& window = *forms->formEditText;
    Box middleDescription(description), middleTextFile(textFile);
    std::mt19937 random(20241209);
    int rounds = 0;
    QString lastOnThePage;

    f2.DestinationIndex = 1;
    f2.show();
    prompter->modals.push_back([&](QDialog&) {
        window.show();
        TFormRefPage* page = window.CreateBlankPage(QDateTime::currentDateTime());
        EXPECT_NE(page, nullptr);
        if (!page)
            return int(QDialog::Rejected);
        TMyRichEdit* scratch = page->MyRichEdit1;
        EXPECT_TRUE(sameAdmission(f2.Memo1->admission(), description));
        EXPECT_TRUE(sameAdmission(window.MyRichEdit1->admission(), description));
        EXPECT_TRUE(sameAdmission(scratch->admission(), textFile));
        const auto page0 = [&] {
            window.pcEdit->setCurrentIndex(0);
            window.pcEditChange();
            EXPECT_EQ(window.CurrentEditor(), window.MyRichEdit1);
        };
        const auto page1 = [&] {
            window.pcEdit->setCurrentIndex(1);
            window.pcEditChange();
            EXPECT_EQ(window.CurrentEditor(), scratch);
        };
        const auto paste = [](const QString& text) { QGuiApplication::clipboard()->setText(text); };
        const auto mime = [](Box& box, const QString& text) {
            QMimeData selection;
            selection.setText(text);
            box.insertFromMimeData(&selection);
        };
        const std::vector<Road> descriptionRoads = {
            {"typed", f2.Memo1, [&](const QString& t) { type(f2.Memo1, typedPart(t)); }, false},
            {"input method", f2.Memo1, [&](const QString& t) { commit(f2.Memo1, t); }, true, true},
            {"Ctrl+V", f2.Memo1,
             [&](const QString& t) {
                 paste(t);
                 QTest::keyClick(f2.Memo1, Qt::Key_V, Qt::ControlModifier);
             }},
            {"drop", f2.Memo1, [&](const QString& t) { drop(f2.Memo1, t); }},
            {"middle-click", &middleDescription, [&](const QString& t) { mime(middleDescription, t); }},
            {"window's paste", window.MyRichEdit1,
             [&](const QString& t) {
                 page0();
                 paste(t);
                 window.pmPasteClick();
             }},
            {"setSelText", f2.Memo1, [&](const QString& t) { f2.Memo1->setSelText(t); }},
        };
        const std::vector<Road> scratchRoads = {
            {"typed", scratch, [&](const QString& t) { type(scratch, typedPart(t)); }, false},
            {"input method", scratch, [&](const QString& t) { commit(scratch, t); }, true, true},
            {"drop", scratch, [&](const QString& t) { drop(scratch, t); }},
            {"middle-click", &middleTextFile, [&](const QString& t) { mime(middleTextFile, t); }},
            {"window's paste", scratch,
             [&](const QString& t) {
                 page1();
                 paste(t);
                 window.pmPasteClick();
             }},
            {"setSelText", scratch, [&](const QString& t) { scratch->setSelText(t); }},
        };

        const auto oneRound = [&](int round) {
            const QString text = randomText(random);
            SCOPED_TRACE(::testing::Message() << "round " << round << ": " << escaped(text));
            walk(descriptionRoads, text, description);

            // The one-line boxes, by a paste; the other destinations, by a replace in all of them.
            QLineEdit* title = f2.Edit1;
            title->clear();
            paste(text);
            title->selectAll();
            title->paste();
            QCoreApplication::processEvents();
            EXPECT_EQ(title->text(), TextAdmission::admit(text, oneLine).text);
            MapDocument others;
            others.rows[5][MapDocument::Description] = u"前@後"_s;
            TextAdmission::Result refused;
            EXPECT_TRUE(TForm2::ChangeOtherDescriptions(
                others, 1, [&](const QString& d) { return QString(d).replace(u'@', text); }, &refused));
            QString stored = crLf(TextAdmission::admit(text, description.options).text).replace(u"\r\n"_s, u"\\n"_s);
            EXPECT_EQ(others.rows[5][MapDocument::Description], u"前"_s + stored + u"後"_s);
            EXPECT_EQ(TextAdmission::refusalMessage(refused, description.file),
                      TextAdmission::refusalMessage(TextAdmission::admit(text, description.options), description.file));

            // What the boxes hold is what the map file holds and reads back.
            MapDocument& doc = others;
            doc.rows[1][MapDocument::Description] = f2.Memo1->Text().replace(u"\r\n"_s, u"\\n"_s);
            doc.rows[2][MapDocument::Description] = window.MyRichEdit1->Text().replace(u"\r\n"_s, u"\\n"_s);
            doc.rows[3][MapDocument::Description] = middleDescription.Text().replace(u"\r\n"_s, u"\\n"_s);
            doc.rows[4][MapDocument::Title1] = title->text();
            QString why;
            const QByteArray bytes = MapFile::write(doc, QString(), &why);
            ASSERT_FALSE(bytes.isEmpty()) << why.toStdString();
            const std::optional<MapFile::Content> back = MapFile::parse(bytes, &why);
            ASSERT_TRUE(back) << why.toStdString();
            for (int r = 1; r <= 5; ++r)
                for (int c = 0; c < MapDocument::ColumnCount; ++c)
                    EXPECT_EQ(back->rows[r].value(c), doc.rows[r][c]) << "destination " << r << ", column " << c;

            walk(scratchRoads, text, textFile);
            // A scratch page's save reads back as the page shows it, and the file opened again as a
            // page shows what every road gave.
            const QString shown = scratch->Text();
            if (!shown.isEmpty()) {
                scratch->RecordTextUndoStep(TMyRichEdit::Typing);
                const QString saved = f1().ScratchFolder + u"/saved%1.txt"_s.arg(round);
                prompter->files = {saved};
                page1();
                window.ReferSave1Click();
                bool ok = false;
                EXPECT_EQ(Cp932::decode(readBytes(saved), &ok), shown + u"\r\n"_s);
                EXPECT_TRUE(ok);
                EXPECT_FALSE(scratch->IsTextModified());
            }
            const QString file = f1().ScratchFolder + u"/opened%1.txt"_s.arg(round);
            const QString expected = crLf(TextAdmission::admit(text, textFile.options).text);
            {
                QFile out(file);
                EXPECT_TRUE(out.open(QIODevice::WriteOnly));
                out.write(Cp932::encode(expected + u"\r\n"_s));
            }
            prompter->asked.clear();
            TFormRefPage* opened = window.CreateScratchPage(file);
            ASSERT_NE(opened, nullptr);
            EXPECT_EQ(opened->MyRichEdit1->Text(), expected);
            EXPECT_TRUE(prompter->asked.empty());
            window.miCloseClick(); // unmodified: no question
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(window.ScratchPages.size(), 1u);
            ++rounds;
        };
        for (int round = 0; round < 120 && !::testing::Test::HasFailure(); ++round)
            oneRound(round);

        page0();
        lastOnThePage = window.MyRichEdit1->Text();
        prompter->asked.clear();
        window.hide();
        return int(QDialog::Accepted);
    });
    f2.btEditClick();
    // At OK the description page's text is the description's as it stands: nothing to refuse.
    EXPECT_EQ(f2.Memo1->Text(), lastOnThePage);
    EXPECT_TRUE(prompter->asked.empty());
    f2.hide();
    EXPECT_EQ(rounds, 120);
}
