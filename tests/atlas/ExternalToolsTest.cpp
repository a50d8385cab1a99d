#include "AtlasFixture.h"
#include "Cp932.h"
#include "MapPictures.h"
#include "MyRichEdit.h"
#include "PictureToolRun.h"
#include "SavedPictureNotice.h"
#include "ToolRunner.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitHanZenSettei.h"
#include "UnitInputTeikeiM.h"
#include "UnitToolSet.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <functional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using Prompter::Answer;

namespace {

const QString ToolNotFound = u"外部ツールが見つかりません。"_s;
const QString SelectFirst = u"項目を選択して下さい。"_s;
const QString StopTheTool = u"外部ツールを終了して下さい。"_s;

// A modal script for the entry dialog: types the two fields and presses OK.
std::function<int(QDialog&)> typeEntry(const QString& caption, const QString& path)
{
    return [caption, path](QDialog& d) {
        auto& input = dynamic_cast<TFormInputTeikeiM&>(d);
        input.Edit1->setText(caption);
        input.Edit2->setText(path);
        input.btOKClick();
        return input.result();
    };
}

} // namespace

class ToolsFixture : public AtlasFixture {
protected:
    void SetUp() override
    {
        // A notice folder of the test's own, so test processes running side by side never hand
        // names to one another; the tool inherits it.
        ASSERT_TRUE(runtime.isValid());
        hadRuntime = qEnvironmentVariableIsSet("XDG_RUNTIME_DIR");
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        AtlasFixture::SetUp();
    }

    void TearDown() override
    {
        AtlasFixture::TearDown();
        for (const QByteArray& name : envSet)
            qunsetenv(name.constData());
        if (hadRuntime)
            qputenv("XDG_RUNTIME_DIR", savedRuntime);
        else
            qunsetenv("XDG_RUNTIME_DIR");
    }

    void env(const char* name, const QString& value)
    {
        qputenv(name, value.toUtf8());
        envSet << name;
    }

    TFormToolSet& toolSet() { return *forms->formToolSet; }
    TFormInputTeikeiM& input() { return *forms->formInputTeikeiM; }
    TForm2& f2() { return *forms->form2; }

    void registerTools(const QStringList& entries)
    {
        toolSet().setEntries(entries);
        toolSet().BuildToolsMenu(f1().tbpTools);
    }

    // The test tool placed directly in the program folder (or a folder below it), as the picture
    // editor lies beside the map editor.
    QString toolInProgram(const QString& relative = u"easel_fake"_s)
    {
        const QString path = program.path() + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!QFileInfo::exists(path)) {
            EXPECT_TRUE(QFile::copy(QStringLiteral(FAKE_PICTURE_TOOL), path));
            QFile::setPermissions(path, QFile::permissions(QStringLiteral(FAKE_PICTURE_TOOL)));
        }
        return path;
    }

    void writeSettings(const QString& text)
    {
        QDir().mkpath(QFileInfo(f1().SettingsFilePath).absolutePath());
        QFile f(f1().SettingsFilePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(Cp932::encode(text));
    }

    QString settingsText() { return Cp932::decode(readBytes(f1().SettingsFilePath)); }

    QStringList menuCaptions(QMenu* menu)
    {
        QStringList out;
        for (QAction* a : menu->actions())
            out << (a->isSeparator() ? u"-"_s : a->text());
        return out;
    }

    bool asked(const QString& prefix) const
    {
        for (const auto& a : prompter->asked)
            if (a.text.startsWith(prefix))
                return true;
        return false;
    }

    QTemporaryDir runtime{u"/tmp/atl-XXXXXX"_s};
    bool hadRuntime = false;
    QByteArray savedRuntime;
    QList<QByteArray> envSet;
};

// The settings file as the tools dialog reads it at its creation

struct SettingsCase {
    const char* name;
    const char16_t* file; // nullptr: no settings file at all
    const char16_t* noChangeChars;
    int convert, replace, find;
    QStringList tools;
};

class SettingsDefaults : public ToolsFixture, public ::testing::WithParamInterface<SettingsCase> {};

