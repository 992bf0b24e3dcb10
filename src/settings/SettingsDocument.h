#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDomDocument>
#include <QDomElement>
#include <QString>
#include <QVector>

#include "app/model/MapTypes.h"

namespace telvika {

// The document of TVSettings.xml: root AppSettings (a default namespace declaration), its first
// child Settings with one child element per value, and the information-point kinds as elements
// InfoPoints1..N of Settings/InfoPoints. Values are looked up by element name, never by position.

// The fixed namespace of the root element.
QString settingsNamespace();

// Format of DateTimeBegin and DateTimeEnd: "dd.mm.yyyy hh:mm:ss".
QString settingsDateTimeFormat();

// A date and a time of day as the file writes them: wall-clock values without a time zone (held
// as UTC, so that a time skipped by a clock change stays what it is).
QDateTime settingsDateTime(const QDate& date, const QTime& time);

// The document written on a first start: UTF-8 with a byte-order mark, CR LF after every line.
QByteArray defaultSettingsDocument();

// The one-line document a save starts from when there is no file: the declaration and an
// AppSettings element holding an empty Settings element.
QByteArray settingsSkeleton();

// The thirteen kinds of the default document, in their fixed order.
QVector<TInfoPoints> defaultInfoPointKinds();

// Everything a save writes, in the file's own terms.
struct TSettingsValues {
    bool LoadKT = false;
    bool LoadIT = false;
    int GroupID = 7;  // 0-based position in the group list; -1 = none
    int IconNum = 0;
    int CarID = 0;            // 0-based position in the vehicle list; -1 = none
    QDateTime DateTimeBegin;  // settingsDateTime
    QDateTime DateTimeEnd;
    QString Speed = QStringLiteral("60x");  // as shown in the speed box
    bool Stops = true;
    QString Cont = QStringLiteral("60");
    QVector<TInfoPoints> InfoPoints;
};

// The values of the default document.
TSettingsValues defaultSettingsValues();

// Conversions of the texts of the file; each throws telvika::Error with a message naming the
// element when the text cannot be converted.
bool parseSettingsBool(const QString& element, const QString& text);
int parseSettingsInt(const QString& element, const QString& text);
QDateTime parseSettingsDateTime(const QString& element, const QString& text);
// The speed factor of a Speed text: every "x" and "X" removed, the rest a decimal integer.
int parseSettingsSpeed(const QString& text);
QString formatSettingsDateTime(const QDateTime& value);

// Reads the values of a Settings element one by one; every getter throws telvika::Error with a
// message for the user when the value is missing or cannot be converted.
class TSettingsReader {
public:
    explicit TSettingsReader(const QDomElement& settings) : settings_(settings) {}

    QString text(const QString& name) const;
    bool boolean(const QString& name) const;
    int integer(const QString& name) const;
    QDateTime dateTime(const QString& name) const;
    int speed() const;  // the factor of Speed

    // Number of child elements of InfoPoints; 0 when there is no InfoPoints element.
    int kindCount() const;
    // The kind of element InfoPoints<i> (i from 1).
    TInfoPoints kind(int i) const;

    // Every value at once (used by tools and tests); throws on the first failure.
    TSettingsValues all() const;

private:
    QDomElement settings_;
};

// The first child of the root: the Settings element. Throws telvika::Error when the document has
// no root or the root's first child is not an element.
QDomElement settingsElementOf(const QDomDocument& document);

// Replaces every child of the Settings element by the values, in the order LoadKT, LoadIT,
// GroupID, IconNum, CarID, DateTimeBegin, DateTimeEnd, Speed, Stops, Cont, InfoPointsCount,
// InfoPoints; the kinds with the attributes name, VisibleList, VisibleIcon, query, Icon.
void writeSettingsValues(QDomDocument& document, QDomElement settings, const TSettingsValues& values);

// The bytes of a document in the layout of the default document: byte-order mark, the
// declaration, one element per line, CR LF line ends, " />" closing empty elements, the
// attributes of a kind in their fixed order.
QByteArray serializeSettingsDocument(const QDomDocument& document);

}  // namespace telvika
