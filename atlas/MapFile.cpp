#include "MapFile.h"

#include "CommaText.h"
#include "Cp932.h"
#include "TextAdmission.h"

using namespace Qt::StringLiterals;

namespace MapFile {
namespace {

constexpr int HeaderLines = 1 + MapDocument::DestinationCount;

// Lines end at CR, LF or CR LF; a final line without an end counts, an empty tail does not.
QStringList splitLines(const QString& text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\r' || c == u'\n') {
            lines << text.mid(start, i - start);
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < n)
        lines << text.mid(start);
    return lines;
}

QStringList lines(const MapDocument& doc, const QString& mapPictureName)
{
    QStringList out;
    out << CommaText::write({doc.islands[0], doc.islands[1], doc.islands[2], mapPictureName,
                             ColourText::toText(doc.colours[0]), ColourText::toText(doc.colours[1]),
                             ColourText::toText(doc.colours[2]), QString()});
    for (const MapDocument::Row& row : doc.rows) {
        QStringList items(row.begin(), row.end());
        items << QString();
        out << CommaText::write(items);
    }
    out << doc.treasures[0] << doc.treasures[1];
    for (int r = 2; r < MapDocument::TreasureCount; ++r)
        if (!doc.treasures[r].isEmpty())
            out << doc.treasures[r];
    return out;
}

// Below the blank, the reader takes only the tab and the line ends.
bool isControl(char32_t c) { return c < 0x20 && c != u'\t'; }

qsizetype characterLength(const QString& text, qsizetype i)
{
    return i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate() ? 2 : 1;
}

char32_t codePoint(const QString& text, qsizetype i, qsizetype length)
{
    return length == 2 ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1)) : char32_t(text.at(i).unicode());
}

// Every text of the file in the order it is written, as the document gives it and as a read gives
// it back; the places name them for the user.
struct Fields {
    QStringList places, values;
};

Fields fieldsOf(const MapDocument& doc, const QString& mapPictureName)
{
    static const char16_t* const Ranks[] = {u"１", u"２", u"３"};
    Fields f;
    const auto add = [&f](const QString& place, const QString& value) {
        f.places << place;
        f.values << value;
    };
    for (int i = 0; i < MapDocument::IslandCount; ++i)
        add(u"「"_s + QString::fromUtf16(Ranks[i]) + u"位の島」の位置"_s, doc.islands[i]);
    add(u"地図画像の名前"_s, mapPictureName);
    for (int i = 0; i < 3; ++i)
        add(u"色"_s, ColourText::toText(doc.colours[i]));
    for (int r = 0; r < MapDocument::DestinationCount; ++r) {
        const QString destination = u"旅行地 "_s + destinationNumber(r).trimmed();
        for (int c = 0; c < MapDocument::ColumnCount; ++c)
            add(destination + u" の「"_s + MapDocument::columnLabels().at(c) + u"」"_s, doc.rows[r][c]);
        // The items after the seventh: the empty one of the final comma.
        add(destination, u"1"_s);
    }
    for (int t = 0; t < MapDocument::TreasureCount; ++t) {
        if (t >= 2 && doc.treasures[t].isEmpty())
            continue;
        const QString slot = t < 2 ? u"t%1"_s.arg(t + 1, 2, 10, QLatin1Char('0'))
                                   : u"r%1"_s.arg(t - 1, 2, 10, QLatin1Char('0'));
        add(u"宝物 "_s + slot + u" の画像名"_s, doc.treasures[t]);
    }
    return f;
}

QStringList fieldsOf(const Content& c)
{
    QStringList values(c.islands.begin(), c.islands.end());
    values << c.mapPictureName;
    for (int i = 0; i < 3; ++i)
        values << (c.colours ? ColourText::toText((*c.colours)[i]) : QString());
    for (const QStringList& items : c.rows) {
        for (int i = 0; i < MapDocument::ColumnCount; ++i)
            values << items.value(i);
        values << QString::number(items.size() - MapDocument::ColumnCount);
    }
    return values + c.treasureLines;
}

