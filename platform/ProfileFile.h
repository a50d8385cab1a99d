#pragma once

#include <QString>
#include <QStringList>
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
    // Writes the file through a temporary file (CR LF). Text code page 932 cannot hold gives false.
    bool save(QString* error = nullptr) const;

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // A decimal integer; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // The keys of a section in file order.
    QStringList keys(const QString& section) const;

    void writeString(const QString& section, const QString& key, const QString& value);
    void eraseSection(const QString& section);

private:
    struct Entry {
        QString key, value;
    };
    struct Section {
        QString name;
        std::vector<Entry> entries;
    };
    Section* find(const QString& section);
    const Section* find(const QString& section) const;

    QString m_path;
    std::vector<Section> m_sections;
};
