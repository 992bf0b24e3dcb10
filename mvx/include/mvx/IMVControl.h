#pragma once

// The interface of the MVX map control as the player sees it. The control lives in a shared
// library (libmvx) that the player loads at run time; this header is the whole contract between
// the two, like a type library: abstract classes only, no code the player links against.

#include <QColor>
#include <QPolygonF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <stdexcept>

class QPainter;
class QWidget;

namespace mvx {

// A failed operation of the control; the message is written for the user.
class MapError : public std::runtime_error {
public:
    explicit MapError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const { return message_; }

private:
    QString message_;
};

// An in-memory table of objects: fields in declaration order (index 0, 1, ...), records of values,
// one current record.
class IMapTable {
public:
    virtual ~IMapTable() = default;
    // type is "TEXT" or "DOUBLE"; anything else throws MapError.
    virtual void AddField(const QString& type, const QString& name, const QString& caption) = 0;
    // Appends a record with empty values and makes it current.
    virtual void AddRecord() = 0;
    // Sets a field of the current record; a wrong index, no current record or a value that does
    // not convert to the field's type throws MapError.
    virtual void SetFieldValue(const QVariant& value, int fieldIndex) = 0;
    virtual int GetRecordCount() const = 0;
    // Makes the first record current (none when the table is empty).
    virtual void MoveFirst() = 0;
    // Deletes the current record; the next one (or the new last one) becomes current.
    virtual void DeleteRecord() = 0;

    // Introspection.
    virtual int FieldCount() const = 0;
    virtual QString FieldName(int index) const = 0;
    virtual QString FieldType(int index) const = 0;
    virtual QString FieldCaption(int index) const = 0;
    virtual QVariant FieldValue(int record, int fieldIndex) const = 0;
};

// A polygon painted over the map picture (the vehicle marker), in client pixels.
struct OverlayPolygon {
    QPolygonF points;
    QColor penColor;
    int penWidth = 1;
    QColor brushColor;
};

// What a loaded object set holds, for tests and diagnostics.
struct ObjectRecordInfo {
    QString kind;           // "point", "line", "area", "icon", "text", "box" from the style
    QVector<QPointF> lonLat;  // x = longitude, y = latitude
    QString style;          // the style string in force for the record
    QString name;           // the record's Name field, shown as a tooltip
};
struct ObjectSetInfo {
    QString name;
    QString command;
    QString defaultStyle;
    QVector<ObjectRecordInfo> records;
    int skippedRecords = 0;  // records left out because of a bad style, geometry or field
};

// The nearest named street to a place (NearestStreet).
struct MapPlace {
    QString street;       // the way's name as the map has it
    QString house;        // the nearest house number of that street within 50 m, or empty
    double metres = 0.0;  // ground distance from the place to the street
    bool found = false;   // false: no named way within the distance asked for, or no map loaded
};

// The control object is the widget itself: it is deleted with its parent window.
class IMVControl {
public:
    virtual ~IMVControl() = default;

    // The widget to place in the host window (objectName "MVCtrl" is set by the host).
    virtual QWidget* widget() = 0;

    // View. Latitude first, degrees; pixels are client coordinates of the widget.
    virtual void SetCenter(double lat, double lon) = 0;
    virtual void GetCenter(double& lat, double& lon) const = 0;
    virtual void GeoToScreen(double lat, double lon, int& x, int& y) const = 0;
    virtual void ScreenToGeo(int x, int y, double& lat, double& lon) const = 0;
    virtual double CurScale() const = 0;  // 1:N at the screen's logical DPI
    virtual void SetCurScale(double scale) = 0;
    virtual void Redraw() = 0;
    virtual void SetDoubleBuffered(bool on) = 0;

    // The folder holding the control's RESOURCES folder.
    virtual QString GetControlDir() const = 0;
    virtual void SetControlDir(const QString& dir) = 0;

    // Maps: result codes 0 loaded, 1 already loaded, 2 file missing, 3 not a valid map file,
    // 4 no drawable layer, 5 system error.
    virtual int LoadMap(const QString& fileName, const QString& param) = 0;
    virtual void CloseMap(const QString& fileName) = 0;
    virtual QStringList LoadedMaps() const = 0;

    // Tables and object sets. The control owns the tables it creates.
    virtual IMapTable* CreateTable() = 0;
    virtual int LoadObjects(const QString& command, const QString& style, IMapTable* table) = 0;
    virtual QStringList ObjectSetNames() const = 0;  // in drawing order
    virtual ObjectSetInfo ObjectSet(const QString& name) const = 0;

    // The nearest named street (a road of the loaded maps with a name) to a place, looked up in
    // the maps' spatial index, with the nearest house number of that street within 50 m.
    virtual MapPlace NearestStreet(double lat, double lon, double maxMetres) const = 0;

    // Draws the loaded maps and the object sets (not the overlay) into target, a rectangle in the
    // painter's coordinates, at the painter device's resolution: the area from south to north and
    // west to east (degrees) is fitted whole into it, centred, at no larger scale than 1:5000.
    // Returns the scale (1:N) the area was drawn at. The view on screen does not change.
    virtual double PrintView(QPainter& painter, const QRectF& target, double south, double west, double north,
                             double east) = 0;

    // Events. OnMouseAction(action, uMsg, x, y, handled): action 32 is a left click without drag.
    using MouseActionHandler = std::function<void(int action, int uMsg, int x, int y, bool& handled)>;
    virtual void SetOnMouseAction(MouseActionHandler handler) = 0;
    // OnSelfDraw(painter, client rect): raised after the map picture is painted.
    using SelfDrawHandler = std::function<void(QPainter& painter, const QRect& rect)>;
    virtual void SetOnSelfDraw(SelfDrawHandler handler) = 0;
    // Raised after every change of the view (centre, scale, size); the overlay is dropped first.
    virtual void SetOnViewChanged(std::function<void()> handler) = 0;

    // Overlay painted after the map picture and the object sets, until the view changes.
    virtual void SetOverlay(const QVector<OverlayPolygon>& polygons) = 0;
    virtual QVector<OverlayPolygon> Overlay() const = 0;
    // Repaints the widget at once (the host's invalidate-and-update).
    virtual void RepaintNow() = 0;
};

}  // namespace mvx

// The one exported entry point of libmvx, resolved with QLibrary.
extern "C" {
using MvxCreateControlFn = mvx::IMVControl* (*)(QWidget* parent);
}
#define MVX_CREATE_CONTROL_SYMBOL "mvxCreateControl"
