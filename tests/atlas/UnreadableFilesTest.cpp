// Every reader of a user's file in the map editor (and the platform, picture and mark-up pieces it
// uses) against what must never be read: each refuses with a message naming the file and why, at
// once, without taking in anything near what the file claims to hold, and the open map, pictures
// and pages stay as they were.
#include "AtlasFixture.h"

#include "BmpPicture.h"
#include "FileHistory.h"
#include "HostileFolder.h"
#include "JpegPicture.h"
#include "MapFile.h"
#include "MapSave.h"
#include "MyRichEdit.h"
#include "ProfileFile.h"
#include "Unit2.h"
#include "Unit3.h"
#include "UnitEditText.h"
#include "UnitPictureKiridasi.h"
#include "UnitRefPage.h"
#include "UnitToolSet.h"

#include <QCryptographicHash>

#include <tuple>

namespace {

class UnreadableFiles;

struct Reader {
    const char* name;
    qint64 limit;
    // Where the reader meets the file.
    std::function<QString(UnreadableFiles&)> where;
    // Reads it; the message the user (or the caller) is given.
    std::function<QString(UnreadableFiles&, const QString& path)> read;
    // Whether the message says why; the save's journal only says that it cannot be read.
    bool tellsWhy = true;
    // Only the file's start is read, whatever its size.
    bool readsStart = false;
    // The entry goes whole, with its folder, to the folder the message names last (the save's
    // journal: a save cut short that cannot be finished is put where the user sees it).
    bool setsAside = false;
};

QByteArray pixels(const QImage& image)
{
    return QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()), QCryptographicHash::Sha1);
}

// The entry as it stands (never followed), to see that a refusal leaves it alone.
std::string entryOf(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "missing";
    return std::to_string(info.st_mode) + ' ' + std::to_string(info.st_size);
}

class UnreadableFiles : public AtlasFixture, public ::testing::WithParamInterface<std::tuple<int, Unreadable>> {
public:
    using AtlasFixture::f1;
    using AtlasFixture::forms;
    using AtlasFixture::mapPath;
    using AtlasFixture::pictureFolder;
    using AtlasFixture::prompter;
    TForm2& f2() { return *forms->form2; }
    TForm3& f3() { return *forms->form3; }
    TFormEditText& editor() { return *forms->formEditText; }
    QString outside(const QString& name) { return program.path() + u"in/"_s + name; }

    // What a form told last, when it told anything.
    QString told(size_t before) { return prompter->asked.size() > before ? prompter->lastText() : QString(); }

    // The open map, its pictures in every form, the scratch pages.
    QStringList document()
    {
        QStringList d{MapFile::text(f1().Doc, QFileInfo(f1().MapPicturePath).fileName()),
                      f1().MapFilePath,
                      f1().MapPicturePath,
                      QString::fromLatin1(pixels(f1().MapPicture).toHex()),
                      f2().PicturePath,
                      f3().TreasurePicturePath,
                      forms->formPictureKiridasi->PictureFileName,
                      QString::fromLatin1(pixels(forms->formPictureKiridasi->WorkBitmap).toHex())};
        for (const auto& page : editor().ScratchPages)
            d << page->FileName << page->MyRichEdit1->Text();
        return d;
    }
};