TEST_P(SettingsDefaults, ReadWhenTheDialogIsCreated)
{
    const SettingsCase& c = GetParam();
    QFile::remove(f1().SettingsFilePath);
    if (c.file)
        writeSettings(QString::fromUtf16(c.file));
    startAtlas({});
    EXPECT_EQ(f1().NoChangeChars, QString::fromUtf16(c.noChangeChars));
    EXPECT_EQ(f1().ConvertFlags, c.convert);
    EXPECT_EQ(f1().ReplaceFlags, c.replace);
    EXPECT_EQ(f1().FindFlags, c.find);
    EXPECT_EQ(toolSet().entries(), c.tools);
    EXPECT_EQ(toolSet().LoadToolSettings(), c.file != nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Tools, SettingsDefaults,
    ::testing::Values(SettingsCase{"NoFileKeepsTheStartValues", nullptr, u"", 0, 0, 0, {}},
                      SettingsCase{"EmptyFileGivesTheKeyDefaults", u"", u"", 0, 1, 1, {}},
                      SettingsCase{"MissingKeysGiveTheKeyDefaults",
                                   u"[外部ツール]\r\nPaint=tools/paint\r\n",
                                   u"",
                                   0,
                                   1,
                                   1,
                                   {u"Paint=tools/paint"_s}},
                      SettingsCase{"ValuesKeepTheirLowByte",
                                   u"[編集操作]\r\n変換文字=ｱｲ\r\n変換条件=300\r\n置換条件=-1\r\n検索条件=5\r\n"
                                   u"[外部ツール]\r\nPaint=tools/paint\r\nView=C:\\view.exe\r\n",
                                   u"ｱｲ",
                                   44,
                                   255,
                                   5,
                                   {u"Paint=tools/paint"_s, u"View=C:\\view.exe"_s}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ToolsFixture, FirstCloseWritesTheStartValues)
{
    QFile::remove(f1().SettingsFilePath);
    startAtlas({});
    EXPECT_TRUE(f1().FormClose());
    const QString text = settingsText();
    EXPECT_TRUE(text.contains(u"[編集操作]\r\n変換文字=\r\n変換条件=0\r\n置換条件=0\r\n検索条件=0\r\n"_s))
        << text.toStdString();
}

TEST_F(ToolsFixture, CloseWritesToolsInOrderAndMergesCaptionsThatDifferInCase)
{
    writeSettings(u"[他の設定]\r\nkey=value\r\n"_s);
    startAtlas({});
    toolSet().setEntries({u"Paint=tools/p1"_s, u" = blank"_s, u"Zeta=z"_s, u"paint = tools/p2 "_s, u"Alpha=a"_s});
    f1().NoChangeChars = u"ｶﾞ"_s;
    f1().ConvertFlags = 7;
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(settingsText().contains(u"[他の設定]\r\nkey=value"_s)) << "other sections are kept";

    startAtlas({});
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Paint=tools/p2"_s, u"Zeta=z"_s, u"Alpha=a"_s}));
    EXPECT_EQ(f1().NoChangeChars, u"ｶﾞ"_s);
    EXPECT_EQ(f1().ConvertFlags, 7);
    EXPECT_EQ(f1().ReplaceFlags, 1);
}

// A stray byte spoils its own line: the rest is read, the lines that could not be are named once and
// go back byte for byte where they stood, also when the user mends them while the program runs.
TEST_F(ToolsFixture, UnreadableLinesAreNamedOnceAndKeptWhereTheyStood)
{
    const QByteArray head = Cp932::encode(u"[編集操作]\r\n変換文字=ｱｲ\r\n検索条件=3\r\n"_s) + "[\x81 ]\r\n"
                            + Cp932::encode(u"[外部ツール]\r\nPaint=p\r\n"_s);
    const QByteArray bad = "View=/opt/\x81\x7f/view";
    const QByteArray tail = Cp932::encode(u"Last=l\r\n"_s);
    QFile f(f1().SettingsFilePath);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(head + bad + "\r\n" + tail);
    f.close();
    prompter->asked.clear();
    startAtlas({});
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().contains(u"4，7 行目"_s)) << prompter->lastText().toStdString();
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Paint=p"_s, u"Last=l"_s}));
    EXPECT_EQ(f1().NoChangeChars, u"ｱｲ"_s);
    EXPECT_EQ(f1().FindFlags, 3);

    // Nothing changed: nothing is written.
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    EXPECT_EQ(readBytes(f1().SettingsFilePath), head + bad + "\r\n" + tail);
    EXPECT_FALSE(QFileInfo::exists(f1().SettingsFilePath + u".bak"_s));

    // The first tool changes: the unreadable line keeps its place, second among the tools.
    toolSet().setEntries({u"Paint=p2"_s, u"Last=l"_s});
    f1().FindFlags = 1;
    EXPECT_TRUE(f1().FormClose());
    const QByteArray written = readBytes(f1().SettingsFilePath);
    EXPECT_EQ(written, Cp932::encode(u"[編集操作]\r\n変換文字=ｱｲ\r\n検索条件=1\r\n"_s) + "[\x81 ]\r\n"
                           + Cp932::encode(u"[外部ツール]\r\nPaint=p2\r\n"_s) + bad + "\r\n" + tail);
    EXPECT_TRUE(prompter->asked.empty());

    // Mended while the program runs; the program's own change leaves the mended line alone.
    QByteArray mended = written;
    mended.replace(bad, "View=/opt/view");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(mended);
    f.close();
    toolSet().setEntries({u"Paint=p3"_s, u"Last=l"_s});
    EXPECT_TRUE(f1().FormClose());
    startAtlas({});
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Paint=p3"_s, u"View=/opt/view"_s, u"Last=l"_s}));
}

// What the file cannot hold is left out, named; every other change of the run is written.
TEST_F(ToolsFixture, AValueTheFileCannotHoldIsLeftOutAndTheRestIsWritten)
{
    writeSettings(u"[外部ツール]\r\nPaint=p\r\n"_s);
    startAtlas({});
    toolSet().setEntries({u"Paint=/usr/bin/a\n/usr/bin/b"_s, u"New=n"_s});
    f1().NoChangeChars = u"〜"_s;
    f1().ConvertFlags = 5;
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().contains(u"[外部ツール] Paint（改行）"_s)) << prompter->lastText().toStdString();
    EXPECT_TRUE(prompter->lastText().contains(u"[編集操作] 変換文字（\"〜\"）"_s));
    startAtlas({});
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Paint=p"_s, u"New=n"_s}));
    EXPECT_EQ(f1().ConvertFlags, 5);
}

// A settings file the user may not write is never replaced; the close says so once and goes on.
TEST_F(ToolsFixture, AReadOnlySettingsFileIsToldOnceAndTheCloseGoesOn)
{
    writeSettings(u"[外部ツール]\r\nPaint=p\r\n"_s);
    ASSERT_TRUE(QFile::setPermissions(f1().SettingsFilePath, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    const QByteArray before = readBytes(f1().SettingsFilePath);
    startAtlas({});
    prompter->asked.clear();
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(prompter->asked.empty()) << "nothing changed, nothing to write";

    toolSet().setEntries({u"Paint=q"_s});
    EXPECT_TRUE(f1().FormClose());
    EXPECT_TRUE(f1().FormClose());
    ASSERT_EQ(prompter->asked.size(), 1u);
    EXPECT_TRUE(prompter->lastText().startsWith(u"設定ファイルを保存できません。"_s));
    EXPECT_TRUE(prompter->lastText().contains(f1().SettingsFilePath));
    EXPECT_EQ(readBytes(f1().SettingsFilePath), before);
}

// The tools menu

TEST_F(ToolsFixture, MenuListsToolsInOrderAboveTheSettingsItem)
{
    registerTools({u"Paint=tools/paint"_s, u"View =/opt/view"_s, u"Two=x=y"_s});
    registerTools({u"Paint=tools/paint"_s, u"View =/opt/view"_s, u"Two=x=y"_s});
    EXPECT_EQ(menuCaptions(f1().tbpTools),
              (QStringList{u"Paint"_s, u"View "_s, u"Two"_s, u"-"_s, u"外部ツールの設定(&T)"_s}));
    const QList<QAction*> items = f1().tbpTools->actions();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(f1().ToolPaths.value(items[i]->property("Tag").toInt() - 1),
                  (QStringList{u"tools/paint"_s, u"/opt/view"_s, u"x"_s}).at(i));
    EXPECT_EQ(f1().PictureToolPath(), program.path() + u"tools/paint"_s);

    registerTools({});
    EXPECT_EQ(menuCaptions(f1().tbpTools), (QStringList{u"-"_s, u"外部ツールの設定(&T)"_s}));
    EXPECT_EQ(f1().tbpTools->actions().first()->property("Tag").toInt(), 0);
    EXPECT_TRUE(f1().PictureToolPath().isEmpty());
}

TEST_F(ToolsFixture, MainMenuCopyStartsTheToolWithoutArguments)
{
    const QString log = program.path() + u"menu.log"_s;
    env("FAKE_TOOL_LOG", log);
    registerTools({u"Missing=nothing/here"_s, u"Fake="_s + QStringLiteral(FAKE_PICTURE_TOOL)});
    EXPECT_EQ(f1().mmTools->actions().size(), 1) << "a placeholder until first opened";
    f1().mmToolsClick();
    f1().mmToolsClick();
    EXPECT_EQ(menuCaptions(f1().mmTools), menuCaptions(f1().tbpTools));

    f1().mmTools->actions().at(0)->trigger();
    EXPECT_EQ(prompter->lastText(), ToolNotFound);
    f1().mmTools->actions().at(1)->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFileInfo::exists(log); }, 10000));
    EXPECT_TRUE(readBytes(log).isEmpty()) << "no arguments";
    EXPECT_FALSE(ToolRunner::isRunning()) << "nothing waits for it";
}

