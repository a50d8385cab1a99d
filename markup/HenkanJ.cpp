#include "HenkanJ.h"

#include "Cp932.h"

#include <QHash>
#include <array>
#include <vector>

using namespace Qt::StringLiterals;

namespace HenkanJ {

namespace {

struct SymbolPair {
    unsigned char half;
    quint16 full;
};

constexpr SymbolPair SymbolTable[] = {
    {0x20, 0x8140}, {0x21, 0x8149}, {0x22, 0x8168}, {0x23, 0x8194}, {0x24, 0x8190}, {0x25, 0x8193}, {0x26, 0x8195},
    {0x27, 0x8166}, {0x28, 0x8169}, {0x29, 0x816A}, {0x3D, 0x8181}, {0x60, 0x8165}, {0x7C, 0x8162}, {0x2D, 0x817C},
    {0x5E, 0x814F}, {0x5C, 0x818F}, {0x7E, 0x8150}, {0x7B, 0x816F}, {0x40, 0x8197}, {0x5B, 0x816D}, {0x2B, 0x817B},
    {0x2A, 0x8196}, {0x7D, 0x8170}, {0x3B, 0x8147}, {0x3A, 0x8146}, {0x5D, 0x816E}, {0x3C, 0x8183}, {0x3E, 0x8184},
    {0x3F, 0x8148}, {0x5F, 0x8151}, {0xA4, 0x8141}, {0xA1, 0x8142}, {0xA5, 0x8145}, {0x2C, 0x8143}, {0x2E, 0x8144},
    {0x2F, 0x815E}, {0xB0, 0x815B}, {0xA2, 0x8175}, {0xA3, 0x8176}};

// The command's symbol pass, in its order.
constexpr unsigned char CommandSymbols[] = {0x21, 0x3F, 0x24, 0x5C, 0x25, 0x26, 0x23, 0x27, 0x22, 0x5F,
                                            0x28, 0x29, 0x5B, 0x5D, 0x3C, 0x3E, 0x7B, 0x7D, 0x2D, 0x2B,
                                            0x2F, 0x2A, 0x3D, 0x2E, 0x2C, 0x3B, 0x3A, 0x40, 0x7C, 0x20};

constexpr unsigned char Dakuten = 0xDE, Handakuten = 0xDF;

// Low byte of the JIS row-5 katakana of each half-width kana 0xA6-0xAF and 0xB1-0xDD (0 for 0xB0).
constexpr unsigned char KanaLow[] = {
    0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43, // ｦｧｨｩｪｫｬｭｮｯ
    0x00,                                                       // ｰ
    0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, // ｱ-ｾ
    0x3D, 0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, // ｿ-ﾌ
    0x58, 0x5B, 0x5E, 0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, // ﾍ-ﾚ
    0x6D, 0x6F, 0x73};                                                                  // ﾛﾜﾝ

bool isKana(unsigned char b)
{
    return (b >= 0xA6 && b <= 0xAF) || (b >= 0xB1 && b <= 0xDD);
}
bool takesDakuten(unsigned char b)
{
    return (b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE);
}
bool takesHandakuten(unsigned char b)
{
    return b >= 0xCA && b <= 0xCE;
}

// Half-width form of each low byte 0x21-0x76 of JIS rows 4 and 5.
const std::array<QByteArray, 0x77>& fullToHalfKana()
{
    static const std::array<QByteArray, 0x77> table = [] {
        std::array<QByteArray, 0x77> t;
        for (int b = 0xA6; b <= 0xDD; ++b) {
            if (!isKana(uchar(b)))
                continue;
            const int low = KanaLow[b - 0xA6];
            t[low] = QByteArray(1, char(b));
            if (takesDakuten(uchar(b)))
                t[low + 1] = t[low] + char(Dakuten);
            if (takesHandakuten(uchar(b)))
                t[low + 2] = t[low] + char(Handakuten);
        }
        t[0x6E] = "\xDC"_ba;     // ヮ
        t[0x70] = "\xB2"_ba;     // ヰ
        t[0x71] = "\xB4"_ba;     // ヱ
        t[0x74] = "\xB3\xDE"_ba; // ヴ
        t[0x75] = "\xB6"_ba;     // ヵ
        t[0x76] = "\xB9"_ba;     // ヶ
        return t;
    }();
    return table;
}

QString decodeCode(quint16 sjis)
{
    return Cp932::decode(CodeToString(sjis));
}
QString decodeByte(unsigned char b)
{
    return Cp932::decode(QByteArray(1, char(b)));
}

// One direction's replacements by character, with the passes (flag bits) each belongs to; the
// voiced pairs of the kana pass are the only two-character keys.
struct PassTable {
    struct Entry {
        QString to;
        quint8 passes = 0;
    };
    std::vector<Entry> single = std::vector<Entry>(0x10000);
    QHash<QString, QString> pairs;

