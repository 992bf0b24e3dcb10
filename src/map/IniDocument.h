#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace telvika {

// The text of a Windows-style INI file, read and changed the way the Windows profile functions do:
// section and key names compare without regard to case, the first section and the first key of a
// name win, keys and values are trimmed, and a value wrapped in one pair of double quotes loses
// them. Changes keep every line they do not concern: other sections, comments and unknown keys.
class TIniDocument {
public:
    using KeyValues = QList<QPair<QString, QString>>;

    TIniDocument() = default;
    // Parses text with LF or CR LF line ends (a leading byte-order mark is dropped).
    static TIniDocument fromText(const QString& text);
    // Reads a file; a missing or unreadable file reads as an empty document.
    static TIniDocument load(const QString& path);

    // The value of a key, or defaultValue when the section or the key is missing.
    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    // The value as a decimal integer with an optional sign; defaultValue when missing or when the
    // value is not a whole number that fits.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    // Every key of the section in file order with its value, in one pass (the first section of
    // the name; empty when there is none). A key may repeat: its first line is its value.
    KeyValues readSection(const QString& section) const;
    // True when the section holds the key.
    bool hasKey(const QString& section, const QString& key) const;

    // Writes the keys at the top of the section, in the order given; earlier lines of those keys
    // in the section are dropped, every other line stays. A missing section is appended. Returns
    // false (and changes nothing) when a key or value cannot be stored on one line.
    bool writeKeys(const QString& section, const KeyValues& keys, QString* error = nullptr);

    QString text() const;
    // Writes the text through a temporary file that replaces the old one only when complete, so a
    // failure leaves the old file whole. False with a message for the user on failure.
    bool save(const QString& path, QString* error = nullptr) const;

private:
    int findSection(const QString& section) const;  // index of the header line, or -1
    int sectionEnd(int header) const;               // index past the section's last line
    int findKey(const QString& section, const QString& key) const;  // index of the line, or -1

    QStringList lines_;
    QString eol_ = QStringLiteral("\n");
};

}  // namespace telvika
