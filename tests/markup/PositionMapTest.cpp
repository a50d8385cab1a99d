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

} // namespace
