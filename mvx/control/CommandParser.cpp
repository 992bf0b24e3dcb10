#include "CommandParser.h"

#include "TextScanner.h"

namespace mvx {

namespace {

// [field]: a field name in brackets, without blanks or brackets inside.
bool readField(TextScanner& s, QString& field) {
    if (!s.accept(u'[')) return false;
    if (!s.readWord(field, QStringLiteral("[];,="))) return false;
    return s.accept(u']');
}

}  // namespace

bool CommandParser::parse(const QString& text, ObjectCommand& command, QString& error) {
    TextScanner s(text);
    ObjectCommand cmd;
    bool haveName = false, haveMetrics = false, haveCoords = false, haveStyle = false;
    auto fail = [&](const QString& what) {
        error = QStringLiteral("command \"%1\": %2").arg(text, what);
        return false;
    };
    while (!s.atEnd()) {
        QString key;
        if (!s.readWord(key, QStringLiteral("=;'[")) || !s.accept(u'=')) return fail(QStringLiteral("expected key="));
        key = key.toLower();
        if (key == u"name") {
            if (haveName) return fail(QStringLiteral("name given twice"));
            if (s.peek() == u'\'') {
                if (!s.readQuoted(cmd.name)) return fail(QStringLiteral("unterminated quoted name"));
            } else if (!s.readWord(cmd.name, QStringLiteral(";'"))) {
                return fail(QStringLiteral("empty name"));
            }
            if (cmd.name.isEmpty()) return fail(QStringLiteral("empty name"));
            haveName = true;
        } else if (key == u"metrics") {
            if (haveMetrics || haveCoords) return fail(QStringLiteral("geometry given twice"));
            if (!readField(s, cmd.metricsField)) return fail(QStringLiteral("expected metrics=[field]"));
            cmd.geometry = ObjectCommand::Geometry::Metrics;
            haveMetrics = true;
        } else if (key == u"coords") {
            if (haveMetrics || haveCoords) return fail(QStringLiteral("geometry given twice"));
            if (!readField(s, cmd.latField) || !s.accept(u',') || !readField(s, cmd.lonField))
                return fail(QStringLiteral("expected coords=[latfield],[lonfield]"));
            cmd.geometry = ObjectCommand::Geometry::Coords;
            haveCoords = true;
        } else if (key == u"style") {
            if (haveStyle) return fail(QStringLiteral("style given twice"));
            if (!readField(s, cmd.styleField)) return fail(QStringLiteral("expected style=[field]"));
            haveStyle = true;
        } else {
            return fail(QStringLiteral("unknown key \"%1\"").arg(key));
        }
        if (!s.atEnd() && !s.accept(u';')) return fail(QStringLiteral("expected ';' after %1").arg(key));
    }
    if (!haveName) return fail(QStringLiteral("no name"));
    if (!haveMetrics && !haveCoords) return fail(QStringLiteral("no metrics or coords"));
    command = cmd;
    return true;
}

}  // namespace mvx
