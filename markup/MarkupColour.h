#pragma once

#include "DataListUnit.h"

#include <QString>
#include <QStringView>

// The quiz mark-up's keywords, then the two comment brackets (no keywords, but the scanners and
// the numbering gutter look for them).
namespace MarkupKeywords {
constexpr int KeywordCount = 20;
constexpr int CommentOpen = 20;  // "{*"
constexpr int CommentClose = 21; // "*}"
const QString& word(int index);
} // namespace MarkupKeywords

// The keyword's index (exact, case-sensitive) or -1.
int FindKeyword(QStringView word);

// The two bracket scanners over a text whose lines end in CR LF. Positions are character
// positions (indices of the text), 0-based; spans are (start, end) pairs, end exclusive, appended
// to the lists. Comments are skipped. Nesting is kept on an explicit stack, so no depth of
// brackets can exhaust the call stack.
class MarkupScanner {
public:
    int TestVersion = 0;
    bool Color2Enabled = true; // collect answer spans
    bool Color3Enabled = true; // collect function spans
    bool Color4Enabled = true; // tell errors apart; off, errors are coloured as if valid

    void scanFunctions(QStringView text, int start, int end, TDataList& functionSpans, TDataList& errorSpans) const;
    void scanAnswers(QStringView text, int start, int end, TDataList& answerSpans, TDataList& errorSpans) const;

    // A head that is no keyword names a picture when its last four characters, lower-cased,
    // occur within ".bmp.jpg": "a.jpg", "x.bmp." and ".bmp" do, "bmp" (three) does not.
    static bool isPictureName(QStringView head);
};