const Reader readers[] = {
    {"PictureFile", FileOps::ReadLimit::Picture, [](UnreadableFiles& t) { return t.outside(u"p.jpg"_s); },
     [](UnreadableFiles&, const QString& path) {
         EXPECT_TRUE(PictureFile::contentSuffix(path).isEmpty());
         QString why;
         EXPECT_TRUE(PictureFile::load(path, &why).isNull());
         return why;
     }},
    {"BmpPicture", FileOps::ReadLimit::Picture, [](UnreadableFiles& t) { return t.outside(u"p.bmp"_s); },
     [](UnreadableFiles&, const QString& path) {
         QString why;
         EXPECT_TRUE(BmpPicture::readFile(path, &why).isNull());
         return why;
     }},
    {"JpegPicture", FileOps::ReadLimit::Picture, [](UnreadableFiles& t) { return t.outside(u"p.jpg"_s); },
     [](UnreadableFiles&, const QString& path) {
         JpegPicture picture(QImage(3, 2, QImage::Format_RGB32));
         try {
             picture.loadFromFile(path);
         } catch (const JpegError& e) {
             EXPECT_EQ(picture.image().size(), QSize(3, 2)) << "the picture it held stays";
             return e.detail();
         }
         return QString();
     }},
    {"ProfileFile", FileOps::ReadLimit::Settings, [](UnreadableFiles& t) { return t.outside(u"x.ini"_s); },
     [](UnreadableFiles&, const QString& path) {
         ProfileFile ini(path);
         QString why;
         EXPECT_FALSE(ini.load(&why));
         return why;
     }},
    {"FileHistory", FileOps::ReadLimit::Settings, [](UnreadableFiles& t) { return t.outside(u"history.txt"_s); },
     [](UnreadableFiles&, const QString& path) {
         FileHistory history;
         QString why;
         EXPECT_FALSE(history.load(path, &why));
         return path + why;
     }},
    {"MapHistory", FileOps::ReadLimit::Settings, [](UnreadableFiles& t) { return t.f1().HistoryFilePath; },
     [](UnreadableFiles& t, const QString&) {
         const size_t before = t.prompter->asked.size();
         t.f1().LoadHistoryMenu();
         return t.told(before);
     }},
    {"ToolSettings", FileOps::ReadLimit::Settings, [](UnreadableFiles& t) { return t.f1().SettingsFilePath; },
     [](UnreadableFiles& t, const QString&) {
         const size_t before = t.prompter->asked.size();
         t.forms->formToolSet->SaveToolSettings();
         return t.told(before);
     }},
    {"SaveJournal", FileOps::ReadLimit::Settings,
     [](UnreadableFiles&) {
         const QString folder = MapFolders::mapPictureRoot() + u'/' + MapSave::transactionName();
         QDir().mkpath(folder);
         return folder + u"/journal"_s;
     },
     [](UnreadableFiles&, const QString&) {
         QString why;
         MapSave::SetAside setAside;
         EXPECT_TRUE(MapSave::recover(MapFolders::mapPictureRoot(), &why, nullptr, &setAside)) << why.toStdString();
         EXPECT_FALSE(QFileInfo::exists(MapFolders::mapPictureRoot() + u'/' + MapSave::transactionName()))
             << "saves go on";
         return setAside.reason + u"\r\n"_s + setAside.folders.join(u"\r\n"_s);
     },
     false, false, true},
    {"MapFile", FileOps::ReadLimit::Text,
     [](UnreadableFiles& t) {
         QDir().mkpath(t.pictureFolder(u"hostile.map"_s));
         return t.mapPath(u"hostile.map"_s);
     },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         EXPECT_FALSE(t.f1().LoadMapFile(path));
         return t.told(before);
     }},
    {"MapPictureImport", FileOps::ReadLimit::Picture, [](UnreadableFiles& t) { return t.outside(u"map.jpg"_s); },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         t.f1().ImportMapPicture(path, true);
         return t.told(before);
     }},
    {"DestinationPictureImport", FileOps::ReadLimit::Picture,
     [](UnreadableFiles& t) { return t.outside(u"city.bmp"_s); },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         t.f2().ImportDestinationPicture(path, true, false);
         return t.told(before);
     }},
    {"TreasurePictureImport", FileOps::ReadLimit::Picture,
     [](UnreadableFiles& t) { return t.outside(u"treasure.jpg"_s); },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         t.f3().ImportTreasurePicture(path, true, false);
         return t.told(before);
     }},
    {"SizeCorrection", FileOps::ReadLimit::Picture, [](UnreadableFiles& t) { return t.outside(u"cut.bmp"_s); },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         EXPECT_FALSE(t.forms->formPictureKiridasi->LoadPicture(path));
         return t.told(before);
     }},
    {"ScratchPage", FileOps::ReadLimit::Text, [](UnreadableFiles& t) { return t.f1().ScratchFolder + u"/pipe.txt"_s; },
     [](UnreadableFiles& t, const QString& path) {
         const size_t before = t.prompter->asked.size();
         EXPECT_EQ(t.editor().CreateScratchPage(path), nullptr);
         return t.told(before);
     }},
    {"ScratchHistory", FileOps::ReadLimit::Settings,
     [](UnreadableFiles& t) { return t.f1().SettingsFolder + u"/ちょい置き履歴.txt"_s; },
     [](UnreadableFiles& t, const QString&) {
         const size_t before = t.prompter->asked.size();
         // The history is read when the editor is first told where it lies.
         TFormEditText::Host host;
         host.settingsFolder = t.f1().SettingsFolder;
         t.editor().SetHost(host);
         return t.told(before);
     },
     true, true},
};