    void add(const QString& from, const QString& to, quint8 pass)
    {
        if (from.size() == 2) {
            pairs.insert(from, to);
            return;
        }
        Entry& e = single[from.at(0).unicode()];
        if (e.passes == 0)
            e.to = to;
        e.passes |= pass;
    }
};

struct Tables {
    PassTable toFull, toHalf;
    std::vector<Folded> fold = std::vector<Folded>(0x10000);

    Tables()
    {
        auto both = [this](const QString& half, const QString& full, quint8 pass) {
            toFull.add(half, full, pass);
            toHalf.add(full, half, pass);
        };
        for (int b = 0; b < 26; ++b) {
            for (int base : {'A', 'a'})
                both(QString(QChar(base + b)), decodeCode(JisToSjis(quint16(0x2300 + base + b))), ConvertAlpha);
        }
        for (int b = '0'; b <= '9'; ++b)
            both(QString(QChar(b)), decodeCode(JisToSjis(quint16(0x2300 + b))), ConvertDigits);
        for (unsigned char b : {'-', '+', '/', '.'})
            both(QString(QChar(char16_t(b))), decodeCode(SymbolToFullWidth(b)), ConvertDigits);
        for (unsigned char b : CommandSymbols)
            both(QString(QChar(char16_t(b))), decodeCode(SymbolToFullWidth(b)), ConvertSymbols);
        QList<QByteArray> kana;
        for (unsigned char b = 0xB6; b <= 0xC4; ++b)
            kana.append(QByteArray(1, char(b)) + char(Dakuten));
        for (unsigned char b = 0xCA; b <= 0xCE; ++b)
            kana.append(QByteArray(1, char(b)) + char(Dakuten));
        for (unsigned char b = 0xCA; b <= 0xCE; ++b)
            kana.append(QByteArray(1, char(b)) + char(Handakuten));
        for (unsigned char b = 0xB1; b <= 0xDC; ++b)
            kana.append(QByteArray(1, char(b)));
        kana.append("\xA6"_ba);
        kana.append("\xDD"_ba);
        for (unsigned char b = 0xA7; b <= 0xAF; ++b)
            kana.append(QByteArray(1, char(b)));
        for (const QByteArray& k : kana)
            both(Cp932::decode(k), Cp932::decode(HalfToFullWidth(k)), ConvertKana);
        both(decodeByte(Handakuten), decodeCode(JisToSjis(0x212C)), ConvertKana);
        for (unsigned char b : {0xB0, 0xA5, 0xA4, 0xA1, 0xA2, 0xA3})
            both(decodeByte(b), decodeCode(SymbolToFullWidth(b)), ConvertKana);

        for (int c = 0; c < 0x10000; ++c)
            fold[c] = {{char16_t(c), 0}};
        auto foldTo = [this](const QString& full, const QByteArray& half) {
            const QString h = Cp932::decode(half);
            if (full.size() == 1 && !h.isEmpty())
                fold[full.at(0).unicode()] = {{h.at(0).unicode(), h.size() > 1 ? h.at(1).unicode() : char16_t(0)}};
        };
        for (const SymbolPair& p : SymbolTable)
            foldTo(decodeCode(p.full), QByteArray(1, char(p.half)));
        for (int low = 0x21; low <= 0x7E; ++low) {
            const QString full = decodeCode(JisToSjis(quint16(0x2300 + low)));
            if (full.size() == 1 && full.at(0).unicode() > 0x7F)
                foldTo(full, QByteArray(1, char(low)));
        }
        // Katakana only: hiragana are other letters, not another width of them, and ヮ, ヰ, ヱ,
        // ヵ and ヶ have no half-width form of their own.
        for (int low = 0x21; low <= 0x76; ++low) {
            if (low == 0x6E || low == 0x70 || low == 0x71 || low == 0x75 || low == 0x76)
                continue;
            bool ok = false;
            const QString full = Cp932::decode(CodeToString(JisToSjis(quint16(0x2500 + low))), &ok);
            if (ok)
                foldTo(full, fullToHalfKana()[low]);
        }
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

} // namespace

bool IsSjisLeadByte(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

quint16 JisToSjis(quint16 jis)
{
    int hi = jis >> 8, lo = jis & 0xFF;
    if (hi & 1) {
        lo += 0x1F;
        if (lo >= 0x7F)
            ++lo;
    } else {
        lo += 0x7E;
    }
    hi = ((hi + 1) >> 1) + (hi <= 0x5E ? 0x70 : 0xB0);
    return quint16((hi << 8) | lo);
}

quint16 SjisToJis(quint16 sjis)
{
    int hi = sjis >> 8, lo = sjis & 0xFF;
    hi -= hi <= 0x9F ? 0x70 : 0xB0;
    hi <<= 1;
    if (lo < 0x9F) {
        --hi;
        lo -= lo >= 0x80 ? 0x20 : 0x1F;
    } else {
        lo -= 0x7E;
    }
    return quint16((hi << 8) | lo);
}

QByteArray CodeToString(quint16 code)
{
    QByteArray s(2, Qt::Uninitialized);
    s[0] = char(code >> 8);
    s[1] = char(code & 0xFF);
    return s;
}

quint16 StringToCode(const QByteArray& s)
{
    if (s.size() < 2)
        return s.isEmpty() ? 0 : quint16(uchar(s[0]) << 8);
    return quint16((uchar(s[0]) << 8) | uchar(s[1]));
}

quint16 SymbolToFullWidth(unsigned char b)
{
    for (const SymbolPair& p : SymbolTable)
        if (p.half == b)
            return p.full;
    return b;
}

QByteArray HalfToFullWidth(const QByteArray& s)
{
    QByteArray out;
    out.reserve(s.size() * 2);
    for (qsizetype i = 0; i < s.size(); ++i) {
        const auto b = uchar(s[i]);
        if (IsSjisLeadByte(b)) {
            out += s.mid(i, 2);
            ++i;
        } else if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
            out += CodeToString(JisToSjis(quint16(0x2300 + b)));
        } else if (isKana(b)) {
            quint16 jis = quint16(0x2500 + KanaLow[b - 0xA6]);
            quint16 mark = 0;
            const uchar next = i + 1 < s.size() ? uchar(s[i + 1]) : 0;
            if (next == Dakuten || next == Handakuten) {
                ++i;
                if (next == Dakuten && takesDakuten(b))
                    jis += 1;
                else if (next == Handakuten && takesHandakuten(b))
                    jis += 2;
                else
                    mark = next == Dakuten ? 0x212B : 0x212C;
            }
            out += CodeToString(JisToSjis(jis));
            if (mark)
                out += CodeToString(JisToSjis(mark));
        } else if (b == Dakuten || b == Handakuten) {
            out += char(b);
        } else {
            const quint16 full = SymbolToFullWidth(b);
            if (full != b)
                out += CodeToString(full);
            else
                out += char(b);
        }
    }
    return out;
}

QByteArray FullToHalfWidth(const QByteArray& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        const auto b = uchar(s[i]);
        if (!IsSjisLeadByte(b) || i + 1 >= s.size()) {
            out += char(b);
            continue;
        }
        const quint16 code = StringToCode(s.mid(i, 2));
        ++i;
        bool symbol = false;
        for (const SymbolPair& p : SymbolTable)
            if (p.full == code) {
                out += char(p.half);
                symbol = true;
                break;
            }
        if (symbol)
            continue;
        const quint16 jis = SjisToJis(code);
        const int row = jis >> 8, low = jis & 0xFF;
        if (row == 0x23)
            out += char(low);
        else if ((row == 0x24 || row == 0x25) && low >= 0x21 && low <= 0x76 && !fullToHalfKana()[low].isEmpty())
            out += fullToHalfKana()[low];
        else
            out += CodeToString(code);
    }
    return out;
}

QString DefaultNoChangeChars()
{
    return u"{}[]()&^_@/*#+-,.｡｛｝［］（）＆＾＿＠／＊＃＋－，．。"_s;
}

QString MaskNoChangeChars(const QString& text, const QString& noChangeChars, QString& kept)
{
    kept.clear();
    std::vector<bool> protectedChar(0x10000);
    protectedChar[NoChangeMask] = true;
    for (QChar c : noChangeChars)
        protectedChar[c.unicode()] = true;
    QString out = text;
    for (QChar& c : out)
        if (protectedChar[c.unicode()]) {
            kept += c;
            c = QChar(NoChangeMask);
        }
    return out;
}

QString UnmaskNoChangeChars(const QString& text, const QString& kept)
{
    QString out = text;
    qsizetype n = 0;
    for (QChar& c : out)
        if (c.unicode() == NoChangeMask && n < kept.size())
            c = kept.at(n++);
    return out;
}

QString ConvertPasses(const QString& text, int direction, quint8 flags)
{
    const quint8 passes = flags & (ConvertAlpha | ConvertDigits | ConvertSymbols | ConvertKana);
    if (!passes)
        return text;
    const PassTable& table = direction == ToFullWidth ? tables().toFull : tables().toHalf;
    const bool pairs = direction == ToFullWidth && (passes & ConvertKana);
    QString out;
    out.reserve(text.size() + text.size() / 2);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (pairs && i + 1 < text.size()) {
            const auto it = table.pairs.constFind(text.mid(i, 2));
            if (it != table.pairs.cend()) {
                out += *it;
                ++i;
                continue;
            }
        }
        const PassTable::Entry& e = table.single[text.at(i).unicode()];
        if (e.passes & passes)
            out += e.to;
        else
            out += text.at(i);
    }
    return out;
}

QString ConvertText(const QString& text, int direction, quint8 flags, const QString& noChangeChars)
{
    if (!(flags & ConvertNoChange))
        return ConvertPasses(text, direction, flags);
    QString kept;
    const QString masked = MaskNoChangeChars(text, noChangeChars, kept);
    return UnmaskNoChangeChars(ConvertPasses(masked, direction, flags), kept);
}

QString ReplaceOccurrences(const QString& text, const QString& from, const QString& to, quint8 flags,
                           const QString& noChangeChars)
{
    if (from.isEmpty() || from == to)
        return text;
    if (!(flags & ConvertNoChange)) {
        QString out = text;
        return out.replace(from, to);
    }
    // A string holding a protected character never matches the masked text.
    QString keptOfFrom;
    MaskNoChangeChars(from, noChangeChars, keptOfFrom);
    if (!keptOfFrom.isEmpty())
        return text;
    QString kept;
    QString masked = MaskNoChangeChars(text, noChangeChars, kept);
    return UnmaskNoChangeChars(masked.replace(from, to), kept);
}

QString ChangeStoredText(const QString& cell, const std::function<QString(const QString&)>& change)
{
    QString text = cell;
    text.replace(u"\\n"_s, u"\r\n"_s, Qt::CaseInsensitive);
    QString after = change(text);
    if (after == text)
        return cell;
    return after.replace(u"\r\n"_s, u"\\n"_s).replace(u'\r', u"\\n"_s).replace(u'\n', u"\\n"_s);
}

Folded FoldWidth(char16_t ch)
{
    return tables().fold[ch];
}

} // namespace HenkanJ
