// Every road a picture comes in by (open, paste, the import form, the tracing picture, the
// treasure and map imports, the dialogs' preview) takes a picture at the size limit and refuses one
// pixel over it with the limit's one message naming the size; over the real limit a header alone
// is refused without the picture being allocated.
#include "AtlasForms.h"
#include "BmpPicture.h"
#include "EaselForms.h"
#include "HostileFolder.h"
#include "JpegPicture.h"
#include "PictureLimit.h"
#include "ProgramFolder.h"
#include "ScriptedPrompter.h"
#include "TempFolder.h"
#include "Unit1.h"
#include "Unit3.h"
#include "UnitPictureEditor.h"
#include "UnitPictureSelect.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// How a picture is offered: a file of either kind, or the clipboard as another program fills it
// (encoded PNG) or as this one does (a picture in memory).
enum class Offer { Bmp, Jpeg, Png, ProcessImage };

struct Outcome {
    bool taken = false;
    QString said; // the message given, if any
};

class PictureRoads;

struct Road {
    const char* name;
    QSize natural; // a size the road takes without asking anything more
    std::vector<Offer> offers;
    Outcome (*run)(PictureRoads&, Offer, const QByteArray& bytes);
};

// A flat picture of the size, encoded as offered.
QByteArray encodedPicture(QSize size, Offer offer)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(qRgb(30, 120, 200));
    if (offer == Offer::Bmp)
        return BmpPicture::write24(image);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (offer == Offer::Png)
        image.save(&buffer, "PNG");
    else
        JpegPicture(image).saveToStream(buffer);
    return bytes;
}

quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : bytes) {
        crc ^= uchar(c);
        for (int k = 0; k < 8; ++k)
            crc = crc & 1 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

void putBig32(QByteArray& b, qsizetype at, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = char(v >> (24 - 8 * i) & 0xFF);
}

// A small picture whose header declares another size, as a forged or damaged file does.
QByteArray declaring(QSize size, Offer offer)
{
    QByteArray b = encodedPicture({16, 16}, offer);
    switch (offer) {
    case Offer::Bmp:
        for (int i = 0; i < 4; ++i) {
            b[18 + i] = char(quint32(size.width()) >> (8 * i) & 0xFF);
            b[22 + i] = char(quint32(size.height()) >> (8 * i) & 0xFF);
        }
        break;
    case Offer::Jpeg: {
        const qsizetype sof = b.indexOf("\xFF\xC0");
        b[sof + 5] = char(size.height() >> 8);
        b[sof + 6] = char(size.height() & 0xFF);
        b[sof + 7] = char(size.width() >> 8);
        b[sof + 8] = char(size.width() & 0xFF);
        break;
    }
    default:
        // IHDR follows the signature: length, type, width, height, ..., and its CRC.
        putBig32(b, 16, quint32(size.width()));
        putBig32(b, 20, quint32(size.height()));
        putBig32(b, 29, crc32(b.mid(12, 17)));
        break;
    }
    return b;
}

class PictureRoads : public ::testing::TestWithParam<std::tuple<int, Offer>> {
protected:
    void SetUp() override
    {
        ProgramFolder::setOverride(program.path());
        if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
            oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path().chopped(1)));
        // As both programs' main does.
        PictureLimit::allowInQt();
        prompter = std::make_unique<ScriptedPrompter>();
        atlasForms = std::make_unique<AtlasForms>();
        atlasForms->create({});
        easelForms = std::make_unique<EaselForms>();
        easelForms->create({});
        ed().show();
        QCoreApplication::processEvents();
    }

    void TearDown() override
    {
        easelForms.reset();
        atlasForms.reset();
        prompter.reset();
        ProgramFolder::setOverride(QString());
        if (oldRuntime.isEmpty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", oldRuntime);
    }

public:
    TFormPictureEditor& ed() { return *easelForms->formPictureEditor; }
    TFormPictureSelect& sel() { return *easelForms->formPictureSelect; }
    TForm1& f1() { return *atlasForms->form1; }
    TForm3& f3() { return *atlasForms->form3; }

    // The file a road is given, under the name of its kind.
    QString file(Offer offer, const QByteArray& bytes)
    {
        return program.write(u"in/offered%1.%2"_s.arg(++made).arg(offer == Offer::Bmp ? u"bmp"_s : u"jpg"_s), bytes);
    }

    // Runs a road that speaks through the prompter: what it said, if anything.
    Outcome spoken(const std::function<bool()>& road)
    {
        const size_t before = prompter->asked.size();
        Outcome out;
        out.taken = road();
        if (prompter->asked.size() > before)
            out.said = prompter->asked[before].text;
        return out;
    }

    TempFolder program;
    TempFolder runtime;
    QByteArray oldRuntime;
    std::unique_ptr<ScriptedPrompter> prompter;
    std::unique_ptr<AtlasForms> atlasForms;
    std::unique_ptr<EaselForms> easelForms;
    int made = 0;
};

const std::vector<Offer> files = {Offer::Bmp, Offer::Jpeg};

