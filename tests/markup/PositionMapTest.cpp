#include "PositionMap.h"

#include "Cp932.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

// "aｱ漢\n字b": bytes a 0, ｱ 1, 漢 2-3, CR LF 4-5, 字 6-7, b 8, end 9;
// characters a 0, ｱ 1, 漢 2, CR LF 3-4, 字 5, b 6, end 7.
const QString Mixed = u"aｱ漢\n字b"_s;

struct Row {
    int from, to;
};

TEST(PositionMap, BytesOfMixedText)
{
    const PositionMap map(Mixed);
    EXPECT_EQ(map.documentLength(), 6);
    EXPECT_EQ(map.byteLength(), 9);
    EXPECT_EQ(map.charLength(), 7);

    const Row documentToByte[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}, {4, 6}, {5, 8}, {6, 9}, {7, 9}, {-1, 0}};
    for (const Row& r : documentToByte)
        EXPECT_EQ(map.byteFromDocument(r.from), r.to) << "document " << r.from;

    // Inside a kanji or between CR and LF snaps down; past the end clamps.
    const Row byteToDocument[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 3}, {6, 4},
                                  {7, 4}, {8, 5}, {9, 6}, {10, 6}, {1000, 6}, {-3, 0}};
    for (const Row& r : byteToDocument)
        EXPECT_EQ(map.documentFromByte(r.from), r.to) << "byte " << r.from;

    const Row charToDocument[] = {{0, 0}, {2, 2}, {3, 3}, {4, 3}, {5, 4}, {6, 5}, {7, 6}, {8, 6}};
    for (const Row& r : charToDocument)
        EXPECT_EQ(map.documentFromChar(r.from), r.to) << "char " << r.from;

    const Row byteToChar[] = {{3, 2}, {4, 3}, {5, 3}, {6, 5}, {7, 5}, {9, 7}};
    for (const Row& r : byteToChar)
        EXPECT_EQ(map.charFromByte(r.from), r.to) << "byte " << r.from;
    EXPECT_EQ(map.byteFromChar(4), 4);
    EXPECT_EQ(map.byteFromChar(5), 6);
}

TEST(PositionMap, SurrogatePairIsOneUnencodableCharacter)
{
    const PositionMap map(u"x😀y"_s); // x, pair at 1-2, y at 3
    EXPECT_EQ(map.byteLength(), 3);
    EXPECT_EQ(map.charLength(), 3);
    EXPECT_EQ(map.byteFromDocument(2), 1) << "between the halves is the pair's start";
    EXPECT_EQ(map.documentFromByte(1), 1);
    EXPECT_EQ(map.documentFromByte(2), 3);
    EXPECT_EQ(map.documentFromChar(1), 1);
}

TEST(PositionMap, EmptyText)
{
    for (const PositionMap& map : {PositionMap(), PositionMap(QString())}) {
        EXPECT_EQ(map.byteLength(), 0);
        EXPECT_EQ(map.documentFromByte(5), 0);
        EXPECT_EQ(map.byteFromDocument(3), 0);
    }
}

// Random texts against the codec itself: every position's offset is the byte length of the text
// before it, and every byte offset maps to the character that holds it.
TEST(PositionMap, AgreesWithCodecOnRandomTexts)
{
    const QString alphabet = u"aZ09 \t~\\ｱﾟ漢字あ＋～①\n\néЖ"_s;
    std::mt19937 random(932);
    for (int round = 0; round < 150; ++round) {
        QString text;
        const int length = int(random() % 40);
        for (int i = 0; i < length; ++i) {
            if (random() % 15 == 0)
                text += u"😀"_s;
            else
                text += alphabet[qsizetype(random() % alphabet.size())];
        }
        SCOPED_TRACE(text.toStdString());
        const PositionMap map(text);
        QString windowsForm = text;
        windowsForm.replace(u'\n', u"\r\n"_s);
        ASSERT_EQ(map.byteLength(), Cp932::byteLength(windowsForm));

        int chars = 0;
        for (int d = 0; d <= text.size(); ++d) {
            if (d > 0 && text[d - 1].isHighSurrogate())
                continue; // between the halves of a pair
            QString prefix = text.left(d);
            prefix.replace(u'\n', u"\r\n"_s);
            ASSERT_EQ(map.byteFromDocument(d), Cp932::byteLength(prefix)) << "document " << d;
            ASSERT_EQ(map.charFromDocument(d), chars) << "document " << d;
            ASSERT_EQ(map.documentFromByte(map.byteFromDocument(d)), d);
            ASSERT_EQ(map.documentFromChar(map.charFromDocument(d)), d);
            if (d < text.size())
                chars += text[d] == u'\n' ? 2 : 1;
        }
        for (int b = 0; b <= map.byteLength(); ++b) {
            const int d = map.documentFromByte(b);
            ASSERT_LE(map.byteFromDocument(d), b);
            if (d < map.documentLength()) {
                const int next = d + (text[d].isHighSurrogate() ? 2 : 1);
                ASSERT_GT(map.byteFromDocument(next), b) << "byte " << b;
            }
        }
    }
}