// The command line of a picture tool

TEST_F(ToolsFixture, OnlyAToolDirectlyInTheProgramFolderGetsTheClassName)
{
    const QString inside = toolInProgram();
    const QString below = toolInProgram(u"tools/easel_fake"_s);
    const QString elsewhere = QStringLiteral(FAKE_PICTURE_TOOL);
    const QString picture = u"/maps/pics/01.bmp"_s;
    const struct {
        QString tool;
        int kind;
        QStringList expected;
    } cases[] = {
        {inside, MapPictures::MapKind, {picture, u"TForm1"_s}},
        {inside, MapPictures::DestinationKind, {picture, u"TForm2"_s}},
        {inside, MapPictures::TreasureKind, {picture, u"TForm3"_s}},
        {program.path() + u"tools/../easel_fake"_s, MapPictures::DestinationKind, {picture, u"TForm2"_s}},
        {below, MapPictures::DestinationKind, {picture}},
        {elsewhere, MapPictures::DestinationKind, {picture}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TForm1::ToolArguments(c.tool, picture, c.kind), c.expected) << c.tool.toStdString();

    // What the tool really receives.
    const QString log = program.path() + u"args.log"_s;
    env("FAKE_TOOL_LOG", log);
    const QString pic = program.path() + u"in/p.bmp"_s;
    writePicture(pic, {400, 225}, Qt::red);
    EXPECT_TRUE(f1().RunToolAndWait(inside, pic, MapPictures::DestinationKind));
    EXPECT_TRUE(f1().RunToolAndWait(below, pic, MapPictures::DestinationKind));
    EXPECT_EQ(QString::fromUtf8(readBytes(log)), pic + u"\nTForm2\n"_s + pic + u"\n"_s);
}

// What a run brought, decided from the files: never from a time stamp, which on a FAT volume
// stays put for a save within its step, nor from a size, which a picture of one size keeps.
TEST(ToolRunDecision, TheFileItselfDecides)
{
    TempFolder temp;
    const QByteArray made = QByteArray(1000, 'a');
    const QString copy = temp.write(u"pics/03_001.bmp"_s, made);
    const FileOps::Seen asMade = FileOps::seenOf(made);
    const QByteArray path = QFile::encodeName(copy);
    struct stat before;
    ASSERT_EQ(::stat(path.constData(), &before), 0);
    const timespec same[2] = {before.st_atim, before.st_mtim};
    const timespec later[2] = {before.st_atim, {before.st_mtim.tv_sec + 5, 0}};

    EXPECT_EQ(PictureToolRun::result(copy, asMade, QString()), QString()) << "nothing done";
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), later, 0), 0);
    EXPECT_EQ(PictureToolRun::result(copy, asMade, QString()), QString()) << "only touched";

    // Saved with the same length within the clock's step.
    temp.write(u"pics/03_001.bmp"_s, QByteArray(999, 'a') + 'b');
    ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), same, 0), 0);
    ASSERT_EQ(FileOps::stamp(copy).mtimeNs, qint64(before.st_mtim.tv_sec) * 1000000000 + before.st_mtim.tv_nsec);
    EXPECT_EQ(PictureToolRun::result(copy, asMade, QString()), copy);

    // Saved under its own name, handed back by another spelling: saved, whatever the bytes.
    temp.write(u"pics/03_001.bmp"_s, made);
    ASSERT_EQ(::symlink(QFile::encodeName(temp.file(u"pics"_s)).constData(),
                        QFile::encodeName(temp.file(u"link"_s)).constData()),
              0);
    for (const QString& spelling :
         {temp.file(u"pics/./03_001.bmp"_s), temp.file(u"link/03_001.bmp"_s), temp.file(u"pics/../pics/03_001.bmp"_s)})
        EXPECT_EQ(PictureToolRun::result(copy, asMade, spelling), copy) << spelling.toStdString();

    // Another picture handed back is that picture; a name of nothing leaves the copy to decide.
    const QString other = temp.write(u"elsewhere/other.bmp"_s, made);
    EXPECT_EQ(PictureToolRun::result(copy, asMade, other), other);
    EXPECT_EQ(PictureToolRun::result(copy, asMade, temp.file(u"gone.bmp"_s)), QString());

    // A copy the tool removed brought nothing.
    QFile::remove(copy);
    EXPECT_EQ(PictureToolRun::result(copy, asMade, QString()), QString());
}

// Whole tool runs against the test tool

struct RunCase {
    const char* name;
    bool toolInProgramFolder = true;
    bool change = false;
    const char16_t* saveAs = nullptr; // a name in the program's "out" folder
    bool notify = false;
    bool openedOther = false;   // the tool names back a file it only opened
    const char* size = nullptr; // the tool saves at this size ("320x200")
    bool toolMissing = false;
    bool pictureMissing = false;
    // KeptAside: the slot is as before, but the edited picture stays in the folder.
    enum { WorkingCopy, ReceivedFile, Previous, KeptAside } result = Previous;
    const char16_t* warning = nullptr;
    bool crash = false; // the tool dies of a signal after everything else
};

class ToolRunOutcome : public ToolsFixture, public ::testing::WithParamInterface<std::tuple<int, RunCase>> {
protected:
    int kind() const { return std::get<0>(GetParam()); }
    const RunCase& run() const { return std::get<1>(GetParam()); }
    QString& current() { return kind() == MapPictures::MapKind ? f1().MapPicturePath : f2().PicturePath; }
    QString& returned() { return kind() == MapPictures::MapKind ? f1().ReturnedFileName : f2().ReturnedFileName; }
    QColor colour() const { return kind() == MapPictures::MapKind ? QColor(0, 160, 0) : QColor(255, 0, 0); }

    // Gives the target a picture of its own in the picture folder.
    QString prepare()
    {
        const QSize size = MapPictures::requiredSize(kind());
        const QString source = program.path() + u"in/source.bmp"_s;
        writePicture(source, size, colour());
        if (kind() == MapPictures::MapKind) {
            f1().ImportMapPicture(source, true);
        } else {
            f2().DestinationIndex = 1;
            f2().PicturePath.clear();
            f2().FormShow();
            f2().ImportDestinationPicture(source, true, false);
        }
        return current();
    }

    void edit()
    {
        if (kind() == MapPictures::MapKind)
            f1().mmEditMapPicClick();
        else
            f2().btEditCityPicClick();
    }

    // The tool marks the middle of the picture by inverting it.
    bool marked(const QString& path)
    {
        const QImage img(path);
        if (img.isNull())
            return false;
        const QColor c = img.pixelColor(img.width() / 2 - 1, img.height() / 2 - 1);
        const QColor want(255 - colour().red(), 255 - colour().green(), 255 - colour().blue());
        return c == want;
    }
};

