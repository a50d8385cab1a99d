#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

// Shift-JIS code arithmetic and the half-width/full-width conversions of descriptions.
// The byte routines work on code-page-932 strings; the text routines on QString, where every
// code-page-932 character is one QChar, so a replacement can never start on a trail byte.
namespace HenkanJ {

bool IsSjisLeadByte(unsigned char b);
quint16 JisToSjis(quint16 jis);
quint16 SjisToJis(quint16 sjis);
QByteArray CodeToString(quint16 code);
quint16 StringToCode(const QByteArray& s);
// The full-width code of the symbol table, or the byte itself when the table lacks it.
quint16 SymbolToFullWidth(unsigned char b);
QByteArray HalfToFullWidth(const QByteArray& s);
QByteArray FullToHalfWidth(const QByteArray& s);

// ConvertFlags bits.
enum : quint8 {
    ConvertAlpha = 1,
    ConvertDigits = 2,
    ConvertSymbols = 4,
    ConvertKana = 8,
    ConvertAllOccurrences = 16,
    ConvertAllDestinations = 32,
    ConvertNoChange = 128
};
// The direction is the menu item's tag.
enum Direction { ToHalfWidth = 0, ToFullWidth = 1 };

inline constexpr char16_t NoChangeMask = 7;
QString DefaultNoChangeChars();

// Every protected character (and every mask character already there, so that it comes back as
// it was) is appended to `kept` and replaced by the mask.
QString MaskNoChangeChars(const QString& text, const QString& noChangeChars, QString& kept);
QString UnmaskNoChangeChars(const QString& text, const QString& kept);
// The letter, digit, symbol and kana passes that the flags select.
QString ConvertPasses(const QString& text, int direction, quint8 flags);
QString ConvertText(const QString& text, int direction, quint8 flags, const QString& noChangeChars);
// Every occurrence of `from` in the text (protected characters masked when bit 7 is set) becomes `to`.
QString ReplaceOccurrences(const QString& text, const QString& from, const QString& to, quint8 flags,
                           const QString& noChangeChars);

// A description cell as the map stores it (line breaks as "\n", the n in either case) changed
// through its text with real CR LF line breaks, so a change can never split an escape, and any
// line break it makes goes back as the escape.
QString ChangeStoredText(const QString& cell, const std::function<QString(const QString&)>& change);

// A full-width character folded to its half-width twin (one or two characters; the second is 0
// when there is none), for matching regardless of width and of nothing else: unlike
// FullToHalfWidth it leaves hiragana, and katakana without a half-width form, as they are.
struct Folded {
    char16_t c[2];
};
Folded FoldWidth(char16_t ch);

} // namespace HenkanJ