const Road roads[] = {
    {"Open",
     {64, 48},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const QString path = t.file(offer, bytes);
         return t.spoken([&] { return t.ed().OpenPictureFile(path); });
     }},
    {"Paste",
     {64, 48},
     {Offer::Png, Offer::ProcessImage},
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         if (t.ed().imPaste.Visible)
             t.ed().sbPasteShowClick();
         auto* data = new QMimeData;
         if (offer == Offer::Png)
             data->setData(u"image/png"_s, bytes);
         else
             data->setImageData(QImage::fromData(bytes));
         QGuiApplication::clipboard()->setMimeData(data);
         return t.spoken([&] {
             t.ed().sbPasteShowClick();
             return t.ed().imPaste.Visible;
         });
     }},
    {"ImportForm",
     {64, 48},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const QString path = t.file(offer, bytes);
         t.sel().WorkPicture = QImage();
         t.prompter->files.push_back(path);
         return t.spoken([&] {
             t.sel().sbOpenClick();
             return !t.sel().WorkPicture.isNull();
         });
     }},
    {"TracingPicture",
     {64, 48},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const QString path = t.file(offer, bytes);
         return t.spoken([&] { return t.ed().LoadSamplePicture(path); });
     }},
    {"TreasureImport",
     {300, 300},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const QString path = t.file(offer, bytes);
         t.f3().SelectRow(1);
         return t.spoken([&] {
             t.f3().ImportTreasurePicture(path, true, false);
             return !t.f3().NameAt(1).isEmpty();
         });
     }},
    {"MapImport",
     {960, 435},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const QString path = t.file(offer, bytes);
         return t.spoken([&] {
             t.f1().ImportMapPicture(path, true);
             return !t.f1().MapPicturePath.isEmpty();
         });
     }},
    {"DialogPreview",
     {64, 48},
     files,
     [](PictureRoads& t, Offer offer, const QByteArray& bytes) {
         const PictureFile::Preview preview = PictureFile::preview(t.file(offer, bytes), {160, 160});
         return Outcome{!preview.picture.isNull(), preview.refusal};
     }},
};

} // namespace

// A road may add its own words before the limit's message ("画像ファイルを開けません。").
TEST_P(PictureRoads, TakeThePictureAtTheLimitAndRefuseOnePixelOverByItsSize)
{
    const Road& road = roads[std::get<0>(GetParam())];
    const Offer offer = std::get<1>(GetParam());
    // Refusals first: a road that took a picture keeps it, and would hide a refusal.
    if (offer != Offer::ProcessImage) {
        // Over the real limit only the header is read: one pixel row more than 120 megapixels.
        const QSize huge(10001, 12000);
        ASSERT_GT(qint64(huge.width()) * huge.height(), PictureLimit::MaxPixels);
        Outcome refused;
        const QByteArray forged = declaring(huge, offer);
        const ReaderRun run = runReader(program.path(), [&] { refused = road.run(*this, offer, forged); });
        EXPECT_FALSE(refused.taken);
        EXPECT_TRUE(refused.said.endsWith(u"画像が大きすぎます (10001 x 12000)。"_s)) << refused.said.toStdString();
        if (run.peakRise >= 0) {
            EXPECT_LT(run.peakRise, 128 << 20) << "the picture was allocated before it was refused";
        }
    } // a picture in memory over the real limit would take hundreds of megabytes to make

    const QSize at = road.natural, over(at.width() + 1, at.height());
    const PictureLimit::ScopedTestLimit limit(qint64(at.width()) * at.height());
    const Outcome refused = road.run(*this, offer, encodedPicture(over, offer));
    EXPECT_FALSE(refused.taken);
    EXPECT_TRUE(refused.said.endsWith(u"画像が大きすぎます (%1 x %2)。"_s.arg(over.width()).arg(over.height())))
        << refused.said.toStdString();
    const Outcome taken = road.run(*this, offer, encodedPicture(at, offer));
    EXPECT_TRUE(taken.taken) << taken.said.toStdString();
    EXPECT_FALSE(taken.said.contains(u"大きすぎ"_s)) << taken.said.toStdString();
}

std::vector<std::tuple<int, Offer>> everyRoadAndOffer()
{
    std::vector<std::tuple<int, Offer>> all;
    for (int i = 0; i < int(std::size(roads)); ++i)
        for (const Offer offer : roads[i].offers)
            all.emplace_back(i, offer);
    return all;
}

std::string roadName(const ::testing::TestParamInfo<std::tuple<int, Offer>>& info)
{
    static const char* const offers[] = {"Bmp", "Jpeg", "Png", "ProcessImage"};
    return std::string(roads[std::get<0>(info.param)].name) + offers[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(EveryRoad, PictureRoads, ::testing::ValuesIn(everyRoadAndOffer()), roadName);

// The picture of the reported case: a 36-megapixel photograph another program offers, above Qt's own
// default of 128 MiB, is pasted.
TEST_F(PictureRoads, ALargePictureFromAnotherProgramIsPasted)
{
    const QSize photo(6000, 6000);
    auto* data = new QMimeData;
    data->setData(u"image/png"_s, encodedPicture(photo, Offer::Png));
    QGuiApplication::clipboard()->setMimeData(data);
    ed().sbPasteShowClick();
    EXPECT_TRUE(prompter->asked.empty()) << prompter->lastText().toStdString();
    ASSERT_TRUE(ed().imPaste.Visible);
    EXPECT_EQ(ed().imPaste.Picture.size(), photo);
}
