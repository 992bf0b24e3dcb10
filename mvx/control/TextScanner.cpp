#include "TextScanner.h"

#include <cmath>

namespace mvx {

void TextScanner::skipSpaces() {
    while (pos_ < text_.size() && text_[pos_].isSpace()) ++pos_;
}

bool TextScanner::atEnd() {
    skipSpaces();
    return pos_ >= text_.size();
}

QChar TextScanner::peek() {
    skipSpaces();
    return pos_ < text_.size() ? text_[pos_] : QChar();
}

bool TextScanner::readQuoted(QString& out) {
    skipSpaces();
    if (pos_ >= text_.size() || text_[pos_] != u'\'') return false;
    int i = pos_ + 1;
    QString result;
    while (i < text_.size()) {
        if (text_[i] == u'\'') {
            if (i + 1 < text_.size() && text_[i + 1] == u'\'') {
                result += u'\'';
                i += 2;
                continue;
            }
            pos_ = i + 1;
            out = result;
            return true;
        }
        result += text_[i++];
    }
    return false;  // no closing quote
}

bool TextScanner::readWord(QString& out, const QString& stops) {
    skipSpaces();
    int i = pos_;
    while (i < text_.size() && !text_[i].isSpace() && !stops.contains(text_[i])) ++i;
    if (i == pos_) return false;
    out = text_.mid(pos_, i - pos_);
    pos_ = i;
    return true;
}

bool TextScanner::readNumber(double& out) {
    skipSpaces();
    int i = pos_;
    if (i < text_.size() && (text_[i] == u'-' || text_[i] == u'+')) ++i;
    const int digitsStart = i;
    while (i < text_.size() && text_[i] >= u'0' && text_[i] <= u'9') ++i;
    int digits = i - digitsStart;
    if (i < text_.size() && text_[i] == u'.') {
        ++i;
        const int fracStart = i;
        while (i < text_.size() && text_[i] >= u'0' && text_[i] <= u'9') ++i;
        digits += i - fracStart;
    }
    if (digits == 0 || digits > 30) return false;
    bool ok = false;
    const double v = text_.mid(pos_, i - pos_).toDouble(&ok);
    if (!ok || !std::isfinite(v)) return false;
    out = v;
    pos_ = i;
    return true;
}

bool TextScanner::readInt(int& out) {
    const int start = pos_;
    double v = 0;
    if (!readNumber(v)) return false;
    if (v != std::floor(v) || std::fabs(v) > 1e9) {
        pos_ = start;
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

bool TextScanner::readColor(QColor& out) {
    skipSpaces();
    const int start = pos_;
    if (text_.mid(pos_, 3).compare(QStringLiteral("rgb"), Qt::CaseInsensitive) != 0) return false;
    pos_ += 3;
    int c[3] = {0, 0, 0};
    bool ok = accept(u'(');
    for (int k = 0; ok && k < 3; ++k) {
        ok = readInt(c[k]) && c[k] >= 0 && c[k] <= 255;
        if (ok && k < 2) ok = accept(u',');
    }
    ok = ok && accept(u')');
    if (!ok) {
        pos_ = start;
        return false;
    }
    out = QColor(c[0], c[1], c[2]);
    return true;
}

bool TextScanner::readOffset(QPoint& out) {
    const int start = pos_;
    int dx = 0, dy = 0;
    if (accept(u':') && readInt(dx) && readInt(dy) && accept(u':')) {
        out = QPoint(dx, dy);
        return true;
    }
    pos_ = start;
    return false;
}

bool TextScanner::accept(QChar c) {
    skipSpaces();
    if (pos_ < text_.size() && text_[pos_] == c) {
        ++pos_;
        return true;
    }
    return false;
}

bool TextScanner::acceptKeyword(const QString& word) {
    skipSpaces();
    if (text_.mid(pos_, word.size()).compare(word, Qt::CaseInsensitive) != 0) return false;
    const int end = pos_ + word.size();
    if (end < text_.size() && text_[end].isLetterOrNumber()) return false;
    pos_ = end;
    return true;
}

}  // namespace mvx
