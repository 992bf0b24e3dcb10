// The loaded trip written out: the export to GPX, KML or CSV, and the PDF report.
#include "app/TForm1.h"

#include <QApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QToolButton>

#include "analysis/PlaceText.h"
#include "analysis/TripExport.h"
#include "analysis/TripMapLayers.h"
#include "analysis/TripReport.h"
#include "app/ui/TImageList.h"
#include "app/ui/UserDialogs.h"
#include "common/Error.h"
#include "mvx/IMVControl.h"

using namespace telvika;
using namespace telvika::analysis;

void TForm1::mnuExportTripClick() {
    const TTripRecord& trip = LoadedTripRecord();
    QString filter;
    const QString chosen = dialogs_->saveFile(this, QStringLiteral("Экспорт рейса"),
                                              exportFilters().join(QStringLiteral(";;")), &filter);
    if (chosen.isEmpty()) return;
    const TExportFormat format = exportFormatOf(chosen, filter);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    QString error;
    if (!exportTrip(trip, withExportSuffix(chosen, format), format, &error)) throw Error(error);
}

void TForm1::mnuTripReportClick() {
    const TTripRecord& trip = LoadedTripRecord();
    QString filter;
    QString path = dialogs_->saveFile(this, QStringLiteral("Отчёт о рейсе"), QStringLiteral("PDF (*.pdf)"), &filter);
    if (path.isEmpty()) return;
    if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) path += QStringLiteral(".pdf");
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });

    TReportExtras extras;
    extras.mapLoaded = !MVCtrl->LoadedMaps().isEmpty();
    double south = 0, west = 0, north = 0, east = 0;
    trackBounds(trip.track, south, west, north, east);
    extras.drawMap = [=, this](QPainter& p, const QRectF& r) { return MVCtrl->PrintView(p, r, south, west, north, east); };
    for (const TTripEntry& e : trip.entries) extras.places << placeOf(MVCtrl, e.lon, e.lat);
    extras.markedKinds.resize(trip.kinds.size());
    extras.kindIcons.resize(trip.kinds.size());
    for (int i = 1; i < trip.kinds.size(); ++i) {
        extras.markedKinds[i] = ToolButton2->isChecked() && trip.kinds[i].VisibleIcon;
        extras.kindIcons[i] = ImageList2->image(i - 1);
    }
    QString error;
    if (!writeTripReport(trip, extras, path, &error)) throw Error(error);
}
