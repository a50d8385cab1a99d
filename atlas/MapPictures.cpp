#include "MapPictures.h"

#include "BmpPicture.h"
#include "ColourText.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

using namespace Qt::StringLiterals;

namespace MapPictures {

QSize requiredSize(int kind)
{
    switch (kind) {
    case MapKind:
        return {960, 435};
    case DestinationKind:
        return {400, 225};
    default:
        return {300, 300};
    }
}

QSize placeholderSize(int kind) { return kind == TreasureKind ? QSize(500, 473) : requiredSize(kind); }

namespace {

// The red mark that switches the rest of an instruction line to red bold.
constexpr QChar Mark(8);

const QColor Teal = ColourText::toQColor(0x808000);
const QColor Blue = ColourText::toQColor(0xFF0000);
const QColor Red = ColourText::toQColor(0x0000FF);
const QColor Ink = Qt::black;
constexpr int FormFontSize = 9;

QFont font(int pointSize, bool bold)
{
    QFont f;
    f.setFamilies({u"ＭＳ Ｐゴシック"_s, u"MS PGothic"_s, u"IPAPGothic"_s, u"IPAGothic"_s, u"Noto Sans CJK JP"_s});
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

// Format() with the kind's required width and height for the two "%d".
QString formatted(const QString& line, int kind)
{
    const QSize s = requiredSize(kind);
    QString out = line;
    const int first = int(out.indexOf(u"%d"_s));
    if (first >= 0)
        out.replace(first, 2, QString::number(s.width()));
    const int second = int(out.indexOf(u"%d"_s));
    if (second >= 0)
        out.replace(second, 2, QString::number(s.height()));
    return out;
}

QImage blank(int kind)
{
    QImage img(placeholderSize(kind), QImage::Format_RGB32);
    img.fill(Qt::white);
    return img;
}

// Text is drawn with its top at y, as the toolkit's TextOut does.
void drawText(QPainter& p, int x, int y, const QString& text)
{
    p.drawText(QPoint(x, y + p.fontMetrics().ascent()), text);
}

QImage mapInstructions()
{
    static const char16_t* const lines[] = {
        u"■ ■ ■ ■ ■ ■ ■ ■ ■ ■ 操 作 方 法 ■ ■ ■ ■ ■ ■ ■ ■ ■ ■",
        u"※操作に順序はありません。思いついたところから始めて下さい。",
        u"",
        u"■地図画像を取り込む。（画像を自作するときは，［地図画像を編集する］を実行。）",
        u"　メニュー［編集］で地図画像を取り込むと，この画面上に画像が表示されます。",
        u"　※地図画像のサイズは，横%d×縦%d でなければなりません。",
        u"　　このサイズでない場合は，サイズ修正フォームが表示されるので，調整して下さい。",
        u"",
        u"■旅行地の位置を決める。（旅行地の点や島の名前の場所は，マウスドラッグで位置を変更できます。）",
        u"　「旅行地一覧」で番号を選択して，地図上をクリックすると，選択した番号の旅行地の点ができます。",
        u"\x08 ※ぽてりんで使用するために最低限必要なのは，62個の旅行地の位置（座標）だけです。",
        u"",
        u"■旅行地の情報・順序を決める。（画像を自作するときは，表示されるフォーム内で［編集する］を実行。）",
        u"　「旅行地一覧」で番号を選択して，［…を編集］で情報を入力して下さい。",
        u"\x08　※旅行地の位置は地図上の点で，旅行地の順序は一覧表の上下移動・挿入・削除で決まります。",
        u"",
        u"■宝物の画像を取り込む。（画像を自作するときは，表示されるフォーム内で［編集する］を実行。）",
        u"　メニュー［編集］で，このマップファイルに，宝物の画像を取り込むことができます。",
        u"",
        u"\x08【注意】 画像の編集で保存するときは，表示されるファイル名を，すべてそのまま上書き保存して下さい。",
        u"　画像の取り込みや編集のときに，連番のファイル名が表示されますが，これは作業用ファイルの名前です。",
        u"　マップファイルを保存するときには，きちんとした規定のファイル名で保存されます。",
    };
    static const char16_t* const clickLines[] = {
        u"■この画面上のどこかをクリックすると，", u"下の「旅行地一覧」で選択されている", u"旅行地の点ができます。", u"",
        u"■［島の名前］が押下されているときは，", u"クリックした位置に，選択した島の名前が", u"表示される場所ができます。",
    };

    QImage img = blank(MapKind);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing, false);
    QColor colour = Ink;
    bool bold = false;
    int y = 18;
    for (int i = 0; i < int(std::size(lines)); ++i) {
        const QString line = QString::fromUtf16(lines[i]);
        if (i == 0) {
            colour = Teal;
            bold = true;
        } else if (line.startsWith(u'■')) {
            colour = Blue; // the style stays as the line before left it
        } else {
            colour = Ink;
            bold = false;
        }
        p.setFont(font(11, bold));
        p.setPen(colour);
        const qsizetype mark = line.indexOf(Mark);
        if (mark < 0) {
            drawText(p, 250, y, formatted(line, MapKind));
        } else {
            const QString before = formatted(line.left(mark), MapKind);
            drawText(p, 250, y, before);
            const int width = p.fontMetrics().horizontalAdvance(before);
            colour = Red;
            bold = true;
            p.setFont(font(11, bold));
            p.setPen(colour);
            drawText(p, 250 + width, y, formatted(line.mid(mark + 1), MapKind));
        }
        y += p.fontMetrics().height() + (line.isEmpty() ? 10 : 6);
    }

    // Dashed curves from the menu, the list and the map towards the instructions, with arrowheads.
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen dashed(Red, 2, Qt::DashLine, Qt::SquareCap, Qt::RoundJoin);
    QPen solid(Red, 2, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin);
    const QPoint curves[4][4] = {{{96, 5}, {120, 60}, {180, 78}, {243, 78}},
                                 {{110, 210}, {160, 180}, {190, 170}, {243, 170}},
                                 {{130, 423}, {160, 340}, {190, 300}, {243, 248}},
                                 {{86, 5}, {110, 180}, {180, 270}, {243, 316}}};
    p.setPen(dashed);
    p.setBrush(Qt::NoBrush);
    for (const auto& c : curves) {
        QPainterPath path(c[0]);
        path.cubicTo(c[1], c[2], c[3]);
        p.drawPath(path);
    }
    const QPoint heads[4][3] = {{{94, 17}, {96, 4}, {105, 13}},
                                {{118, 199}, {109, 211}, {123, 211}},
                                {{126, 414}, {130, 425}, {139, 416}},
                                {{81, 17}, {85, 4}, {94, 15}}};
    p.setPen(solid);
    for (const auto& h : heads)
        p.drawPolyline(h, 3);
    p.setRenderHint(QPainter::Antialiasing, false);

    p.setFont(font(9, bold));
    p.setPen(colour);
    y = 220;
    for (const char16_t* l : clickLines) {
        drawText(p, 10, y, QString::fromUtf16(l));
        y += p.fontMetrics().height() + 6;
    }
    return img;
}

// The destination's and the treasure's instructions: centred lines, "■" lines blue and bold, then
// the picture under them, centred, if there is one.
QImage centredInstructions(int kind, const QStringList& lines, int firstY, int pointSize, int ownWidthLines,
                           const QImage& under = {})
{
    QImage img = blank(kind);
    QPainter p(&img);
    const int width = img.width();
    QFontMetrics regular(font(pointSize, false));
    const int sharedX = (width - regular.horizontalAdvance(formatted(lines.last(), kind))) / 2;
    int y = firstY;
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = formatted(lines.at(i), kind);
        const bool heading = line.startsWith(u'■');
        p.setFont(font(pointSize, heading));
        p.setPen(heading ? Blue : Ink);
        const int x = i < ownWidthLines ? (width - p.fontMetrics().horizontalAdvance(line)) / 2 : sharedX;
        drawText(p, x, y, line);
        y += p.fontMetrics().height() + 10;
    }
    if (!under.isNull())
        p.drawImage((width - under.width()) / 2, y, under);
    return img;
}

// The colours of the sample screen; pure red is kept for the frame alone.
const QColor Sea(118, 178, 226);
const QColor Land(112, 178, 88);
const QColor Shore(228, 208, 150);
const QColor Route(150, 100, 50);
const QColor Panel(30, 40, 110);

QImage treasureSample()
{
    // The proportions of the game's stage, small enough to fit under the text.
    QImage img(320, 180, QImage::Format_RGB32);
    img.fill(Sea);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);