TEST_P(ToolRunOutcome, ResultGoesWhereTheContractSays)
{
    const RunCase& c = run();
    const QString tool = c.toolMissing ? program.path() + u"nothing/tool"_s
        : c.toolInProgramFolder        ? toolInProgram()
                                       : QStringLiteral(FAKE_PICTURE_TOOL);
    registerTools({u"Picture="_s + tool, u"Other=/opt/other"_s});
    if (c.change)
        env("FAKE_TOOL_CHANGE", u"1"_s);
    QString received;
    if (c.saveAs) {
        received = program.path() + u"out/"_s + QString::fromUtf16(c.saveAs);
        QDir().mkpath(program.path() + u"out"_s);
        env("FAKE_TOOL_SAVE_AS", received);
    }
    if (c.notify)
        env("FAKE_TOOL_NOTIFY", u"1"_s);
    if (c.size)
        env("FAKE_TOOL_SIZE", QString::fromLatin1(c.size));
    if (c.crash)
        env("FAKE_TOOL_CRASH", u"1"_s);
    // Written before the run starts, as any picture the user opens in the tool.
    const QString opened = program.path() + u"in/opened.bmp"_s;
    if (c.openedOther) {
        writePicture(opened, MapPictures::requiredSize(kind()), Qt::blue);
        env("FAKE_TOOL_OPENED", opened);
    }

    QString previous = prepare();
    ASSERT_FALSE(previous.isEmpty());
    if (c.pictureMissing)
        current() = previous = f1().PictureFolder + u"/gone.bmp"_s;
    const QStringList filesBefore = QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name);
    prompter->asked.clear();
    returned() = u"stale"_s;

    edit();

    EXPECT_FALSE(f1().ToolRunning);
    if (c.warning) {
        EXPECT_TRUE(asked(QString(QString::fromUtf16(c.warning)).replace(u"<tool>"_s, tool)))
            << prompter->lastText().toStdString();
    }
    switch (c.result) {
    case RunCase::Previous:
        EXPECT_EQ(current(), previous);
        EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name), filesBefore)
            << "the working copy made for the run is gone";
        EXPECT_NE(returned(), u"stale"_s);
        EXPECT_FALSE(asked(u"「画像フォルダ」"_s)) << "nothing was imported";
        break;
    case RunCase::WorkingCopy:
        EXPECT_NE(current(), previous);
        EXPECT_EQ(QFileInfo(current()).absolutePath(), QFileInfo(previous).absolutePath());
        EXPECT_TRUE(marked(current()));
        EXPECT_FALSE(marked(previous)) << "the old picture is left as it was";
        EXPECT_EQ(returned(), c.notify ? current() : QString());
        EXPECT_TRUE(prompter->lastText().contains(u"フォルダに，\r\n新しい"_s)) << prompter->lastText().toStdString();
        break;
    case RunCase::KeptAside: {
        EXPECT_EQ(current(), previous);
        const QStringList files = QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name);
        ASSERT_EQ(files.size(), filesBefore.size() + 1) << "the edited picture is kept";
        for (const QString& f : files) {
            if (!filesBefore.contains(f)) {
                EXPECT_EQ(QImage(f1().PictureFolder + u'/' + f).size(), QSize(320, 200));
            }
        }
        break;
    }
    case RunCase::ReceivedFile: {
        EXPECT_EQ(returned(), received);
        EXPECT_NE(current(), previous);
        EXPECT_TRUE(marked(current()));
        EXPECT_FALSE(marked(previous));
        QStringList expected = filesBefore;
        expected << QFileInfo(current()).fileName();
        expected.sort();
        EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name), expected)
            << "the unused copy made for the run is gone";
        break;
    }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolRunOutcome,
    ::testing::Combine(
        ::testing::Values(int(MapPictures::MapKind), int(MapPictures::DestinationKind)),
        ::testing::Values(
            RunCase{.name = "ChangedAndNotified", .change = true, .notify = true, .result = RunCase::WorkingCopy},
            RunCase{.name = "SavedElsewhereAndNotified",
                    .saveAs = u"other.bmp",
                    .notify = true,
                    .result = RunCase::ReceivedFile},
            RunCase{.name = "ChangedWithoutNotice",
                    .toolInProgramFolder = false,
                    .change = true,
                    .result = RunCase::WorkingCopy},
            RunCase{.name = "Unchanged", .result = RunCase::Previous},
            // The tool only opened its working copy and named it back.
            RunCase{.name = "OwnCopyNamedBackUnchanged", .notify = true, .result = RunCase::Previous},
            // Another picture only opened in the tool is no change.
            RunCase{.name = "OtherPictureOnlyOpened", .notify = true, .openedOther = true, .result = RunCase::Previous},
            // Saved at the wrong size, the size correction cancelled (no script answers it).
            RunCase{.name = "WrongSizeCorrectionCancelled",
                    .change = true,
                    .size = "320x200",
                    .result = RunCase::KeptAside},
            RunCase{.name = "NoticeNamesNoReadablePicture",
                    .saveAs = u"other.png",
                    .notify = true,
                    .result = RunCase::Previous,
                    .warning = u"外部ツールから受け取った画像ファイル"},
            // What the tool saved before it crashed is taken, after saying it crashed.
            RunCase{.name = "CrashedAfterSaving",
                    .change = true,
                    .notify = true,
                    .result = RunCase::WorkingCopy,
                    .warning = u"外部ツール \"<tool>\" が異常終了しました。",
                    .crash = true},
            RunCase{.name = "CrashedWithoutSaving",
                    .result = RunCase::Previous,
                    .warning = u"外部ツール \"<tool>\" が異常終了しました。",
                    .crash = true},
            RunCase{.name = "ToolMissing",
                    .change = true,
                    .toolMissing = true,
                    .result = RunCase::Previous,
                    .warning = u"外部ツール \"<tool>\" が\r\n見つかりません。"},
            RunCase{.name = "PictureMissing",
                    .change = true,
                    .pictureMissing = true,
                    .result = RunCase::Previous,
                    .warning = u"画像ファイルが見つかりません。"})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param) == MapPictures::MapKind ? "Map" : "Destination")
            + std::get<1>(info.param).name;
    });

TEST_F(ToolsFixture, NoticeReachesOnlyTheFormThatWaits)
{
    const QString tool = toolInProgram();
    env("FAKE_TOOL_NOTIFY", u"1"_s);
    env("FAKE_TOOL_CHANGE", u"1"_s);
    const QString pic = program.path() + u"in/t.bmp"_s;
    writePicture(pic, {300, 300}, Qt::blue);
    EXPECT_TRUE(f1().RunToolAndWait(tool, pic, MapPictures::TreasureKind));
    EXPECT_EQ(forms->form3->ReturnedFileName, pic);
    EXPECT_TRUE(f2().ReturnedFileName.isEmpty());
    EXPECT_TRUE(f1().ReturnedFileName.isEmpty());

    // A later run of the program listens again under the same names.
    startAtlas({});
    for (SavedPictureNotice::Receiver* r : {f1().PictureNotice, f2().PictureNotice, forms->form3->PictureNotice})
        EXPECT_TRUE(r->isListening()) << r->className().toStdString();
}

