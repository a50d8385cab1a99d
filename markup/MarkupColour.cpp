#include "MarkupColour.h"

#include "AsciiCase.h"

#include <array>
#include <initializer_list>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const std::array<QString, 22> Words = {
    u"必答"_s, u"順不同"_s, u"ヒント"_s, u"RND"_s,      u"CAL"_s,        u"RET"_s, u"解説"_s, u"暗記"_s,
    u"PIC"_s,  u"SND"_s,    u"誕生日"_s, u"並べ替え"_s, u"タイピング"_s, u"B"_s,   u"/B"_s,   u"文字列"_s,
    u"現在"_s, u"年齢"_s,   u"WEB"_s,    u"/WEB"_s,     u"{*"_s,         u"*}"_s,
};

bool oneOf(int keyword, std::initializer_list<int> set)
{
    for (const int k : set)
        if (k == keyword)
            return true;
    return false;
}

void addSpan(TDataList& list, int start, int end)
{
    list.Add(start);
    list.Add(end);
}

// The comment rules both scanners apply first at every position. Returns whether the character is
// passed over. A line end resets the caller's per-line counters through lineEnd.
struct CommentState {
    bool line = false, block = false;

    template <class LineEnd>
    bool passOver(QStringView text, int p, LineEnd lineEnd)
    {
        const QChar c = text[p];
        if (c == u'\r' && !block) {
            lineEnd();
            line = false;
        } else if (p > 0) {
            const QChar before = text[p - 1];
            if (c == u'/' && before == u'/')
                line = true;
            else if (c == u'*' && before == u'{')
                block = true;
            else if (c == u'}' && before == u'*')
                block = false;
        }
        return line || block;
    }
};

} // namespace

const QString& MarkupKeywords::word(int index)
{
    return Words.at(size_t(index));
}

int FindKeyword(QStringView word)
{
    for (int i = 0; i < MarkupKeywords::KeywordCount; ++i)
        if (Words[size_t(i)] == word)
            return i;
    return -1;
}

// Characters, not bytes: a double-byte character whose second byte is "b" ends no name. Only
// ASCII letters lower-case into ".bmp.jpg", since no other character code page 932 holds folds
// to one.
bool MarkupScanner::isPictureName(QStringView head)
{
    if (head.size() < 4)
        return false;
    return QStringView(u".bmp.jpg").contains(AsciiCase::lower(head.right(4).toString()));
}

