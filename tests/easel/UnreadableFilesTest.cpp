// The picture editor's readers of a user's picture (open, tracing picture, import form) against
// what must never be read, as the map editor's readers are tested: each refuses with a message
// naming the file and why, at once, taking in nothing near what the file claims, and the open
// picture stays as it was.
#include "EaselFixture.h"

#include "FileOps.h"
#include "HostileFolder.h"
#include "UnitPictureSelect.h"

#include <QCryptographicHash>

#include <tuple>

namespace {

class UnreadablePictures;

struct Reader {
    const char* name;
    std::function<void(UnreadablePictures&, const QString& path)> read;
};

QString pixels(const QImage& image)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArrayView(image.constBits(), image.sizeInBytes()), QCryptographicHash::Sha1)
            .toHex());
}

class UnreadablePictures : public EaselFixture, public ::testing::WithParamInterface<std::tuple<int, Unreadable>> {
public:
    using EaselFixture::ed;
    using EaselFixture::forms;
    using EaselFixture::prompter;
    TFormPictureSelect& sel() { return *forms->formPictureSelect; }

    QStringList document()
    {
        return {ed().PictureFileName,
                pixels(ed().Doc.CanvasBitmap),
                QString::number(ed().Doc.ShapeList.size()),
                pixels(ed().TracingPicture),
                QString::number(ed().imMihon.Visible),
                sel().PictureFileName,
                pixels(sel().WorkPicture)};
    }
};

const Reader readers[] = {
    {"Open", [](UnreadablePictures& t, const QString& path) { EXPECT_FALSE(t.ed().OpenPictureFile(path)); }},
    {"TracingPicture",
     [](UnreadablePictures& t, const QString& path) { EXPECT_FALSE(t.ed().LoadSamplePicture(path)); }},
    {"ImportForm",
     [](UnreadablePictures& t, const QString& path) {
         t.prompter->files.push_back(path);
         t.sel().sbOpenClick();
     }},
};

TEST_P(UnreadablePictures, AreRefusedAtOnceWithTheirReasonAndChangeNothing)
{
    const Reader& reader = readers[std::get<0>(GetParam())];
    const Unreadable kind = std::get<1>(GetParam());
    ASSERT_TRUE(ed().OpenPictureFile(writePicture(u"good.bmp"_s, patternPicture({50, 40}))));
    stamp(solidPicture({3, 3}, qRgb(0, 0, 0)), {1, 1});
    prompter->files.push_back(writePicture(u"in.bmp"_s, patternPicture({30, 20})));
    sel().sbOpenClick();
    ASSERT_FALSE(sel().WorkPicture.isNull());
    const QStringList before = document();

    const QString path = program.file(u"hostile.jpg"_s);
    ASSERT_TRUE(plantUnreadable(path, kind));
    const size_t asked = prompter->asked.size();
    const ReaderRun run = runReader(path, [&] { reader.read(*this, path); });
    EXPECT_FALSE(run.blocked) << "the reader waited on the pipe for a writer";
    if (run.peakRise >= 0)
        EXPECT_LT(run.peakRise, OversizedBytes / 2) << "the reader took in what the file claims to hold";
    ASSERT_EQ(prompter->asked.size(), asked + 1);
    const QString message = prompter->lastText();
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_TRUE(message.contains(kind == Unreadable::Oversized ? u"ファイルが大きすぎます"_s
                                                               : u"通常のファイルではありません"_s))
        << message.toStdString();
    EXPECT_EQ(document(), before);
}

std::string readerName(const ::testing::TestParamInfo<std::tuple<int, Unreadable>>& info)
{
    static const char* const kinds[] = {"Pipe", "LinkToDevZero", "Oversized"};
    return std::string(readers[std::get<0>(info.param)].name) + kinds[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Readers, UnreadablePictures,
                         ::testing::Combine(::testing::Range(0, int(std::size(readers))),
                                            ::testing::Values(Unreadable::Pipe, Unreadable::EndlessDevice,
                                                              Unreadable::Oversized)),
                         readerName);

} // namespace