// A target without a picture beside a file of its fixed name (a row move leaves such files): the
// blank picture made for the run takes another name, and only that one goes after a run that
// changed nothing.
class EmptyTargetRun : public ToolsFixture, public ::testing::WithParamInterface<int> {};

TEST_P(EmptyTargetRun, BlankPictureLeavesAFileOfTheFixedNameAlone)
{
    const int kind = GetParam();
    const bool map = kind == MapPictures::MapKind;
    registerTools({u"Picture="_s + toolInProgram()});
    const QString fixed = f1().PictureFolder + (map ? u"/map.bmp"_s : u"/03.bmp"_s);
    writePicture(fixed, MapPictures::requiredSize(kind), Qt::green);
    const QByteArray fixedBytes = readBytes(fixed);
    const QStringList filesBefore = QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name);
    QString& current = map ? f1().MapPicturePath : f2().PicturePath;
    if (!map) {
        f2().DestinationIndex = 3;
        f2().PicturePath.clear();
        f2().FormShow();
    }
    auto edit = [&] { map ? f1().mmEditMapPicClick() : f2().btEditCityPicClick(); };

    edit();
    EXPECT_TRUE(current.isEmpty());
    EXPECT_EQ(readBytes(fixed), fixedBytes);
    EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name), filesBefore);

    env("FAKE_TOOL_CHANGE", u"1"_s);
    edit();
    EXPECT_EQ(readBytes(fixed), fixedBytes);
    EXPECT_EQ(QFileInfo(current).absolutePath(), QFileInfo(fixed).absolutePath());
    EXPECT_NE(QFileInfo(current).fileName(), QFileInfo(fixed).fileName());
    EXPECT_EQ(QImage(current).size(), MapPictures::requiredSize(kind)) << current.toStdString();
    EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name).size(), filesBefore.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(Tools, EmptyTargetRun,
                         ::testing::Values(int(MapPictures::MapKind), int(MapPictures::DestinationKind)),
                         [](const auto& info) { return info.param == MapPictures::MapKind ? "Map" : "Destination"; });

// A tool that stays alive until the test lets it go.
class HeldToolRun : public ToolsFixture {
protected:
    void SetUp() override
    {
        ToolsFixture::SetUp();
        env("FAKE_TOOL_LOG", program.path() + u"held.log"_s);
        env("FAKE_TOOL_WAIT_FOR", goAheadFile);
    }
    void TearDown() override
    {
        letGo();
        ToolsFixture::TearDown();
    }

    bool toolStarted()
    {
        return QTest::qWaitFor([this] { return QFileInfo::exists(program.path() + u"held.log"_s); }, 10000);
    }
    void letGo()
    {
        QFile f(goAheadFile);
        f.open(QIODevice::WriteOnly);
    }
    qsizetype warnings() const
    {
        return std::count_if(prompter->asked.begin(), prompter->asked.end(),
                             [](const auto& a) { return a.text == StopTheTool; });
    }
    // Runs each command and returns the names of those that did not answer with the warning.
    QStringList notRefused(const std::vector<std::pair<QString, std::function<void()>>>& commands)
    {
        QStringList out;
        for (const auto& [name, run] : commands) {
            const qsizetype before = warnings();
            run();
            if (warnings() != before + 1)
                out << name;
        }
        return out;
    }

    const QString goAheadFile = program.path() + u"go"_s;
};

TEST_F(HeldToolRun, TheEditorStaysUsableAndRefusesPictureCommandsAndClosingAloud)
{
    const QString tool = toolInProgram();
    registerTools({u"Picture="_s + tool});
    env("FAKE_TOOL_CHANGE", u"1"_s);
    f2().DestinationIndex = 2;
    f2().FormShow();
    const QString source = program.path() + u"in/s.bmp"_s;
    writePicture(source, {400, 225}, Qt::red);
    f2().ImportDestinationPicture(source, true, false);
    const QString before = f2().PicturePath;
    f2().show();

    bool started = false, enabled = false, stillOpen = false, secondRun = true;
    QStringList silent;
    QString during;
    QTimer::singleShot(0, [&] {
        started = toolStarted();
        const QList<QWidget*> controls{f2().btEditCityPic, f2().btLoadCityPic, f2().btDeleteCityPic, f2().bbUndo,
                                       f2().btOK,          f2().btCancel,      f2().Edit1,           f2().Memo1};
        enabled = std::all_of(controls.begin(), controls.end(), [](QWidget* w) { return w->isEnabled(); });
        silent = notRefused({
            {u"編集する"_s, [&] { f2().btEditCityPic->click(); }},
            {u"取り込む"_s, [&] { f2().btLoadCityPic->click(); }},
            {u"削除"_s, [&] { f2().btDeleteCityPic->click(); }},
            {u"元に戻す"_s, [&] { f2().bbUndoClick(); }},
            {u"先に戻す"_s, [&] { f2().bbRedoClick(); }},
            {u"OK"_s, [&] { f2().btOK->click(); }},
            {u"キャンセル"_s, [&] { f2().btCancel->click(); }},
            {u"F4"_s, [&] { QTest::keyClick(f2().Memo1, Qt::Key_F4); }},
            {u"Esc"_s, [&] { QTest::keyClick(f2().Edit1, Qt::Key_Escape); }},
            {u"close"_s, [&] { f2().close(); }},
            {u"main window close"_s, [&] { f1().FormClose(); }},
            {u"second run"_s, [&] { secondRun = f1().RunToolAndWait(tool, source, MapPictures::DestinationKind); }},
        });
        stillOpen = f2().isVisible();
        during = f2().PicturePath;
        letGo();
    });
    f2().btEditCityPicClick();

    ASSERT_TRUE(started) << "events were processed during the wait";
    EXPECT_TRUE(enabled);
    EXPECT_EQ(silent, QStringList());
    EXPECT_TRUE(stillOpen);
    EXPECT_FALSE(secondRun);
    EXPECT_EQ(during, before);
    EXPECT_TRUE(prompter->fileRequests.empty());
    EXPECT_EQ(prompter->unscripted, 0) << "no question was asked";

    EXPECT_FALSE(f1().CheckToolRunning());
    EXPECT_TRUE(f2().PicturePath.endsWith(u"02_001.bmp"_s)) << f2().PicturePath.toStdString();
    f2().hide();
}

