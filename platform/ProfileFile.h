#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// An ini file of profile strings in code page 932: sections and keys compare without regard to
// ASCII case, their order is kept, a write replaces a value in place (or appends it), a section
// can be erased, and a value read is cut at 2047 characters.
class ProfileFile {
public:
    static constexpr int MaxValueLength = 2047;

    explicit ProfileFile(const QString& path) : m_path(path) {}

    QString path() const { return m_path; }
    bool exists() const;
    // Reads the file; a missing file reads as empty (true), one that cannot be opened gives false
    // and *error. Each line stands on its own, as the profile functions read it: a line that is no
    // code page 932 text is kept as it is, never found (a header of that kind hides its section),
    // and written back byte for byte where it stood; unreadableLines() numbers them.
    bool load(QString* error = nullptr);
    // Writes the file through a temporary file (CR LF); lines nothing was written to go back as
    // they were read. A name or value the file cannot hold (storeFault) is left out, the line it
    // would have replaced standing as it was, and named in *leftOut ("[section] key（fault）");
    // the rest is written. False (*error) only when the file could not be written.
    bool save(QString* error = nullptr, QStringList* leftOut = nullptr) const;
    // The same without the file: what load() makes of the file's bytes, what save() writes.
    void loadBytes(const QByteArray& bytes);
    QByteArray toBytes(QStringList* leftOut = nullptr) const;
    // The lines the last load could not read, counted from 1.
    const QList<int>& unreadableLines() const { return m_unreadable; }

    // Why the text cannot be a name or value in the file, as a phrase for a message that names it
    // ("改行", "制御文字（U+0001）", or the characters code page 932 cannot give back, quoted);
    // empty when it comes back as written.
    static QString storeFault(const QString& text);

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // A decimal integer; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // The keys of a section in file order, each once (a key repeated in other case reads as the
    // first). Where a section or key occurs twice, the first one is the one read and written.
    QStringList keys(const QString& section) const;

    // Replaces the value of the key in place, or appends the key after the last line of its
    // section (the section goes at the end of the file when missing). Key and value are stored
    // trimmed of blanks, as reading would give them; an empty key writes nothing. Keys that
    // cannot come back as written: one with "=" reads as the key before its first "=" (the rest
    // joins the value), one starting with ";" is a comment and one starting with "[" and holding
    // a "]" a section header when read back.
    void writeString(const QString& section, const QString& key, const QString& value);
    // Gives the section the keys in this order in the places of the lines of the replaced keys
    // (ASCII case ignored): the first such line takes the first key, and so on; lines left over
    // go, keys left over follow the last of them (or go where writeString puts them). Every other
    // line stays where it stands, so one that could not be read, or a key the caller never read,
    // keeps its place among the others.
    void replaceKeys(const QString& section, const QStringList& replaced,
                     const QList<std::pair<QString, QString>>& keys);
    // Removes every section of that name (ASCII case ignored) with its lines, except the lines
    // that could not be read: those stay under the section's header.
    void eraseSection(const QString& section);

private:
    // One line of a section.
    struct Entry {
        QString key, value;
        bool isKey = true;
        bool readable = true;
        // The line as read, without its line break; for a key written since, what stands if the
        // new value cannot be stored (nothing for a key the file did not have).
        QByteArray bytes;
        bool written = false;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        // The header line as read.
        QByteArray header;
        bool fromFile = false;
        // False for a header that is no code page 932 text: its section is never found.
        bool readable = true;
        // False for the lines before the first header, which belong to no section.
        bool hasHeader = true;
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    QString m_path;
    std::vector<Section> m_sections;
    QList<int> m_unreadable;
};