    p.setPen(QPen(Shore, 3));
    p.setBrush(Land);
    p.drawEllipse(QRect(8, 70, 100, 60));
    p.drawEllipse(QRect(34, 10, 70, 44));
    p.drawEllipse(QRect(210, 12, 96, 56));
    p.drawEllipse(QRect(190, 84, 116, 50));

    // The route between the destinations, passing behind the treasure window.
    const QPoint stops[] = {{30, 100}, {68, 32}, {150, 118}, {256, 40}, {250, 110}};
    p.setPen(QPen(Route, 2, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(stops, int(std::size(stops)));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    for (const QPoint& stop : stops)
        p.drawEllipse(stop, 4, 4);

    // The window that shows the treasure found: a chest on white.
    const QRect place(124, 22, 72, 72);
    p.fillRect(place, Qt::white);
    p.setPen(QPen(QColor(40, 40, 120), 2));
    p.setBrush(QColor(160, 96, 44));
    p.drawRoundedRect(QRect(138, 52, 44, 30), 4, 4);
    p.drawChord(QRect(138, 36, 44, 32), 0, 180 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(240, 200, 40));
    p.drawRect(QRect(157, 40, 6, 42));
    p.drawRect(QRect(138, 56, 44, 5));

    // The message panel along the bottom.
    const QRect panel(0, 142, img.width(), img.height() - 142);
    p.fillRect(panel, Panel);
    p.setPen(QPen(QColor(250, 230, 120), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(panel.adjusted(3, 3, -4, -4), 4, 4);
    p.setFont(font(FormFontSize, true));
    p.setPen(Qt::white);
    p.drawText(panel, Qt::AlignCenter, u"宝物を発見しました！"_s);

    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Red, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(place.adjusted(-3, -3, 2, 2));
    p.setPen(QPen(Qt::darkGray, 1));
    p.drawRect(img.rect().adjusted(0, 0, -1, -1));
    return img;
}

QImage messagePlaceholder(int kind, const QStringList& lines)
{
    const QSize size = requiredSize(kind);
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    const int pointSize = kind == DestinationKind ? 10 : FormFontSize;
    int total = 0;
    for (int i = 0; i < lines.size(); ++i)
        total += QFontMetrics(font(pointSize, i == 0)).height() + 10;
    int y = (size.height() - total) / 2;
    for (int i = 0; i < lines.size(); ++i) {
        p.setFont(font(pointSize, i == 0));
        p.setPen(i == 0 ? Red : Ink);
        const QFontMetrics fm = p.fontMetrics();
        const int x = (size.width() - fm.horizontalAdvance(lines.at(i)) - fm.horizontalAdvance(u"。"_s)) / 2;
        drawText(p, x, y, formatted(lines.at(i), kind));
        y += fm.height() + 10;
    }
    return img;
}

QImage drawInstructions(int kind);

} // namespace

QImage DrawInstructionPlaceholder(int kind)
{
    // The text never changes, so each kind is drawn once per run.
    static QImage drawn[3];
    QImage& cached = drawn[qBound(0, kind, 2)];
    if (cached.isNull())
        cached = drawInstructions(kind);
    return cached;
}

namespace {

QImage drawInstructions(int kind)
{
    switch (kind) {
    case MapKind:
        return mapInstructions();
    case DestinationKind:
        return centredInstructions(kind,
                                   {u"■旅行地画像を取り込むと，ここにその画像が表示されます。"_s,
                                    u"旅行地画像のサイズは，横%d×縦%d でなければなりません。　"_s,
                                    u"このサイズでない場合は，サイズ修正フォームで調整できます。"_s},
                                   75, 10, 1);
    default:
        return centredInstructions(TreasureKind,
                                   {u"■宝物画像を取り込むと，ここにその画像が表示されます。"_s,
                                    u"宝物画像のサイズは，横%d×縦%d でなければなりません。　　"_s,
                                    u"このサイズでない場合は，サイズ修正フォームで調整できます。"_s, QString(),
                                    u"※宝物画像とは..."_s,
                                    u"宝物を発見したときに表示される画像です。(下図の赤で囲んだ画像)"_s},
                                   90, FormFontSize, 3, TreasureSample());
    }
}

} // namespace

QImage TreasureSample()
{
    static const QImage drawn = treasureSample();
    return drawn;
}

QImage DrawWrongSizePlaceholder(int kind)
{
    if (kind == MapKind)
        return messagePlaceholder(kind, {u"画像のサイズが，横%d×縦%d ではないため表示できません。"_s,
                                         u"※［地図画像を取り込む］で，現在の画像を再度取り込んで，"_s,
                                         u"サイズ修正フォームで［切り出す］を実行して下さい。"_s});
    return messagePlaceholder(kind, {u"画像のサイズが，横%d×縦%d ではないため表示できません。"_s,
                                     u"※［再修正］を選択して［取り込む］を実行し，"_s,
                                     u"サイズ修正フォームで［切り出す］を実行して下さい。"_s});
}

QImage DrawUnreadablePlaceholder(int kind, const QString& why)
{
    QStringList lines = why.split(u"\r\n"_s, Qt::SkipEmptyParts);
    if (lines.isEmpty())
        lines << u"画像ファイルとして読み込めません。"_s;
    return messagePlaceholder(kind, lines);
}

bool LoadPictureChecked(int kind, const QString& path, QImage* out, QString* why, JpegPicture::PixelFormat jpegFormat)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        *out = DrawInstructionPlaceholder(kind);
        return false;
    }
    QString reason;
    const QImage img = PictureFile::load(path, &reason, jpegFormat);
    if (why)
        *why = reason;
    if (img.isNull()) {
        *out = DrawUnreadablePlaceholder(kind, reason);
        return false;
    }
    if (img.size() != requiredSize(kind)) {
        *out = DrawWrongSizePlaceholder(kind);
        return false;
    }
    *out = img.convertToFormat(QImage::Format_RGB32);
    return true;
}

} // namespace MapPictures