TEST_F(HeldToolRun, TheMainWindowStaysUsableAndAWindowOpenedMeanwhileClosesOnceTheToolHasEnded)
{
    registerTools({u"Picture="_s + toolInProgram()});
    const QString source = program.path() + u"in/m.bmp"_s;
    writePicture(source, {960, 435}, Qt::green);
    f1().ImportMapPicture(source, true);
    const QString picture = f1().MapPicturePath, map = f1().MapFilePath;
    const QStringList filesBefore = QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name);

    bool started = false, enabled = false, islandToggled = false, refusedWhileAlive = false;
    QStringList silent;
    QString during;
    int editorResult = 0;
    prompter->modals = {[&](QDialog& d) {
        // The destination editor, opened while the tool runs.
        auto& f2 = dynamic_cast<TForm2&>(d);
        f2.setResult(0);
        f2.btOKClick();
        refusedWhileAlive = f2.result() == 0;
        letGo();
        EXPECT_TRUE(QTest::qWaitFor([] { return !ToolRunner::isRunning(); }, 10000));
        f2.btOKClick();
        return f2.result();
    }};
    QTimer::singleShot(0, [&] {
        started = toolStarted();
        enabled = f1().centralWidget()->isEnabled() && f1().menuBar()->isEnabled();
        const bool island = f1().cbSima->isChecked();
        f1().cbSima->click();
        islandToggled = f1().cbSima->isChecked() != island;
        silent = notRefused({
            {u"地図画像を取り込む"_s, [&] { f1().mmLoadMapPic->trigger(); }},
            {u"地図画像を編集する"_s, [&] { f1().mmEditMapPic->trigger(); }},
            {u"新規作成"_s, [&] { f1().mmNew->trigger(); }},
            {u"開く"_s, [&] { f1().mmOpen->trigger(); }},
            {u"上書き保存"_s, [&] { f1().mmSave->trigger(); }},
            {u"名前を付けて保存"_s, [&] { f1().mmSaveAs1->trigger(); }},
            {u"直接編集"_s, [&] { f1().mmMapFile->trigger(); }},
            {u"作業用画像ファイルを消去する"_s, [&] { f1().mmDeleteTemp->trigger(); }},
            {u"開き直す"_s, [&] { f1().OpenFromHistory(u"画像と音声/マップファイル/a.map"_s); }},
            {u"元に戻す"_s, [&] { f1().bbUndoClick(); }},
            {u"先に戻す"_s, [&] { f1().bbRedoClick(); }},
            {u"close"_s, [&] { f1().close(); }},
        });
        during = f1().MapPicturePath;
        f1().bbCityInfoEditClick();
        editorResult = forms->form2->result();
    });
    f1().mmEditMapPicClick();

    ASSERT_TRUE(started) << "events were processed during the wait";
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(islandToggled);
    EXPECT_EQ(silent, QStringList());
    EXPECT_EQ(during, picture) << "the map names its picture until the run is over";
    EXPECT_TRUE(prompter->fileRequests.empty());
    EXPECT_EQ(prompter->unscripted, 0) << "no question was asked";
    EXPECT_TRUE(refusedWhileAlive);
    EXPECT_EQ(editorResult, int(QDialog::Accepted));

    EXPECT_FALSE(f1().ToolRunning);
    EXPECT_EQ(f1().MapPicturePath, picture);
    EXPECT_EQ(f1().MapFilePath, map);
    EXPECT_EQ(QDir(f1().PictureFolder).entryList(QDir::Files, QDir::Name), filesBefore);
}

// A second copy of the tool started by hand names a picture to the waiting form: the form takes
// nothing from a program it did not start, during its own run or after it.
TEST_F(HeldToolRun, APictureFromAProgramTheFormDidNotStartIsRefused)
{
    registerTools({u"Picture="_s + toolInProgram()});
    f2().DestinationIndex = 4;
    f2().PicturePath.clear();
    f2().FormShow();
    const QString source = program.path() + u"in/s.bmp"_s, stray = program.path() + u"in/stray.bmp"_s;
    writePicture(source, {400, 225}, Qt::red);
    // Saves its picture and hands it to the destination editor's receiver; 93 when refused.
    auto strayTool = [&] {
        QProcess tool;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"FAKE_TOOL_LOG", "FAKE_TOOL_WAIT_FOR", "FAKE_TOOL_CHANGE"})
            environment.remove(QString::fromLatin1(name));
        environment.insert(u"FAKE_TOOL_SAVE_AS"_s, stray);
        environment.insert(u"FAKE_TOOL_NOTIFY"_s, u"1"_s);
        environment.insert(QString::fromLatin1(SavedPictureNotice::ReceiverVariable), f2().PictureNotice->socketPath());
        tool.setProcessEnvironment(environment);
        tool.start(QStringLiteral(FAKE_PICTURE_TOOL), {source, u"TForm2"_s});
        // The receiver answers in this thread's events.
        EXPECT_TRUE(QTest::qWaitFor([&] { return tool.state() == QProcess::NotRunning; }, 20000));
        return tool.exitCode();
    };

    int during = 0;
    QString named;
    QTimer::singleShot(0, [&] {
        EXPECT_TRUE(toolStarted());
        during = strayTool();
        named = f2().ReturnedFileName;
        letGo();
    });
    f2().btEditCityPicClick();
    EXPECT_EQ(during, 93);
    EXPECT_TRUE(named.isEmpty());
    EXPECT_TRUE(f2().PicturePath.isEmpty()) << "the run itself changed nothing";
    EXPECT_FALSE(asked(u"「画像フォルダ」"_s));

    EXPECT_EQ(strayTool(), 93) << "no run is waited for";
    EXPECT_TRUE(f2().ReturnedFileName.isEmpty());
    EXPECT_TRUE(f2().PicturePath.isEmpty());
}

// The tools dialog and its entry dialog

struct CaptionCase {
    const char16_t* caption;
    const char16_t* message; // nullptr: accepted
};

TEST_F(ToolsFixture, EntryDialogRefusesCaptionsTheSettingsFileCannotKeep)
{
    const CaptionCase cases[] = {
        {u"a=b", u"［項目名］に，\"=\" は使えません。"},
        {u"a-b", u"［項目名］に，半角の \"-\" は使えません。"},
        {u"=-", u"［項目名］に，\"=\" は使えません。"},
        {u"  ", u"［項目名］を指定して下さい。"},
        {u"", u"［項目名］を指定して下さい。"},
        {u";note", u"［項目名］の先頭に，\";\" と \"[\" は使えません。"},
        {u" [x]", u"［項目名］の先頭に，\";\" と \"[\" は使えません。"},
        {u"PAINT", u"［項目名］の \"PAINT\" は，すでに登録されています。"},
        {u" paint ", u"［項目名］の \"paint\" は，すでに登録されています。"},
        {u"😀", u"［項目名］に，\"😀\" は使えません。\r\n設定ファイルに正しく保存できません。"},
        {u"Ｐａｉｎｔ", nullptr}, // full-width letters are another caption
        {u"お絵かき－ツール", nullptr},
        {u"x;y[z]", nullptr},
    };
    for (const CaptionCase& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.caption).toStdString());
        input().OtherCaptions = {u"Paint"_s, u"View"_s};
        input().Edit1->setText(QString::fromUtf16(c.caption));
        input().Edit2->setText(u"tools/x"_s);
        input().setResult(0);
        prompter->asked.clear();
        input().btOKClick();
        if (c.message) {
            EXPECT_EQ(input().result(), 0);
            EXPECT_EQ(prompter->lastText(), QString::fromUtf16(c.message));
        } else {
            EXPECT_EQ(input().result(), QDialog::Accepted);
            EXPECT_TRUE(prompter->asked.empty());
        }
    }
    input().Edit1->setText(u"Ok"_s);
    input().Edit2->setText(u"tools/😀"_s);
    input().setResult(0);
    input().btOKClick();
    EXPECT_EQ(input().result(), 0) << "a path the settings file cannot hold";
}