TEST_P(UnreadableFiles, AreRefusedAtOnceWithTheirReasonAndChangeNothing)
{
    const Reader& reader = readers[std::get<0>(GetParam())];
    const Unreadable kind = std::get<1>(GetParam());

    // A map with an edit, a destination, a treasure, a picture to correct and a scratch page open.
    ASSERT_TRUE(f1().LoadMapFile(installGolden()));
    f1().Doc.rows[1][MapDocument::Title1] = u"編集中"_s;
    writePicture(outside(u"good.bmp"_s), {400, 225}, Qt::blue);
    f2().DestinationIndex = 1;
    f2().PicturePath = outside(u"good.bmp"_s);
    f2().FormShow();
    f3().SelectRow(1);
    ASSERT_TRUE(forms->formPictureKiridasi->LoadPicture(outside(u"good.bmp"_s)));
    forms->formPictureKiridasi->PictureFileName = outside(u"good.bmp"_s);
    QDir().mkpath(f1().ScratchFolder);
    ASSERT_TRUE(editor().CreateScratchPage(program.write(u"page.txt"_s, "memo")));
    const QStringList before = document();

    const QString path = reader.where(*this);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    ASSERT_TRUE(plantUnreadable(path, kind, reader.limit + 1)) << path.toStdString();
    const std::string entry = entryOf(path);

    QString message;
    const ReaderRun run = runReader(path, [&] { message = reader.read(*this, path); });
    EXPECT_FALSE(run.blocked) << "the reader waited on the pipe for a writer";
    if (run.peakRise >= 0)
        EXPECT_LT(run.peakRise, reader.limit / 2) << "the reader took in what the file claims to hold";
    if (reader.readsStart && kind == Unreadable::Oversized)
        EXPECT_TRUE(message.isEmpty()) << message.toStdString();
    else if (!reader.setsAside)
        EXPECT_TRUE(message.contains(QFileInfo(path).fileName())) << message.toStdString();
    if (reader.tellsWhy && !(reader.readsStart && kind == Unreadable::Oversized))
        EXPECT_TRUE(message.contains(kind == Unreadable::Oversized ? u"ファイルが大きすぎます"_s
                                                                   : u"通常のファイルではありません"_s))
            << message.toStdString();
    EXPECT_EQ(document(), before);
    if (reader.setsAside) {
        const QString folder = QDir::fromNativeSeparators(message.section(u"\r\n"_s, -1));
        EXPECT_EQ(entryOf(folder + u'/' + QFileInfo(path).fileName()), entry) << "the entry is kept whole";
    } else {
        EXPECT_EQ(entryOf(path), entry) << "the entry stays as it was";
    }
}

std::string readerName(const ::testing::TestParamInfo<std::tuple<int, Unreadable>>& info)
{
    static const char* const kinds[] = {"Pipe", "LinkToDevZero", "Oversized"};
    return std::string(readers[std::get<0>(info.param)].name) + kinds[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Readers, UnreadableFiles,
                         ::testing::Combine(::testing::Range(0, int(std::size(readers))),
                                            ::testing::Values(Unreadable::Pipe, Unreadable::EndlessDevice,
                                                              Unreadable::Oversized)),
                         readerName);

} // namespace
