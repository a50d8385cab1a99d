#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

// The list of map files last opened or saved, newest first, as the history menu shows it.
// Paths are kept as stored: inside the program folder relative to it.
class FileHistory {
public:
    static constexpr int MaxFiles = 12;

    // Replaces the list with the file's lines (no limit on their number); a missing file gives
    // an empty list. Each line stands on its own: one that is no code page 932 text stays in its
    // place, out of entries(), and is written back as it was. A file that cannot be read (not a
    // regular file, larger than a settings file) gives an empty list, false and *why.
    bool load(const QString& historyFile, QString* why = nullptr);
    // Puts the map on top (once: "\" and "/" spell one path, letters in other case another); the
    // oldest line falls off beyond 12. A path the file would not give back as the same file (a
    // character code page 932 cannot hold or stores one way only, a line break, a "\") stays out,
    // and onRefused hears of it once per map.
    void add(const QString& mapPath);
    // Writes what this program changed since it last wrote (the maps add() put on top, or a
    // clear) over what the file holds now, since another program may have written it meanwhile:
    // its lines stay, in their order, below these maps, and the list becomes what was written.
    // Nothing is written without a change, or after setKept(false). A failed write keeps the old
    // file and says why, and the changes wait for the next save.
    bool save(const QString& historyFile, QString* error = nullptr);
    // The same without the file: the file's bytes read as load() reads them, and as save() writes
    // the list.
    void loadBytes(const QByteArray& bytes);
    QByteArray toBytes() const;
    // Forgets every entry and deletes the file (at the next save when it cannot be deleted now).
    void clear(const QString& historyFile);

    // The paths of the readable lines, newest first.
    QStringList entries() const;
    // Whether the menu shows the clear item, and its caption.
    bool hasClearItem() const { return m_hasClearItem; }
    QString clearCaption() const;

    // Told the map add() left out and why, as a phrase naming the characters.
    std::function<void(const QString& mapPath, const QString& fault)> onRefused;
    // False when the file cannot be kept at all (its folder could not be made, which the user
    // has been told): save() then writes nothing and reports nothing.
    void setKept(bool kept) { m_kept = kept; }

private:
    struct Line {
        QString path;
        // The line as read; empty for a path added since.
        QByteArray bytes;
        bool readable = true;
    };
    static QList<Line> parse(const QByteArray& bytes);
    static QString key(const Line& line); // the file a readable line names

    QList<Line> m_lines;
    // Put on top since the last write, newest first; and whether the file is still to be cleared.
    QStringList m_added;
    bool m_cleared = false;
    QSet<QString> m_refused;
    bool m_hasClearItem = false;
    bool m_clearFromFile = false;
    bool m_kept = true;
};