// Whatever the settings file could not give back is refused in the dialog it was typed or pasted
// into, named, in every field that feeds the file.
struct RefusalCase {
    const char* name;
    QString text;
    QString fault; // empty: accepted
};

class SettingsFieldRefusal : public ToolsFixture, public ::testing::WithParamInterface<std::tuple<int, RefusalCase>> {
protected:
    enum { Caption, Path, NoChangeChars };
};

TEST_P(SettingsFieldRefusal, RefusedWhereItIsTypedAndNamed)
{
    const auto& [field, c] = GetParam();
    const QString text = u"ab"_s + c.text + u"cd"_s;
    prompter->asked.clear();
    bool accepted = false;
    QString name;
    if (field == NoChangeChars) {
        f1().NoChangeChars = u"、"_s;
        TFormHanZenSettei form(f1().ConvertFlags, f1().NoChangeChars, &f1());
        form.memoNoChange->setText(text);
        form.btOK->click();
        accepted = f1().NoChangeChars == text;
        EXPECT_EQ(f1().NoChangeChars, accepted ? text : u"、"_s);
        name = u"変換禁止文字"_s;
    } else {
        input().Label2->setText(u"実行ファイル名"_s);
        input().OtherCaptions.clear();
        input().Edit1->setText(field == Caption ? text : u"Tool"_s);
        input().Edit2->setText(field == Path ? text : u"/usr/bin/tool"_s);
        input().setResult(0);
        input().btOKClick();
        accepted = input().result() == QDialog::Accepted;
        name = field == Caption ? u"［項目名］"_s : u"［実行ファイル名］"_s;
    }
    if (c.fault.isEmpty()) {
        EXPECT_TRUE(accepted);
        EXPECT_TRUE(prompter->asked.empty());
        return;
    }
    EXPECT_FALSE(accepted);
    EXPECT_TRUE(prompter->lastText().startsWith(name + u"に，"_s + c.fault)) << prompter->lastText().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Tools, SettingsFieldRefusal,
    ::testing::Combine(
        ::testing::Values(0, 1, 2),
        ::testing::Values(RefusalCase{"TwoLinesFromATerminal", u"\n/usr/bin/"_s, u"改行"_s},
                          RefusalCase{"CarriageReturn", u"\r\n"_s, u"改行"_s}, RefusalCase{"Tab", u"\t"_s, u"タブ"_s},
                          RefusalCase{"Bell", u"\a"_s, u"制御文字（U+0007）"_s},
                          RefusalCase{"C1Control", u"\u0085"_s, u"制御文字（U+0085）"_s},
                          RefusalCase{"WaveDash", u"〜"_s, u"\"〜\""_s}, RefusalCase{"MinusSign", u"−"_s, u"\"−\""_s},
                          RefusalCase{"EmDash", u"—"_s, u"\"—\""_s},
                          RefusalCase{"DoubleVerticalLine", u"‖"_s, u"\"‖\""_s},
                          RefusalCase{"Cent", u"¢"_s, u"\"¢\""_s}, RefusalCase{"Pound", u"£"_s, u"\"£\""_s},
                          RefusalCase{"Not", u"¬"_s, u"\"¬\""_s}, RefusalCase{"Emoji", u"😀"_s, u"\"😀\""_s},
                          RefusalCase{"FullWidthTildeAndMinus", u"～－―∥￠"_s, QString()})),
    [](const auto& info) {
        return std::string(std::array{"Caption", "Path", "NoChangeChars"}[std::get<0>(info.param)]) + "_"
               + std::get<1>(info.param).name;
    });

TEST_F(ToolsFixture, EntryDialogKeysAndBrowse)
{
    input().OtherCaptions.clear();
    input().Edit1->setText(u"a=b"_s);
    input().setResult(0);
    EXPECT_TRUE(input().FormKeyDown(Qt::Key_Return));
    EXPECT_EQ(input().result(), 0);
    input().Edit1->setText(u"ok"_s);
    EXPECT_TRUE(input().FormKeyDown(Qt::Key_Enter));
    EXPECT_EQ(input().result(), QDialog::Accepted);
    EXPECT_TRUE(input().FormKeyDown(Qt::Key_Escape));
    EXPECT_EQ(input().result(), QDialog::Rejected);
    EXPECT_FALSE(input().FormKeyDown(Qt::Key_A));

    prompter->files = {program.path() + u"tools/sub/paint"_s, u"/opt/paint/paint"_s, QString()};
    input().btSansyouClick();
    EXPECT_EQ(input().Edit2->text(), u"tools/sub/paint"_s) << "inside the program folder: relative";
    EXPECT_EQ(prompter->fileRequests.back().title, u"外部ツールの追加"_s);
    EXPECT_EQ(prompter->fileRequests.back().folder, f1().SettingsFolder);
    input().btSansyouClick();
    EXPECT_EQ(input().Edit2->text(), u"/opt/paint/paint"_s);
    input().btSansyouClick();
    EXPECT_EQ(input().Edit2->text(), u"/opt/paint/paint"_s) << "Cancel keeps the text";
}

