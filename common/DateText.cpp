#include "common/DateText.h"

#include "common/Error.h"

#include <QRegularExpression>

namespace telvika {

namespace {
const QString FixedFormat = QStringLiteral("dd.MM.yyyy HH:mm:ss");

QString invalidDateTime(const QString& text) {
    return QStringLiteral("'%1' - неверное значение даты и времени").arg(text);
}
}  // namespace

QString formatFixedDateTime(TDateTime value) {
    return oleToDateTime(value).toString(FixedFormat);
}

TDateTime parseFixedDateTime(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(\\d{2})\\.(\\d{2})\\.(\\d{4}) (\\d{2}):(\\d{2}):(\\d{2})$"));
    const auto m = re.match(text.trimmed());
    if (!m.hasMatch()) throw Error(invalidDateTime(text));
    const QDate date(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (!date.isValid() || !time.isValid()) throw Error(invalidDateTime(text));
    return oleFromDateAndTime(date, time);
}

QString longTimeFormat(const QLocale& locale) {
    QString f = locale.timeFormat(QLocale::LongFormat);
    // Qt appends the time zone ("t") to the long format; the player's texts never carry one.
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    f.replace(zone, QString());
    return f.trimmed();
}

QString shortDateFormat(const QLocale& locale) { return locale.dateFormat(QLocale::ShortFormat); }

QString dateLabelText(TDateTime value, const QLocale& locale) {
    const QDateTime dt = oleToDateTime(value);
    QString text = locale.toString(dt.date(), shortDateFormat(locale));
    if (dt.time() != QTime(0, 0)) text += QLatin1Char(' ') + locale.toString(dt.time(), longTimeFormat(locale));
    return text;
}

QString formatRegionalDateTime(TDateTime value, const QLocale& locale) {
    return dateLabelText(value, locale);
}

TDateTime parseRegionalDateTime(const QString& text, const QLocale& locale) {
    const QString t = text.trimmed();
    const QString dateFmt = shortDateFormat(locale);
    const QString timeFmt = longTimeFormat(locale);
    for (const QString& fmt : {dateFmt + QLatin1Char(' ') + timeFmt, dateFmt}) {
        QDateTime dt = locale.toDateTime(t, fmt);
        if (dt.isValid()) return oleFromDateAndTime(dt.date(), dt.time());
    }
    for (const QString& fmt : {FixedFormat, QStringLiteral("dd.MM.yyyy H:mm:ss"), QStringLiteral("dd.MM.yyyy")}) {
        QDateTime dt = QDateTime::fromString(t, fmt);
        if (dt.isValid()) return oleFromDateAndTime(dt.date(), dt.time());
    }
    throw Error(invalidDateTime(text));
}

}  // namespace telvika
