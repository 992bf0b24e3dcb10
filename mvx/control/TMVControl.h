#pragma once

#include "IconLibrary.h"
#include "MapTable.h"
#include "ObjectLayer.h"
#include "ObjectRenderer.h"
#include "PointPlacement.h"
#include "core/Projection.h"
#include "mvx/IMVControl.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QWidget>

#include <memory>
#include <vector>

#ifdef MVX_HAVE_CHARTS
#include "chart/ChartCollection.h"
#endif

namespace mvx {

// The map control: a north-up Web Mercator view of the loaded charts with the object sets drawn
// over them and the host's overlay on top. Pictures are cached per view: the base map (charts)
// is rendered only when the view changes; the object sets are drawn over a copy of it into the
// scene image; a pan shifts both pictures and renders only the uncovered strips; a repaint
// without a view change only blits the scene and paints the overlay.
class TMVControl : public QWidget, public IMVControl {
    Q_OBJECT
public:
    explicit TMVControl(QWidget* parent = nullptr);
    ~TMVControl() override;

    QWidget* widget() override { return this; }

    void SetCenter(double lat, double lon) override;
    void GetCenter(double& lat, double& lon) const override;
    void GeoToScreen(double lat, double lon, int& x, int& y) const override;
    void ScreenToGeo(int x, int y, double& lat, double& lon) const override;
    double CurScale() const override;
    void SetCurScale(double scale) override;
    void Redraw() override;
    void SetDoubleBuffered(bool on) override { doubleBuffered_ = on; }

    QString GetControlDir() const override { return controlDir_; }
    void SetControlDir(const QString& dir) override;

    int LoadMap(const QString& fileName, const QString& param) override;
    void CloseMap(const QString& fileName) override;
    QStringList LoadedMaps() const override;

    IMapTable* CreateTable() override;
    int LoadObjects(const QString& command, const QString& style, IMapTable* table) override;
    QStringList ObjectSetNames() const override { return layer_.names(); }
    ObjectSetInfo ObjectSet(const QString& name) const override { return layer_.info(name); }

    MapPlace NearestStreet(double lat, double lon, double maxMetres) const override;
    double PrintView(QPainter& painter, const QRectF& target, double south, double west, double north,
                     double east) override;

    void SetOnMouseAction(MouseActionHandler handler) override { onMouseAction_ = std::move(handler); }
    void SetOnSelfDraw(SelfDrawHandler handler) override { onSelfDraw_ = std::move(handler); }
    void SetOnViewChanged(std::function<void()> handler) override { onViewChanged_ = std::move(handler); }

    void SetOverlay(const QVector<OverlayPolygon>& polygons) override;
    QVector<OverlayPolygon> Overlay() const override;
    void RepaintNow() override;

    const MapView& view() const { return view_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;

private:
    void setView(const MapView& view);
    void updateBase();
    void updateScene();
    // Draws the charts on a view in device pixels; their labels are kept (keepLabels: those of a
    // strip uncovered by a pan join the kept ones) to be drawn over the base in each scene.
    void renderBase(QPainter& painter, const MapView& deviceView, double ratio, bool keepLabels);
    // The kept labels within an area of the scene (its own pixels), but for those under objects.
    void drawLabels(QPainter& painter, const QRect& area) const;
    static QSize devicePixels(const QSize& size, double ratio);
    // The Mercator metres per pixel after `steps` notches of the wheel (one: by the square root of two).
    static double wheelMercPerPixel(double mercPerPixel, double steps);
    bool raiseMouseAction(int action, int message, const QPoint& at);
    double dpi() const;

    MapView view_;
    bool viewSetByHost_ = false;
    bool doubleBuffered_ = true;

    // The charts for baseView_ without their labels, in the screen's device pixels (baseRatio_ of
    // them to a pixel of the view), so that a screen of more device pixels shows a sharp map.
    QImage base_;
    MapView baseView_;
    double baseRatio_ = 1.0;
    bool baseValid_ = false;
    QImage scene_;       // base_, its labels and the object sets, for sceneView_ (at baseRatio_)
    MapView sceneView_;
    bool sceneValid_ = false;  // false when the sets, icons or base changed (not the view)
    // The view was last changed by the wheel: the next picture may show a long line's tiles of the
    // scale before, stretched, while the worker makes this scale's (a zoom is answered at once).
    bool wheelZoomed_ = false;

    ObjectLayer layer_;
    ObjectRenderer renderer_;
    PointPlacement placement_;  // where the point objects of the scene go, and what they cover
    IconLibrary icons_;
    std::vector<std::unique_ptr<MapTable>> tables_;
    QString controlDir_;

    QVector<OverlayPolygon> overlay_;
    MapView overlayView_;
    // What a repaint must cover when only the overlay changed since the last paint (the old and
    // the new polygons' pixels); empty = the whole widget.
    QRegion overlayDirty_;
    bool onlyOverlayDirty_ = false;
    bool fullRepaintPending_ = false;
    QRect overlayBounds(const QVector<OverlayPolygon>& polygons) const;

    MouseActionHandler onMouseAction_;
    SelfDrawHandler onSelfDraw_;
    std::function<void()> onViewChanged_;

    bool leftPressed_ = false;
    bool dragging_ = false;
    bool rightPressed_ = false;
    QPoint pressPos_;
    QPoint lastPos_;

#ifdef MVX_HAVE_CHARTS
    ChartCollection charts_;
    std::vector<PlacedLabel> labels_;  // of base_, in its pixels
#endif
};

}  // namespace mvx