TEST_F(ToolsFixture, AddAndEditGoThroughTheEntryDialog)
{
    toolSet().setEntries({u"Paint=tools/p"_s});
    prompter->modals = {typeEntry(u"View"_s, u"/opt/view"_s)};
    toolSet().bt6_AddClick();
    EXPECT_EQ(input().windowTitle(), u"外部ツールの追加"_s);
    EXPECT_EQ(input().Label1->text(), u"項目名（半角の \"=\" と \"-\" は使えません。）"_s);
    EXPECT_EQ(input().Label2->text(), u"実行ファイル名"_s);
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Paint=tools/p"_s, u"View=/opt/view"_s}));
    EXPECT_EQ(toolSet().selectedIndex(), 1);

    // A refused caption adds nothing.
    prompter->modals = {typeEntry(u"paint"_s, u"x"_s)};
    toolSet().bt6_AddClick();
    EXPECT_EQ(toolSet().entries().size(), 2);

    toolSet().selectIndex(-1);
    toolSet().bt6_EditClick();
    EXPECT_EQ(prompter->lastText(), SelectFirst);

    toolSet().setEntries({u" Paint = tools/p "_s, u"View=/opt/view"_s});
    toolSet().selectIndex(0);
    QString shownCaption, shownPath;
    prompter->modals = {[&](QDialog& d) {
        shownCaption = input().Edit1->text();
        shownPath = input().Edit2->text();
        return typeEntry(u"PAINT"_s, u"tools/p2"_s)(d);
    }};
    toolSet().bt6_EditClick();
    EXPECT_EQ(input().windowTitle(), u"外部ツールの編集"_s);
    EXPECT_EQ(input().Label1->text(), u"項目名（\"=\" と \"-\" は使えません。）"_s);
    EXPECT_EQ(shownCaption, u"Paint"_s);
    EXPECT_EQ(shownPath, u"tools/p"_s);
    EXPECT_EQ(toolSet().entries(), (QStringList{u"PAINT=tools/p2"_s, u"View=/opt/view"_s}))
        << "its own caption in another case is no clash";
}

TEST_F(ToolsFixture, DeleteAsksFirst)
{
    toolSet().setEntries({u"A=a"_s, u"B=b"_s});
    toolSet().bt6_DelClick();
    EXPECT_EQ(prompter->lastText(), SelectFirst);
    toolSet().selectIndex(0);
    prompter->answers = {Answer::No, Answer::Yes};
    toolSet().bt6_DelClick();
    EXPECT_EQ(prompter->lastText(), u"削除します。いいですか。"_s);
    EXPECT_EQ(toolSet().entries().size(), 2);
    toolSet().bt6_DelClick();
    EXPECT_EQ(toolSet().entries(), QStringList{u"B=b"_s});
    EXPECT_EQ(toolSet().selectedIndex(), -1);
}

TEST_F(ToolsFixture, UpAndDownSwapWithTheNeighbour)
{
    const QStringList abc{u"A"_s, u"B"_s, u"C"_s};
    const struct {
        int selected;
        bool up;
        QStringList expected;
        int selectedAfter;
    } cases[] = {
        {1, true, {u"B"_s, u"A"_s, u"C"_s}, 0},
        {0, true, abc, 0},
        {1, false, {u"A"_s, u"C"_s, u"B"_s}, 2},
        {2, false, abc, 2},
        {-1, true, abc, -1},
        {-1, false, abc, -1},
    };
    for (const auto& c : cases) {
        toolSet().setEntries(abc);
        toolSet().selectIndex(c.selected);
        c.up ? toolSet().bb6_UpClick() : toolSet().bb6_DownClick();
        EXPECT_EQ(toolSet().entries(), c.expected) << c.selected << (c.up ? " up" : " down");
        EXPECT_EQ(toolSet().selectedIndex(), c.selectedAfter);
    }
}

TEST_F(ToolsFixture, DraggingMovesAnEntryToWhereItIsDropped)
{
    const QStringList abcd{u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    toolSet().setEntries(abcd);
    toolSet().show();
    QListWidget* list = toolSet().lbox6_5;
    auto at = [list](int i) { return list->visualItemRect(list->item(i)).center(); };
    const QPoint below(5, list->viewport()->height() - 3);
    ASSERT_LT(at(3).y(), below.y() - 20);
    const struct {
        int from;
        int to; // -1: below the last entry
        QStringList expected;
        int selected;
    } cases[] = {
        {0, 2, {u"B"_s, u"C"_s, u"A"_s, u"D"_s}, 2},
        {3, 1, {u"A"_s, u"D"_s, u"B"_s, u"C"_s}, 1},
        {1, 1, abcd, 1},
        {0, -1, {u"B"_s, u"C"_s, u"D"_s, u"A"_s}, 3},
    };
    for (const auto& c : cases) {
        toolSet().setEntries(abcd);
        const QPoint drop = c.to < 0 ? below : at(c.to);
        toolSet().lbox6_5MouseDown(Qt::LeftButton, at(c.from));
        toolSet().lbox6_5DragOver(drop);
        toolSet().lbox6_5DragDrop(drop);
        EXPECT_EQ(toolSet().entries(), c.expected) << c.from << " to " << c.to;
        EXPECT_EQ(toolSet().selectedIndex(), c.selected);
        EXPECT_EQ(toolSet().DragFromIndex, c.selected);
    }

    // A press beside the entries starts no drag.
    toolSet().setEntries(abcd);
    toolSet().lbox6_5MouseDown(Qt::LeftButton, below);
    toolSet().lbox6_5DragDrop(at(0));
    EXPECT_EQ(toolSet().entries(), abcd);

    // The same through the mouse.
    auto send = [list](QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, pos, list->viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(list->viewport(), &e);
    };
    send(QEvent::MouseButtonPress, at(0), Qt::LeftButton);
    send(QEvent::MouseMove, at(1), Qt::LeftButton);
    send(QEvent::MouseMove, at(2), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, at(2), Qt::NoButton);
    EXPECT_EQ(toolSet().entries(), (QStringList{u"B"_s, u"C"_s, u"A"_s, u"D"_s}));
    toolSet().hide();
}

TEST_F(ToolsFixture, CancelPutsBackWhatTheDialogOpenedWith)
{
    writeSettings(u"[編集操作]\r\n変換条件=3\r\n[外部ツール]\r\nOld=tools/old\r\n"_s);
    startAtlas({});

    // OK: the new tool joins the menu; the file is not written yet.
    prompter->modals = {[this](QDialog&) {
                            toolSet().bt6_AddClick();
                            return int(QDialog::Accepted);
                        },
                        typeEntry(u"New"_s, u"tools/new"_s)};
    f1().tbpToolSetteiClick();
    EXPECT_EQ(menuCaptions(f1().tbpTools), (QStringList{u"Old"_s, u"New"_s, u"-"_s, u"外部ツールの設定(&T)"_s}));
    f1().ConvertFlags = 9;

    // Cancel after deleting and adding: the list as it was at opening, the options untouched.
    prompter->answers = {Answer::Yes};
    prompter->modals = {[this](QDialog&) {
                            toolSet().selectIndex(0);
                            toolSet().bt6_DelClick();
                            toolSet().bt6_AddClick();
                            return int(QDialog::Rejected);
                        },
                        typeEntry(u"Third"_s, u"tools/third"_s)};
    f1().tbpToolSetteiClick();
    EXPECT_EQ(toolSet().entries(), (QStringList{u"Old=tools/old"_s, u"New=tools/new"_s}));
    EXPECT_EQ(f1().ConvertFlags, 9);
    EXPECT_EQ(menuCaptions(f1().tbpTools), (QStringList{u"Old"_s, u"New"_s, u"-"_s, u"外部ツールの設定(&T)"_s}));
    EXPECT_EQ(prompter->unscripted, 0);
}
