#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
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
    // Reads the file; a missing file reads as empty (true). Bytes that are not code page 932
    // text give false and *error.
    bool load(QString* error = nullptr);
    // Writes the file through a temporary file (CR LF). Text code page 932 cannot hold, or a line
    // break in a name or value, gives false and leaves the file as it was.
    bool save(QString* error = nullptr) const;
    // The same without the file: what load() makes of the file's bytes, what save() writes.
    bool loadBytes(const QByteArray& bytes, QString* error = nullptr);
    std::optional<QByteArray> toBytes(QString* error = nullptr) const;

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
    // a "]" a section header when read back. Text with a line break is refused by save().
    void writeString(const QString& section, const QString& key, const QString& value);
    // Removes every section of that name (ASCII case ignored) with its lines.
    void eraseSection(const QString& section);

private:
    // One line of a section. Comment, blank and unreadable lines are kept as they were so that a
    // rewrite changes only what was written.
    struct Entry {
        QString key, value;
        bool isKey = true;
        // The line as read; empty for a key written since, which is then written as key=value.
        QString text;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
        // The header line as read (empty: "[name]").
        QString header;
        // False for the lines before the first header, which belong to no section.
        bool hasHeader = true;
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    QString m_path;
    std::vector<Section> m_sections;
};
