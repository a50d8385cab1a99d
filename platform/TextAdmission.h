#pragma once

#include <QString>
#include <QStringView>

// What a text box takes in of what comes in by any road (typed, an input method, a paste, the X
// selection, a drop, a replace, a conversion): the one rule, so that what the box shows is what its
// file then holds and what reads back.
// - A character code page 932 stores one way only is the character the file holds ("〜" U+301C
//   comes in as "～" U+FF5E, "−" U+2212 as "－", "—" as "―", "‖" as "∥", "¢" "£" "¬" as "￠" "￡"
//   "￢"): decided by the round trip, character by character.
// - A no-break space comes in as a blank; a line or paragraph separator as a line break.
// - A character code page 932 cannot hold at all is refused, and so is a control character where
//   the box's file cannot keep one (a TAB becomes a blank where the box says so).
// A name is another matter: a file name holding a one-way character would name another file
// (Cp932::canStore decides those).
namespace TextAdmission {

enum class Tabs { Keep, Blank };
enum class Controls { Refuse, Keep };

struct Options {
    // A one-line box keeps the first line of what comes in, as the platform's one-line boxes do.
    bool oneLine = false;
    Tabs tabs = Tabs::Keep;
    Controls controls = Controls::Refuse;
};

struct Result {
    QString text;
    // What was left out, each character once, in order: control characters, and characters code
    // page 932 cannot hold.
    QString controls;
    QString unstorable;
    bool refusedAny() const { return !controls.isEmpty() || !unstorable.isEmpty(); }
    // What `more` refused, after what this one did, so that one message names each character once.
    void addRefused(const Result& more);
};

Result admit(QStringView text, const Options& options = {});

// How a message names a character: itself in quotes with its code, or, where it does not show (a
// control character, a line break, a zero-width or combining character, a space of another width),
// by its code alone.
QString nameOf(char32_t c);

// The names of the characters of the text, each once, joined for a message.
QString namesOf(QStringView characters);

// The message for what was refused; empty when nothing was. `file` names what cannot keep a
// control character ("マップファイル").
QString refusalMessage(const Result& result, const QString& file);

} // namespace TextAdmission
