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

// What this program changed in the history since it last wrote the file. Several programs share
// the file, so a write puts these changes on top of what the file holds then, never this
// program's own list over the others' entries.
class ScratchHistoryChanges {
public:
    // A stored path put on top.
    void added(const QString& stored);
    // Every entry removed; when the file could not be deleted, the next write ignores what it holds.
    void cleared(bool fileDeleted);
    bool pending() const { return !m_added.isEmpty() || m_cleared; }
    // The history to write over the file's entries (newest first): the paths put on top, newest
    // first, then the file's entries in its order unless this program cleared the history, each
    // file once, at most ScratchHistoryEntries.
    QStringList merged(const QStringList& file) const;
    // The file holds the changes now.
    void written() { *this = ScratchHistoryChanges(); }

private:
    QStringList m_added;
    bool m_cleared = false;
};
