#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The scratch-page history file ("ちょい置き履歴.txt"): one stored path a line, newest first.

constexpr int ScratchHistoryEntries = 12;
// Only so much of the file is read.
constexpr qsizetype ScratchHistoryBytes = 64 * 1024;

// A stored path as a cleaned full path, so that a file outside the program folder, stored with
// "../" steps, compares equal to its plain full path.
QString absoluteStoredPath(const QString& stored);

// The file's entries as stored: blank lines, lines that do not decode and entries naming a file
// already listed left out, at most twelve, from the whole lines of the first ScratchHistoryBytes.
QStringList ReadScratchHistory(const QByteArray& bytes);