void MarkupScanner::scanFunctions(QStringView text, int start, int end, TDataList& functionSpans,
                                  TDataList& errorSpans) const
{
    struct Frame {
        int start;  // just after the opening character
        int opener; // the "{" or "(" (-1 for the outermost frame)
        bool byParenthesis;
        bool quote = false;
        int k = 0;
        int firstComma = -1, lastComma = -1;
        CommentState comment;
    };
    end = std::min(end, int(text.size()));
    std::vector<Frame> frames{{start, -1, false, false, 0, -1, -1, {}}};
    int n = 0, a = 0, pictures = 0, sounds = 0;
    const bool t = TestVersion >= 1 && TestVersion <= 9;

    const auto classify = [&](const Frame& f, int close) {
        const bool arguments = f.k > 0;
        const int headEnd = arguments ? std::max(f.start, f.firstComma) : close;
        const QStringView head = text.mid(f.start, headEnd - f.start);
        const int whole = f.opener, wholeEnd = close + 1;
        const int keyword = FindKeyword(head);
        bool error = false;
        if (keyword >= 0) {
            if (keyword == 8)
                ++pictures;
            else if (keyword == 9)
                ++sounds;
            else if (keyword == 6 || keyword == 7)
                pictures = 0;
            if (!arguments) {
                error = (oneOf(keyword, {0, 1, 2, 11, 13, 14}) && t && a == 0)
                        || (oneOf(keyword, {5, 6, 7, 8, 9, 12}) && a >= 1)
                        || (n >= 2 && !oneOf(keyword, {3, 4, 13, 14, 16, 18, 19})) || oneOf(keyword, {3, 8, 9, 15, 17});
            } else {
                const int k = f.k;
                error = (keyword == 8 && pictures > 1) || (keyword == 9 && sounds > 1)
                        || (oneOf(keyword, {0, 1, 2, 11}) && t && a == 0)
                        || (oneOf(keyword, {5, 6, 7, 8, 9, 12}) && a >= 1) || (n >= 2 && !oneOf(keyword, {3, 4, 16}))
                        || (oneOf(keyword, {0, 5, 6, 7, 12}) && k > 0) || (oneOf(keyword, {1, 2, 16}) && k > 1)
                        || (oneOf(keyword, {4, 11, 15, 17}) && k > 2) || (oneOf(keyword, {3, 8, 9, 10}) && k > 3)
                        || (keyword == 3 && k < 2) || (oneOf(keyword, {8, 9}) && k < 1);
            }
        } else if (isPictureName(head)) {
            error = n >= 3 || f.k >= 2;
        } else {
            if (arguments && (n >= 2 || f.k >= 3) && Color4Enabled) {
                addSpan(errorSpans, whole, wholeEnd);
                return;
            }
            if (!Color3Enabled)
                return;
            // Only the bracket's skeleton: an unknown head may be ordinary text in braces.
            addSpan(functionSpans, whole, whole + 1);
            if (arguments && f.firstComma >= 0)
                addSpan(functionSpans, f.firstComma, f.firstComma + 1);
            addSpan(functionSpans, close, close + 1);
            if (f.k >= 2 && f.lastComma >= 0)
                addSpan(functionSpans, f.lastComma, f.lastComma + 1);
            return;
        }
        if (error && Color4Enabled)
            addSpan(errorSpans, whole, wholeEnd);
        else if (Color3Enabled)
            addSpan(functionSpans, whole, wholeEnd);
    };

    for (int p = start; p < end; ++p) {
        Frame& f = frames.back();
        const bool passed = f.comment.passOver(text, p, [&] {
            f.firstComma = -1;
            n = a = pictures = sounds = 0;
        });
        if (passed)
            continue;
        switch (text[p].unicode()) {
        case u'[':
            ++a;
            break;
        case u']':
            --a;
            break;
        case u'(':
            frames.push_back({p + 1, p, true, false, 0, -1, -1, {}});
            break;
        case u')':
            if (frames.size() == 1)
                return;
            if (!frames.back().byParenthesis)
                --n;
            frames.pop_back();
            break;
        case u'"':
            f.quote = !f.quote;
            break;
        case u'{':
            ++n;
            frames.push_back({p + 1, p, false, false, 0, -1, -1, {}});
            break;
        case u',':
            if (!f.quote) {
                ++f.k;
                (f.k == 1 ? f.firstComma : f.lastComma) = p;
            }
            break;
        case u'}':
            if (n >= 1 && frames.size() > 1) {
                classify(f, p);
                if (!frames.back().byParenthesis)
                    --n;
                frames.pop_back();
            }
            break;
        default:
            break;
        }
    }
}

void MarkupScanner::scanAnswers(QStringView text, int start, int end, TDataList& answerSpans,
                                TDataList& errorSpans) const
{
    struct Frame {
        int start;
        CommentState comment;
    };
    end = std::min(end, int(text.size()));
    std::vector<Frame> frames{{start, {}}};
    int depth = 0;
    for (int p = start; p < end; ++p) {
        if (frames.back().comment.passOver(text, p, [] {}))
            continue;
        if (text[p] == u'[') {
            ++depth;
            frames.push_back({p + 1, {}});
        } else if (text[p] == u']' && depth >= 1 && frames.size() > 1) {
            const int from = frames.back().start - 1;
            if (depth >= 3 && Color4Enabled)
                addSpan(errorSpans, from, p + 1);
            else if (Color2Enabled)
                addSpan(answerSpans, from, p + 1);
            --depth;
            frames.pop_back();
        }
    }
}
