#include "TextSearch.h"

#include "AsciiCase.h"
#include "HenkanJ.h"
#include "TextAdmission.h"

namespace TextSearch {

namespace {

HenkanJ::Folded fold(char16_t c, bool foldWidth)
{
    return foldWidth ? HenkanJ::FoldWidth(c) : HenkanJ::Folded{{c, 0}};
}

QString foldPattern(QStringView find, bool matchCase, bool foldWidth = true)
{
    QString out;
    out.reserve(find.size());
    for (QChar c : find) {
        const HenkanJ::Folded f = fold(c.unicode(), foldWidth);
        out += QChar(f.c[0]);
        if (f.c[1])
            out += QChar(f.c[1]);
    }
    return matchCase ? out : AsciiCase::lower(out);
}

int matchAt(QStringView text, QStringView pattern, int position, int to, bool matchCase, bool foldWidth = true)
{
    qsizetype k = 0;
    int j = position;
    while (k < pattern.size()) {
        if (j >= to)
            return -1;
        const HenkanJ::Folded f = fold(text[j].unicode(), foldWidth);
        for (char16_t c : f.c) {
            if (!c)
                break;
            if (k >= pattern.size())
                return -1; // the pattern ends inside a character
            const QChar folded = matchCase ? QChar(c) : AsciiCase::lower(QChar(c));
            if (folded != pattern[k++])
                return -1;
        }
        ++j;
    }
    return j - position;
}

} // namespace

int MatchLength(QStringView text, QStringView find, int position, int to, bool matchCase)
{
    if (find.isEmpty())
        return -1;
    return matchAt(text, foldPattern(find, matchCase), position, std::min<int>(to, int(text.size())), matchCase);
}

Match FindForward(QStringView text, QStringView find, int from, int to, bool matchCase)
{
    if (find.isEmpty())
        return {};
    const QString pattern = foldPattern(find, matchCase);
    to = std::min<int>(to, int(text.size()));
    for (int i = std::max(from, 0); i < to; ++i) {
        const int length = matchAt(text, pattern, i, to, matchCase);
        if (length > 0)
            return {i, length};
    }
    return {};
}

Match FindLastBefore(QStringView text, QStringView find, int from, int before, bool matchCase)
{
    if (find.isEmpty())
        return {};
    const QString pattern = foldPattern(find, matchCase);
    before = std::min<int>(before, int(text.size()));
    for (int i = before - 1; i >= std::max(from, 0); --i) {
        const int length = matchAt(text, pattern, i, before, matchCase);
        if (length > 0)
            return {i, length};
    }
    return {};
}

Replaced ReplaceAll(QStringView text, QStringView find, QStringView replacement, int from, int to, bool matchCase,
                    bool foldWidth)
{
    Replaced r;
    if (find.isEmpty()) {
        r.text = text.toString();
        return r;
    }
    const QString pattern = foldPattern(find, matchCase, foldWidth);
    to = std::min<int>(to, int(text.size()));
    r.text.reserve(text.size());
    int copied = 0;
    for (int i = std::max(from, 0); i < to;) {
        const int length = matchAt(text, pattern, i, to, matchCase, foldWidth);
        if (length <= 0) {
            ++i;
            continue;
        }
        r.text += text.mid(copied, i - copied);
        r.text += replacement;
        r.matches.push_back({i, length});
        i += length;
        copied = i;
    }
    r.text += text.mid(copied);
    return r;
}

Terms admitTerms(QStringView find, QStringView replacement, const QString& file)
{
    const TextAdmission::Options options{false, TextAdmission::Tabs::Blank, TextAdmission::Controls::Refuse};
    TextAdmission::Result f = TextAdmission::admit(find, options);
    const TextAdmission::Result r = TextAdmission::admit(replacement, options);
    Terms terms;
    if (f.refusedAny() || r.refusedAny()) {
        f.addRefused(r);
        terms.refusal = TextAdmission::refusalMessage(f, file);
        return terms;
    }
    terms.find = f.text;
    terms.replacement = r.text;
    return terms;
}

} // namespace TextSearch
