#pragma once

#include <QByteArrayView>
#include <QLocale>
#include <QString>

// Commands, default styles and record styles of the object sets the player shows on the map, one
// builder per kind of object. Texts that a command or style quotes are escaped as the map
// control's grammar asks (an inner quote doubled), so any name or label is shown as it is.
namespace telvika::layers {

// A text in the map control's quotes: 'Кафе ''Ромашка'''.
QString quotedText(const QString& text);

// The track: the same line drawn twice, a wide black base and a thin red line over it.
QString trackBaseCommand();   // name=nametab1;metrics=[metr]
QString trackBaseStyle();     // l rgb(0,0,0) 4
QString trackLineCommand();   // name=nametab2;metrics=[metr]
QString trackLineStyle();     // l rgb(255,0,0) 2
// The geometry text of a chain of points given as "lon lat,lon lat,...".
QString lineGeometry(const QString& coordinates);  // "L E " + coordinates
// The same from UTF-8 coordinates, decoded once into the result.
QString lineGeometryOfUtf8(QByteArrayView utf8Coordinates);

// Control points: the filled circle, its outline, and the label at the centre.
QString controlAreaCommand();     // name='Контрольная точка';metrics=[metr]
QString controlAreaStyle();       // a rgb(255,0,0) 10
QString controlOutlineCommand();  // name='КТ';metrics=[metr]
QString controlOutlineStyle();    // l rgb(255,0,0) 1
QString controlCentersCommand();  // name=centersKT;coords=[YCOORD],[XCOORD];style=[style]
QString controlLabelStyle(const QString& label);  // t 'label' 'Arial 204' 8 rgb(0,0,0)

// Information points: one set per kind, named after the kind.
QString infoPointsCommand(const QString& kindName);
// The icon of an entry of kind index kind (1-based position in the kinds list minus one): the
// kind's own number, except that an entry of kind 5 or 6 (the tanks) whose label has a "-" (a
// drop in volume) takes icon 6.
int infoPointIcon(int kind, const QString& label);
QString infoPointStyle(int icon);  // m 'TVIcons.res' icon rgb(0,0,0) 25
// The tooltip of an entry: its label and its number counted from 0 in parentheses.
QString infoPointName(const QString& label, int entry);

// The group's vehicles; iconNum is the 0-based vehicle icon of the settings.
QString vehiclesCommand();  // name='ТС:';coords=[YCOORD],[XCOORD];style=[style]
QString vehicleStyle(int iconNum);  // m 'TVAllTS.res' iconNum+1 rgb(0,0,0) 35

// Labels of information-point entries: the maximum speed to 2 decimals plus " км/ч", a tank's
// change to 1 decimal plus " л", halves to even, in the shortest general form with the locale's
// decimal separator.
QString speedEntryLabel(double kmh, const QLocale& locale = QLocale());
QString tankEntryLabel(double begin, double end, const QLocale& locale = QLocale());
// The label the map gives the current entry of a server's entry list, by its kind's query (Server:
// the tracking server's client).
template <class Server>
QString entryLabel(Server& server, const QString& query) {
    if (query == QLatin1String("over_speed")) return speedEntryLabel(server.TripEntrySpeed());
    if (query == QLatin1String("tank-num1")) return tankEntryLabel(server.TripEntryTank1Begin(), server.TripEntryTank1End());
    if (query == QLatin1String("tank-num2")) return tankEntryLabel(server.TripEntryTank2Begin(), server.TripEntryTank2End());
    return server.TripEntryDuration();
}

}  // namespace telvika::layers
