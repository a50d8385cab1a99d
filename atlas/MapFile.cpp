#include "MapFile.h"

#include "CommaText.h"
#include "Cp932.h"

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

QByteArray write(const MapDocument& doc, const QString& mapPictureName, QString* unencodable)
{
    bool ok = true;
    QString missing;
    QByteArray bytes = Cp932::encode(text(doc, mapPictureName), &ok, &missing);
    if (unencodable)
        *unencodable = missing;
    return ok ? bytes : QByteArray();
}

} // namespace MapFile