// The first place holding a character the file cannot hold, else the first that reads back
// otherwise.
QString fault(const Fields& written, const QStringList& read)
{
    for (qsizetype n = 0; n < written.values.size(); ++n) {
        const QString& value = written.values.at(n);
        QString failing;
        const bool storable = Cp932::canStore(value, &failing);
        for (qsizetype i = 0; i < value.size();) {
            const qsizetype length = characterLength(value, i);
            const char32_t c = codePoint(value, i, length);
            if (isControl(c) || (!storable && failing.contains(QStringView(value).mid(i, length))))
                return written.places.at(n) + u"に，マップファイルに保存できない文字（"_s + TextAdmission::nameOf(c)
                       + u"）があります。"_s;
            i += length;
        }
    }
    for (qsizetype n = 0; n < written.values.size(); ++n)
        if (n >= read.size() || read.at(n) != written.values.at(n))
            return written.places.at(n) + u"は，マップファイルに保存すると，読み込んだときに元に戻りません。"_s;
    return u"マップファイルに保存すると，読み込んだときに元に戻りません。"_s;
}

} // namespace

std::optional<Content> parse(const QByteArray& bytes, QString* error)
{
    auto fail = [&](const QString& why) -> std::optional<Content> {
        if (error)
            *error = why;
        return std::nullopt;
    };

    // Old editors end a text file with the end-of-file mark; it is no part of the text.
    const qsizetype size = bytes.endsWith('\x1a') ? bytes.size() - 1 : bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        if (b < 0x20 && b != '\r' && b != '\n' && b != '\t')
            return fail(u"テキストファイルではありません（%1 バイト目）。"_s.arg(i + 1));
    }
    bool ok = true;
    qsizetype bad = 0;
    const QString text = Cp932::decode(bytes.first(size), &ok, &bad);
    if (!ok)
        return fail(u"Shift-JIS の文字として読めない部分があります（%1 バイト目）。"_s.arg(bad + 1));

    const QStringList all = splitLines(text);
    if (all.size() < HeaderLines)
        return fail(u"行数が足りません（%1 行。%2 行以上必要です）。"_s.arg(all.size()).arg(HeaderLines));

    Content c;
    const QStringList first = CommaText::read(all.at(0));
    if (first.size() < 4)
        return fail(u"1 行目の項目が足りません（%1 個。4 個以上必要です）。"_s.arg(first.size()));
    for (int i = 0; i < MapDocument::IslandCount; ++i)
        c.islands[i] = first.at(i);
    c.mapPictureName = first.at(3);
    if (first.size() >= 7) {
        const auto defaults = MapDocument::defaultColours();
        std::array<ColourText::TColor, 3> colours{};
        for (int i = 0; i < 3; ++i)
            colours[i] = ColourText::fromText(first.at(4 + i)).value_or(defaults[i]);
        c.colours = colours;
    }
    for (int r = 0; r < MapDocument::DestinationCount; ++r)
        c.rows[r] = CommaText::read(all.at(1 + r));
    c.treasureLines = all.mid(HeaderLines);
    return c;
}

QString text(const MapDocument& doc, const QString& mapPictureName)
{
    return lines(doc, mapPictureName).join(u"\r\n"_s) + u"\r\n"_s;
}

QByteArray write(const MapDocument& doc, const QString& mapPictureName, QString* why)
{
    bool ok = true;
    const QByteArray bytes = Cp932::encode(text(doc, mapPictureName), &ok);
    const std::optional<Content> back = ok ? parse(bytes, nullptr) : std::nullopt;
    const Fields fields = fieldsOf(doc, mapPictureName);
    if (back && fields.values == fieldsOf(*back))
        return bytes;
    if (why)
        *why = fault(fields, back ? fieldsOf(*back) : QStringList());
    return {};
}

} // namespace MapFile
