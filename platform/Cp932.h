#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The one codec between in-memory text and the code-page-932 bytes of map files,
// settings, history and scratch pages (glibc iconv "CP932": 0x5C is "\", 0x8160 is "～").
namespace Cp932 {

// Strict decode. On invalid bytes returns what decoded before the fault and sets *ok false;
// *badOffset (when given) receives the byte offset of the first undecodable byte.
QString decode(const QByteArray& bytes, bool* ok = nullptr, qsizetype* badOffset = nullptr);

// Encode. A character with no code-page-932 form is never silently replaced: *ok is set false
// and *unencodable (when given) receives those characters, each once, in order of appearance;
// the returned bytes then hold "?" in their place.
QByteArray encode(const QString& text, bool* ok = nullptr, QString* unencodable = nullptr);

// The characters encode() refuses, each once, as code points: a lone half of a surrogate pair is
// its own character even where the list of them, joined, would pair it with another.
QList<char32_t> unencodableCharacters(const QString& text);

// Whether every character of the text has a code-page-932 form.
bool canEncode(const QString& text);

// Whether the text comes back the same after a write and a read: every character has a form, and
// that form reads back as the same character. Code page 932 stores some characters one way only
// ("〜" U+301C is written as the code of "～" U+FF5E, "−" U+2212 as "－"), so a name holding them
// would name another file when read back. *failing (when given) receives the characters that do
// not come back, each once, in order of appearance.
bool canStore(const QString& text, QString* failing = nullptr);

// Length of the text in code-page-932 bytes (an unencodable character counts as 1).
qsizetype byteLength(const QString& text);

// Shift-JIS lead byte (0x81-0x9F, 0xE0-0xFC).
bool isLeadByte(unsigned char b);

} // namespace Cp932
