#include "map/IniDocument.h"

#include <QDir>
#include <QFile>
#include <QSet>

#include "common/FileReplace.h"

#include <algorithm>

namespace telvika {

namespace {

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    QString name;   // section or key name
    QString value;  // a key's value, trimmed and unquoted
};

ParsedLine parse(const QString& line) {
    ParsedLine p;
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(u';')) return p;
    if (t.startsWith(u'[')) {
        const qsizetype close = t.indexOf(u']');
        if (close < 0) return p;
        p.kind = LineKind::Section;
        p.name = t.mid(1, close - 1).trimmed();
        return p;
    }
    const qsizetype eq = t.indexOf(u'=');
    if (eq <= 0) return p;
    p.kind = LineKind::Key;
    p.name = t.left(eq).trimmed();
    p.value = t.mid(eq + 1).trimmed();
    if (p.value.size() >= 2 && p.value.startsWith(u'"') && p.value.endsWith(u'"'))
        p.value = p.value.mid(1, p.value.size() - 2);
    return p;
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

bool hasLineBreak(const QString& s) {
    return s.contains(u'\n') || s.contains(u'\r') || s.contains(QChar(0));
}

// The value as written on its line: quoted when reading it back would otherwise change it
// (surrounding blanks are trimmed, one pair of surrounding quotes is dropped).
QString storedValue(const QString& value) {
    const bool blanksAround = !value.isEmpty() && (value.front().isSpace() || value.back().isSpace());
    const bool quoted = value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"');
    return blanksAround || quoted ? u'"' + value + u'"' : value;
}

}  // namespace

TIniDocument TIniDocument::fromText(const QString& text) {
    TIniDocument doc;
    QString body = text;
    // Every leading byte-order mark: the file is written without one, so a second mark left in the
    // text would read as one the next time and change the first line.
    while (body.startsWith(QChar(0xFEFF))) body.remove(0, 1);
    if (body.contains(QStringLiteral("\r\n"))) doc.eol_ = QStringLiteral("\r\n");
#ifdef Q_OS_WIN
    else
        doc.eol_ = QStringLiteral("\r\n");
#endif
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (body.isEmpty()) return doc;
    doc.lines_ = body.split(u'\n');
    if (body.endsWith(u'\n')) doc.lines_.removeLast();
    return doc;
}

TIniDocument TIniDocument::load(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return fromText(QString());
    return fromText(QString::fromUtf8(f.readAll()));
}

int TIniDocument::findSection(const QString& section) const {
    for (int i = 0; i < lines_.size(); ++i) {
        const ParsedLine p = parse(lines_[i]);
        if (p.kind == LineKind::Section && sameName(p.name, section)) return i;
    }
    return -1;
}

int TIniDocument::sectionEnd(int header) const {
    int i = header + 1;
    while (i < lines_.size() && parse(lines_[i]).kind != LineKind::Section) ++i;
    return i;
}

int TIniDocument::findKey(const QString& section, const QString& key) const {
    const int header = findSection(section);
    if (header < 0) return -1;
    const int end = sectionEnd(header);
    for (int i = header + 1; i < end; ++i) {
        const ParsedLine p = parse(lines_[i]);
        if (p.kind == LineKind::Key && sameName(p.name, key)) return i;
    }
    return -1;
}

QString TIniDocument::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const int line = findKey(section, key);
    return line < 0 ? defaultValue : parse(lines_[line]).value;
}

int TIniDocument::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const int line = findKey(section, key);
    if (line < 0) return defaultValue;
    bool ok = false;
    const int value = parse(lines_[line]).value.toInt(&ok, 10);
    return ok ? value : defaultValue;
}

TIniDocument::KeyValues TIniDocument::readSection(const QString& section) const {
    KeyValues keys;
    const int header = findSection(section);
    if (header < 0) return keys;
    for (int i = header + 1; i < lines_.size(); ++i) {
        ParsedLine p = parse(lines_[i]);
        if (p.kind == LineKind::Section) break;
        if (p.kind == LineKind::Key) keys.append({std::move(p.name), std::move(p.value)});
    }
    return keys;
}

bool TIniDocument::hasKey(const QString& section, const QString& key) const { return findKey(section, key) >= 0; }

bool TIniDocument::writeKeys(const QString& section, const KeyValues& keys, QString* error) {
    for (const auto& [key, value] : keys) {
        const QString k = key.trimmed();
        if (k.isEmpty() || k != key || key.contains(u'=') || key.startsWith(u'[') || key.startsWith(u';') ||
            hasLineBreak(key) || hasLineBreak(value)) {
            if (error)
                *error = QStringLiteral("Значение \"%1\" нельзя записать в одну строку INI-файла")
                             .arg(hasLineBreak(value) ? value.simplified() : key.simplified());
            return false;
        }
    }
    if (section.trimmed().isEmpty() || hasLineBreak(section) || section.contains(u']')) {
        if (error) *error = QStringLiteral("Недопустимое имя раздела INI-файла: \"%1\"").arg(section.simplified());
        return false;
    }

    QStringList written;
    for (const auto& [key, value] : keys) written.append(key + u'=' + storedValue(value));

    int header = findSection(section);
    if (header < 0) {
        lines_.append(u'[' + section + u']');
        lines_.append(written);
        return true;
    }
    const int end = sectionEnd(header);
    // The names written, case-folded: a set, so that writing a long list stays linear.
    QSet<QString> names;
    for (const auto& kv : keys) names.insert(kv.first.toCaseFolded());
    QStringList kept;
    for (int i = header + 1; i < end; ++i) {
        const ParsedLine p = parse(lines_[i]);
        const bool replaced = p.kind == LineKind::Key && names.contains(p.name.toCaseFolded());
        if (!replaced) kept.append(lines_[i]);
    }
    QStringList result = lines_.mid(0, header + 1);
    result.append(written);
    result.append(kept);
    result.append(lines_.mid(end));
    lines_ = result;
    return true;
}

QString TIniDocument::text() const {
    if (lines_.isEmpty()) return QString();
    return lines_.join(eol_) + eol_;
}

bool TIniDocument::save(const QString& path, QString* error) const {
    QString reason;
    if (!replaceFileContents(path, text().toUtf8(), &reason)) {
        if (error)
            *error = QStringLiteral("Не удалось записать файл %1: %2. Прежний файл не изменён.")
                         .arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return true;
}

}  // namespace telvika
