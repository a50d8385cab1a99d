#include "CommaText.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kQuote = u'"';
constexpr QChar kComma = u',';

// Blanks and every control character separate items; U+0000 too, since QString has no terminator.
bool isSeparator(QChar c)
{
    return c.unicode() <= 0x20;
}

bool needsQuotes(const QString& item)
{
    for (QChar c : item) {
        if (isSeparator(c) || c == kComma || c == kQuote)
            return true;
    }
    return false;
}

} // namespace

namespace CommaText {

QString write(const QStringList& items)
{
    // A lone empty item would otherwise write as nothing and read back as no items at all.
    if (items.size() == 1 && items.front().isEmpty())
        return u"\"\""_s;

    QString out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += kComma;
        const QString& item = items[i];
        if (needsQuotes(item)) {
            out += kQuote;
            for (QChar c : item) {
                if (c == kQuote)
                    out += kQuote;
                out += c;
            }
            out += kQuote;
        } else {
            out += item;
        }
    }
    return out;
}

QStringList read(const QString& line)
{
    QStringList items;
    const qsizetype n = line.size();
    qsizetype p = 0;
    auto skipSeparators = [&] {
        while (p < n && isSeparator(line[p]))
            ++p;
    };

    skipSeparators();
    while (p < n) {
        QString item;
        if (line[p] == kQuote) {
            // Runs to the closing quote (or the end of the line); a doubled quote is a literal one.
            ++p;
            while (p < n) {
                if (line[p] == kQuote) {
                    if (p + 1 < n && line[p + 1] == kQuote) {
                        item += kQuote;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                item += line[p++];
            }
        } else {
            const qsizetype start = p;
            while (p < n && !isSeparator(line[p]) && line[p] != kComma)
                ++p;
            item = line.mid(start, p - start);
        }
        items.append(item);

        skipSeparators();
        if (p < n && line[p] == kComma) {
            // Only a comma that is the very last character stands for a final empty item.
            if (p + 1 == n)
                items.append(QString());
            ++p;
            skipSeparators();
        }
    }
    return items;
}

} // namespace CommaText
