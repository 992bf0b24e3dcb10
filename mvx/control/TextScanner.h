#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

namespace mvx {

// A cursor over a command or style string with the small readers both grammars share. Every reader
// skips leading blanks, returns false without consuming anything useful on a mismatch, and never
// reads past the end.
class TextScanner {
public:
    explicit TextScanner(const QString& text) : text_(text) {}

    void skipSpaces();
    bool atEnd();  // only blanks left
    QChar peek();  // next non-blank character, or a null character at the end
    int position() const { return pos_; }

    // 'text' with '' standing for one quote inside.
    bool readQuoted(QString& out);
    // A run of characters up to a blank or one of the stop characters.
    bool readWord(QString& out, const QString& stops = QString());
    // A decimal number (optional sign, digits, optional fraction); no exponent, no locale.
    bool readNumber(double& out);
    // A whole number, possibly negative.
    bool readInt(int& out);
    // rgb(r,g,b) with blanks allowed around the parts; components 0..255.
    bool readColor(QColor& out);
    // :dx dy: pixel offset.
    bool readOffset(QPoint& out);
    // The literal character c.
    bool accept(QChar c);
    // The literal keyword (case-insensitive) followed by a blank, the end or a non-letter.
    bool acceptKeyword(const QString& word);

private:
    QString text_;
    int pos_ = 0;
};

}  // namespace mvx
