#pragma once

#include <QString>
#include <QStringList>

// The toolkit's comma-separated list, as map files and map undo snapshots store a row.
// Written: items joined by ","; an item holding a blank, a character below the blank, a comma or a
// double quote is put in double quotes with inner quotes doubled. Read: the toolkit's scan, so a
// written line reads back with exactly its items (an unquoted blank splits items, a trailing comma
// adds an empty item, an empty line gives none).
// Works on decoded text: no Shift-JIS trail byte is a blank, comma or quote, so the result is the
// same as the byte-wise scan over code page 932.
namespace CommaText {

QString write(const QStringList& items);
QStringList read(const QString& line);

} // namespace CommaText
