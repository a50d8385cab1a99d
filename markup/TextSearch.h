#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// Search regardless of width: a half-width find text matches its full-width forms and the
// reverse (each character folded as FullToHalfWidth folds it), so a match may be longer or
// shorter than the find text. Positions are character indices into the text searched; a match
// always starts and ends on whole characters.
namespace TextSearch {

struct Match {
    int position = -1;
    int length = 0;
    bool found() const { return position >= 0; }
};

// The first match starting at or after `from` that ends by `to`.
Match FindForward(QStringView text, QStringView find, int from, int to, bool matchCase);
// The last match starting at or after `from` that ends by `before`.
Match FindLastBefore(QStringView text, QStringView find, int from, int before, bool matchCase);
// The length of a match at the position, or -1 when none starts there.
int MatchLength(QStringView text, QStringView find, int position, int to, bool matchCase);

// Every match in [from, to) replaced, each by its own length; without `foldWidth` a match is
// the find text itself (ASCII case aside, unless `matchCase`).
struct Replaced {
    QString text;
    std::vector<Match> matches; // in the text before the replacement
};
Replaced ReplaceAll(QStringView text, QStringView find, QStringView replacement, int from, int to, bool matchCase,
                    bool foldWidth = true);

// The find and replacement texts as the text searched holds its characters: each through the
// admission rule of a description box (a TAB a blank, control characters refused), so that a "〜"
// typed finds, and puts in, the "～" the file holds. When the rule refused a character, `refusal`
// names it (`file` is what cannot keep a control character) and nothing is to be searched for.
struct Terms {
    QString find, replacement;
    QString refusal;
};
Terms admitTerms(QStringView find, QStringView replacement, const QString& file);

} // namespace TextSearch
