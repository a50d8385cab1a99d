#include "EaselFixture.h"

#include <QFile>

namespace {

using Prompter::Answer;

const QString NotSavedBack = u"保存した画像ファイルの名前を\r\nマップエディタに渡せませんでした。\r\n"_s;
const QString NotOpenedBack = u"開いた画像ファイルの名前を\r\nマップエディタに渡せませんでした。\r\n"_s;

// The receiver the map editor names in the environment is read when the editor starts, so each
// test sets it before start() and nothing of it outlives the test.
class CallerNoticeTest : public EaselFixture {
protected:
    void SetUp() override
    {
        qunsetenv(SavedPictureNotice::ReceiverVariable);
        EaselFixture::SetUp();
    }
    void TearDown() override
    {
        qunsetenv(SavedPictureNotice::ReceiverVariable);
        EaselFixture::TearDown();
    }
    void startNamed(const QString& socket, const QStringList& arguments)
    {
        qputenv(SavedPictureNotice::ReceiverVariable, QFile::encodeName(socket));
        start(arguments);
    }
    void saveOver()
    {
        stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
        prompter->answers.push_back(Answer::Yes);
        ed().mmPicSaveClick();
    }
};

// The form that started the editor gets the names, not a newer form of its class name (another
// copy of atlas); a picture only opened is told with its own mark, which the form never takes.
TEST_F(CallerNoticeTest, TheNamedReceiverGetsTheNames)
{
    ReceiverThread waiting(u"TForm2"_s);
    ReceiverThread newer(u"TForm2"_s);
    const QString picture = writePicture(u"画像と音声/マップ画像/m/03_001.bmp"_s, patternPicture({40, 30}));
    startNamed(waiting.socketPath(), {picture, u"TForm2"_s});
    EXPECT_EQ(ed().CallerReceiver, waiting.socketPath());

    saveOver();
    const QString other = writePicture(u"other.bmp"_s, patternPicture({20, 20}));
    prompter->files.push_back(other);
    ed().mmPicOpenClick();
    EXPECT_EQ(waiting.names(), QStringList{picture});
    EXPECT_TRUE(newer.names().isEmpty());
    EXPECT_EQ(ed().NoticesSent, 2);
    EXPECT_EQ(prompter->lastText(), u"上書き保存します。いいですか。"_s);
}

// A name that cannot be handed back is told, after a save (which stands) and after an open; a
// named receiver that is gone is not replaced by another of the class name.
TEST_F(CallerNoticeTest, NameThatCannotBeHandedBackIsTold)
{
    ReceiverThread other(u"TForm2"_s);
    QString gone;
    {
        ReceiverThread ended(u"TForm2"_s);
        gone = ended.socketPath();
    }
    const QString picture = writePicture(u"p.bmp"_s, patternPicture({40, 30}));
    const struct {
        const char* what;
        QString socket, className;
    } cases[] = {
        {"named receiver gone", gone, u"TForm2"_s},
        {"named socket outside the folder", program.file(u"p.bmp"_s), QString()},
        {"no receiver of the class name", QString(), u"TFormGone"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompter->asked.clear();
        startNamed(c.socket, {picture, c.className});
        saveOver();
        ASSERT_EQ(prompter->asked.size(), 2u);
        EXPECT_TRUE(prompter->lastText().startsWith(NotSavedBack)) << prompter->lastText().toStdString();
        EXPECT_GT(prompter->lastText().size(), NotSavedBack.size());
        EXPECT_EQ(prompter->asked.back().kind, Prompter::Kind::Warning);
        EXPECT_FALSE(ed().IsChangedSinceSave(1));
        EXPECT_EQ(ed().windowTitle(), u"画像エディタ ～ p.bmp"_s);

        prompter->files.push_back(picture);
        ed().mmPicOpenClick();
        EXPECT_TRUE(prompter->lastText().startsWith(NotOpenedBack)) << prompter->lastText().toStdString();
        EXPECT_EQ(ed().NoticesSent, 0);
    }
    EXPECT_TRUE(other.names().isEmpty());

    // Without a caller nothing is sent and nothing said.
    prompter->asked.clear();
    startNamed(QString(), {picture});
    saveOver();
    EXPECT_EQ(prompter->asked.size(), 1u);
}

// A name the map editor could not take is written all the same, and told after the save; without
// a waiting form nothing is said.
TEST_F(CallerNoticeTest, NameOutsideCodePage932IsSavedAndToldWhileAFormWaits)
{
    ReceiverThread waiting(u"TForm1"_s);
    const QString picture = writePicture(u"map.bmp"_s, patternPicture({40, 30}));
    // "〜" has a code, but it reads back as "～", another file on this system.
    const std::pair<QString, QString> names[] = {{u"café.bmp"_s, u"é"_s}, {u"書き出し〜/a.bmp"_s, u"〜"_s}};
    QDir().mkpath(program.file(u"書き出し〜"_s));
    for (const QString& socket : {QString(), waiting.socketPath()}) {
        for (const auto& [name, character] : names) {
            QFile::remove(program.file(name));
            startNamed(socket, {picture, socket.isEmpty() ? u"TForm1"_s : QString()});
            stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
            prompter->asked.clear();
            prompter->files.push_back(program.file(name));
            EXPECT_TRUE(ed().SaveAsDialog());
            ASSERT_EQ(prompter->asked.size(), 1u);
            EXPECT_TRUE(prompter->lastText().startsWith(NotSavedBack)) << prompter->lastText().toStdString();
            EXPECT_TRUE(prompter->lastText().contains(character)) << prompter->lastText().toStdString();
            EXPECT_EQ(PictureFile::load(program.file(name)).pixel(0, 0), qRgb(0, 0, 0));
            EXPECT_EQ(ed().PictureFileName, program.file(name));
            EXPECT_FALSE(ed().IsChangedSinceSave(1));
        }
    }
    EXPECT_TRUE(waiting.names().isEmpty());

    startNamed(QString(), {picture});
    stamp(solidPicture({4, 4}, qRgb(0, 0, 0)), {0, 0});
    prompter->asked.clear();
    QFile::remove(program.file(u"café.bmp"_s));
    prompter->files.push_back(program.file(u"café.bmp"_s));
    EXPECT_TRUE(ed().SaveAsDialog());
    EXPECT_TRUE(prompter->asked.empty());
    EXPECT_TRUE(program.exists(u"café.bmp"_s));
}

} // namespace
