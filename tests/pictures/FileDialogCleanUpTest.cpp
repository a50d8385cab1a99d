#include "MyFileDialogs.h"

#include "Prompter.h"
#include "QtPrinters.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"

#include <QDir>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct CleanCase {
    QString typed;
    QString atlas;
    QString easel;
};

void PrintTo(const CleanCase& c, std::ostream* os) { *os << c.typed.toStdString(); }

class FileNameCleanUp : public ::testing::TestWithParam<CleanCase> {};

TEST_P(FileNameCleanUp, EachProgramCleansAsItShould)
{
    const CleanCase& c = GetParam();
    EXPECT_EQ(cleanFileName(c.typed, CleanUpVariant::Atlas), c.atlas);
    EXPECT_EQ(cleanFileName(c.typed, CleanUpVariant::Easel), c.easel);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FileNameCleanUp,
    ::testing::Values(
        // Two dots, a backslash, a letter, a colon and a letter.
        CleanCase{u"..\\a:b"_s, u".ab"_s, u".a:b"_s},
        CleanCase{u"写真.jpg"_s, u"写真.jpg"_s, u"写真.jpg"_s},
        CleanCase{u"名前..bmp"_s, u"名前.bmp"_s, u"名前.bmp"_s},
        // A single left-to-right fold would leave ".." here.
        CleanCase{u"..."_s, u"."_s, u"."_s}, CleanCase{u"....."_s, u"."_s, u"."_s},
        // Removing the separator must not bring two dots together.
        CleanCase{u"./."_s, u"."_s, u"."_s}, CleanCase{u".\\."_s, u"."_s, u"."_s},
        CleanCase{u"../../etc/passwd"_s, u".etcpasswd"_s, u".etcpasswd"_s},
        CleanCase{u"sub/pic.bmp"_s, u"subpic.bmp"_s, u"subpic.bmp"_s},
        CleanCase{u"C:\\pic.bmp"_s, u"Cpic.bmp"_s, u"C:pic.bmp"_s},
        CleanCase{u"a*b?c\"d<e>f|g"_s, u"abcdefg"_s, u"a*b?cd<e>f|g"_s},
        // Qt's dialog reads a leading tilde as a home folder, also inside quotes.
        CleanCase{u"~"_s, u""_s, u""_s}, CleanCase{u"~/x"_s, u"x"_s, u"x"_s},
        CleanCase{u"~root"_s, u"root"_s, u"root"_s}, CleanCase{u"\"~\""_s, u""_s, u""_s},
        CleanCase{u"a~b"_s, u"a~b"_s, u"a~b"_s}, CleanCase{u""_s, u""_s, u""_s}));

TEST(FileNameCleanUp, NothingTypedLeavesTheShownFolder)
{
    // Every string of up to five characters from the troublesome ones.
    const QString alphabet = u"./\\~:\"a"_s;
    const QString base = u"/shown/folder"_s;
    QStringList typed{QString()};
    for (int length = 1; length <= 5; ++length) {
        QStringList longer;
        for (const QString& t : std::as_const(typed))
            if (t.size() == length - 1)
                for (QChar c : alphabet)
                    longer << t + c;
        typed << longer;
    }
    for (const CleanUpVariant v : {CleanUpVariant::Atlas, CleanUpVariant::Easel}) {
        for (const QString& t : std::as_const(typed)) {
            const QString r = cleanFileName(t, v);
            ASSERT_FALSE(r.contains(u'/') || r.contains(u'\\') || r.contains(u"..") || r.startsWith(u'~')
                         || r.contains(u'"'))
                << t.toStdString() << " -> " << r.toStdString();
            const QString resolved = QDir::cleanPath(base + u'/' + r);
            ASSERT_TRUE(resolved == base || QFileInfo(resolved).path() == base)
                << t.toStdString() << " -> " << r.toStdString();
        }
    }
}

struct EditCase {
    QString text;
    int start, end;
    QString cleaned;
    int cleanStart, cleanEnd;
};

TEST(FileNameCleanUp, TheBoxKeepsItsSelectionPositions)
{
    const EditCase cases[] = {
        {u"ab/cd"_s, 3, 3, u"abcd"_s, 3, 3},
        {u"..\\a:b"_s, 6, 6, u".ab"_s, 3, 3},
        {u"a//bcd"_s, 1, 5, u"abcd"_s, 1, 4},
    };
    for (const EditCase& c : cases) {
        QLineEdit edit(c.text);
        edit.setSelection(c.start, c.end - c.start);
        if (c.start == c.end)
            edit.setCursorPosition(c.start);
        cleanFileNameEdit(edit, CleanUpVariant::Atlas);
        EXPECT_EQ(edit.text(), c.cleaned);
        const int start = edit.hasSelectedText() ? edit.selectionStart() : edit.cursorPosition();
        const int end = edit.hasSelectedText() ? edit.selectionEnd() : edit.cursorPosition();
        EXPECT_EQ(start, c.cleanStart) << c.text.toStdString();
        EXPECT_EQ(end, c.cleanEnd) << c.text.toStdString();
    }
}

// The name box of a real dialog with DirEditPath false, as each program builds it.
class TypedNameCleanUp : public ::testing::TestWithParam<CleanUpVariant> {
protected:
    void TearDown() override { setFileNameCleanUp(CleanUpVariant::Atlas); }
};

TEST_P(TypedNameCleanUp, TypedAndPastedPathsAreCutListedNamesStayWhole)
{
    setFileNameCleanUp(GetParam());
    TempFolder folder;
    TMySavePictureDialog d;
    d.InitialDir = folder.path();
    d.DirEditPath = false;
    ScriptedPrompter script;
    script.files = {QString()};
    EXPECT_FALSE(d.Execute());
    const auto dlg = Prompter::makeFileDialog(nullptr, script.fileRequests.back());
    auto* box = dlg->findChild<QLineEdit*>(u"fileNameEdit"_s);
    ASSERT_NE(box, nullptr);

    box->clear();
    QTest::keyClicks(box, u"..\\a:b"_s);
    EXPECT_EQ(box->text(), GetParam() == CleanUpVariant::Atlas ? u".ab"_s : u".a:b"_s);
    box->clear();
    QInputMethodEvent paste;
    paste.setCommitString(u"../../etc/写真.bmp"_s);
    QCoreApplication::sendEvent(box, &paste);
    EXPECT_EQ(box->text(), u".etc写真.bmp"_s);
    box->clear();
    QTest::keyClicks(box, u"~/x"_s);
    EXPECT_EQ(box->text(), u"x"_s);

    // As the list does for a selected entry: a real name of the folder, not the user's typing.
    dlg->selectFile(u"odd..name.bmp"_s);
    EXPECT_EQ(box->text(), u"odd..name.bmp"_s);
}

INSTANTIATE_TEST_SUITE_P(Programs, TypedNameCleanUp,
                         ::testing::Values(CleanUpVariant::Atlas, CleanUpVariant::Easel),
                         [](const auto& info) {
                             return std::string(info.param == CleanUpVariant::Atlas ? "atlas" : "easel");
                         });

} // namespace