// Edits anywhere in a text of several pieces, pairs made and broken at their seams: the edited map
// answers every question as one built from the edited text does.
TEST(PositionMap, EditedMapAgreesWithOneBuiltAfresh)
{
    const QString alphabet = u"ab\n漢ｱ～"_s;
    const QChar high = QChar::highSurrogate(0x1F600), low = QChar::lowSurrogate(0x1F600);
    std::mt19937 random(2104);
    const auto pick = [&](int n) {
        QString s;
        for (int i = 0; i < n; ++i) {
            const unsigned r = random() % 8;
            s += r == 0 ? high : r == 1 ? low : alphabet[qsizetype(r % alphabet.size())];
        }
        return s;
    };
    const auto agree = [](const PositionMap& edited, const QString& text) {
        const PositionMap fresh(text);
        if (edited.charLength() != fresh.charLength() || edited.byteLength() != fresh.byteLength())
            return false;
        for (int c = 0; c <= fresh.charLength(); ++c)
            if (edited.documentFromChar(c) != fresh.documentFromChar(c))
                return false;
        return true;
    };
    // Pairs made and broken right where a fresh map's first two pieces meet.
    const QString a2047(2047, u'a'), rest(3000, u'b');
    struct Seam {
        QString text;
        int at, removed;
        QString added;
    } seams[] = {
        {a2047 + u'a' + low + rest, 2048, 0, QString(high)},
        {a2047 + high + u'x' + low + rest, 2048, 1, QString()},
        {a2047 + high + low + rest, 2047, 1, QString()},
        {a2047 + high + low + rest, 2048, 0, u"x"_s},
    };
    for (const Seam& seam : seams) {
        PositionMap edited(seam.text);
        QString text = seam.text;
        text.replace(seam.at, seam.removed, seam.added);
        edited.replace(seam.at, seam.removed, seam.added);
        EXPECT_TRUE(agree(edited, text)) << "at " << seam.at;
    }

    QString text = pick(6000);
    PositionMap edited(text);
    for (int round = 0; round < 80; ++round) {
        // Every other edit near where a fresh map's pieces meet (every 2,048 positions).
        const int at = round % 2 ? int(random() % unsigned(text.size() + 1))
                                 : std::min(int(text.size()), 2048 * int(1 + random() % 2) + int(random() % 5) - 2);
        const int removed = round % 10 == 0 ? int(random() % 4500) : int(random() % 4);
        const QString added = round % 2 == 0 ? pick(1) : pick(round % 10 == 5 ? 4500 : int(random() % 5));
        text.replace(at, std::min<qsizetype>(removed, text.size() - at), added);
        edited.replace(at, removed, added);
        const PositionMap fresh(text);
        ASSERT_EQ(edited.documentLength(), fresh.documentLength()) << "round " << round;
        ASSERT_EQ(edited.byteLength(), fresh.byteLength());
        ASSERT_EQ(edited.charLength(), fresh.charLength());
        ASSERT_TRUE(edited.textEquals(text));
        ASSERT_EQ(edited.mid(at - 3, 10), text.mid(std::max(0, at - 3), at < 3 ? 7 + at : 10));
        for (int d = -1; d <= text.size() + 1; ++d) {
            ASSERT_EQ(edited.byteFromDocument(d), fresh.byteFromDocument(d)) << "document " << d;
            ASSERT_EQ(edited.charFromDocument(d), fresh.charFromDocument(d)) << "document " << d;
            ASSERT_EQ(edited.at(d), d >= 0 && d < text.size() ? text[d] : QChar());
        }
        for (int b = -1; b <= fresh.byteLength() + 1; ++b)
            ASSERT_EQ(edited.documentFromByte(b), fresh.documentFromByte(b)) << "byte " << b;
        const std::vector<int> table = edited.documentsFromChars(-2, fresh.charLength() + 2);
        for (int c = -2; c <= fresh.charLength() + 2; ++c) {
            ASSERT_EQ(edited.documentFromChar(c), fresh.documentFromChar(c)) << "char " << c;
            ASSERT_EQ(table[size_t(c + 2)], fresh.documentFromChar(c)) << "char " << c;
        }
    }
}

} // namespace
