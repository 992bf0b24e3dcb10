#pragma once

#include <QDate>
#include <QString>
#include <QTime>

#include <optional>

namespace telvika::tracking {

// A period bound as the server reads it: "dd.mm.yyyy hh:mm:ss" from the date of a date picker and
// the time of day of a time picker, taken as the wall-clock values the user sees (no time-zone
// arithmetic, so a bound inside a clock change is sent as shown).
QString periodBoundText(const QDate& date, const QTime& time);

// The device number named by the device list's text; 0 when no vehicle is selected (empty text).
// A text that is not a whole number also names no device.
int deviceOfListText(const QString& text);

// The server's "Car_Device" value as the device list writes it (decimal, no leading zeros), or
// nothing when the value is not a whole number, so that it matches no vehicle.
std::optional<QString> deviceListTextOf(const QString& propertyValue);

// The label of a vehicle on the map: name, registration number, device and note.
QString vehicleLabel(const QString& name, const QString& number, int device, const QString& info);

}  // namespace telvika::tracking
