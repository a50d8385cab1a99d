#pragma once

#include <QString>
#include <QStringView>

// Comparisons that ignore case fold the ASCII letters only: stored names were written with ASCII
// letters in mind, and folding only those keeps the result independent of any locale.
namespace AsciiCase {

inline QChar lower(QChar c) { return (c >= u'A' && c <= u'Z') ? QChar(c.unicode() + ('a' - 'A')) : c; }

inline QString lower(QString text)
{
    for (QChar& c : text)
        c = lower(c);
    return text;
}

inline bool equal(QStringView a, QStringView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

} // namespace AsciiCase
