#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The list of map files last opened or saved, newest first, as the history menu shows it.
// Paths are kept as stored: inside the program folder relative to it.
class FileHistory {
public:
    static constexpr int MaxFiles = 12;

    // Replaces the list with the file's lines (no limit on their number); a missing file gives
    // an empty list.
    void load(const QString& historyFile);
    // Puts the map on top (once: "\" and "/" spell one path, letters in other case another); the
    // oldest falls off beyond 12. A path code page 932 cannot hold stays out.
    void add(const QString& mapPath);
    // Writes the list; nothing is written while it holds no file. A failed write keeps the old
    // file and says why.
    bool save(const QString& historyFile, QString* error = nullptr) const;
    // The same without the file: the file's bytes read as load() reads them, and as save() writes
    // the list.
    void loadBytes(const QByteArray& bytes);
    QByteArray toBytes() const;
    // Forgets every entry and deletes the file.
    void clear(const QString& historyFile);

    const QStringList& entries() const { return m_entries; }
    // Whether the menu shows the clear item, and its caption.
    bool hasClearItem() const { return m_hasClearItem; }
    QString clearCaption() const;

private:
    QStringList m_entries;
    bool m_hasClearItem = false;
    bool m_clearFromFile = false;
};
