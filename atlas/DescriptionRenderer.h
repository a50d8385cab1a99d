#pragma once

#include "ColourText.h"

#include <QString>

class QTextDocument;

// Renders a description's tag mark-up (<w> <u> <r> <g> <b> and one <bg=BBGGRR>) as the story
// preview shows it: the tags become formats, the background tag the background colour. Tags that
// do not nest properly replace the whole text with one red line naming the pair at fault.
namespace DescriptionRenderer {

constexpr ColourText::TColor DefaultBackground = 0x00EEFFEE;

struct Result {
    QString text;                                // with the marker characters still in it
    ColourText::TColor background = DefaultBackground;
    bool nestingError = false;
};

// Steps before formatting: the background tag, the markers, the nesting check.
Result prepare(const QString& description);

// Puts the rendered description into the document (plain text with formats; markers removed).
// Returns the background colour.
ColourText::TColor render(const QString& description, QTextDocument& target);

} // namespace DescriptionRenderer
