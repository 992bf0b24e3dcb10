// Information-point lists by kind with their duration filter, the kind menu, and the list click
// that moves playback to an information point.
#include "app/TForm1.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QTreeWidget>

#include "app/ui/TImageList.h"
#include "automation/TTelvikaAutomation.h"
#include "common/DateText.h"
#include "common/Error.h"
#include "infopoints/InfoPointList.h"

using namespace infopoints;
using telvika::Error;

namespace {

TTelvikaAutomation& connected(TTelvikaAutomation* server) {
    if (!server) throw Error(QStringLiteral("Нет соединения с сервером Telvika"));
    return *server;
}

}  // namespace

void TForm1::SelectEntryList(const QString& query) {
    TTelvikaAutomation& server = connected(data.TrackingServer);
    const TEntryListSelection list = entryListOf(query);
    server.SetTripEntriesListTypeName(list.typeName);
    if (list.kindName) server.SetTripEntriesListKindName(*list.kindName);
}

QString TForm1::ShownKindQuery() const {
    const int position = cmbInfoPoints->currentData().toInt();  // from 1; 0 is the trips list
    if (position < 1 || position > data.InfoPoints.size())
        throw Error(QStringLiteral("Вид информационных точек «%1» отсутствует в настройках")
                        .arg(cmbInfoPoints->currentText()));
    return data.InfoPoints[position - 1].query;
}

void TForm1::cmbInfoPointsChange() {
    const int index = cmbInfoPoints->currentIndex();
    if (index < 0 || !data.TrackingServer) return;
    TTelvikaAutomation& server = *data.TrackingServer;
    if (server.TripsCount() < 1) return;  // the list keeps its rows
    if (index == 0) {
        LoadTrips();
        return;
    }

    // The minimum and the kind are read first: a box holding no number (pasted text) or a kind the
    // settings no longer have fails with its message and leaves the list as it was.
    const int minimum = minimumDurationOf(txtCont->text());
    const QString query = ShownKindQuery();
    int row = 0;
    server.SetTripIndex(data.CurTrip);
    ListView1->clear();
    SelectEntryList(query);
    ListView1->headerItem()->setText(3, valueColumnCaption(query));

    const TValueKind kind = valueKindOf(query);
    const int count = server.TripEntriesCount();
    for (int e = 1; e <= count; ++e) {
        server.SetTripEntryIndex(e);
        const QString duration = server.TripEntryDuration();
        if (!lastsAtLeast(duration, minimum)) continue;
        // The row joins the list only once all its texts are read: a failing read leaves the rows
        // before it and no half row.
        const QString begin = server.TripEntryBegin();
        const QString end = server.TripEntryEnd();
        QString value;
        switch (kind) {
            case TValueKind::Speed:
                value = valueText(server.TripEntrySpeed());
                break;
            case TValueKind::Tank1:
                value = valueText(server.TripEntryTank1End() - server.TripEntryTank1Begin());
                break;
            case TValueKind::Tank2:
                value = valueText(server.TripEntryTank2End() - server.TripEntryTank2Begin());
                break;
            case TValueKind::Duration:
                value = duration;
                break;
        }
        ++row;
        auto* item = new QTreeWidgetItem(QStringList{QString::number(row), begin, end, value});
        item->setData(0, EntryIndexRole, e);
        ListView1->addTopLevelItem(item);
    }
}

void TForm1::txtContKeyPress(QChar& key) {
    if (!isDurationBoxKey(key)) key = QChar();
    // The box is never left empty: the key then lands after a "0".
    if (txtCont->text().isEmpty()) txtCont->setText(QStringLiteral("0"));
}

void TForm1::txtContChange() {
    if (txtCont->text().isEmpty()) {
        // Set without a second change notice: the list is rebuilt once, below.
        const QSignalBlocker blocker(txtCont);
        txtCont->setText(QStringLiteral("0"));
    }
    if (cmbInfoPoints->currentIndex() > 0) cmbInfoPointsChange();
}

void TForm1::mnuClick(QAction* item) {
    if (!item) return;
    item->setChecked(!item->isChecked());
    const std::optional<int> k = menuItemNumber(item->objectName());
    if (!k) return;
    const bool shown = item->isChecked();
    item->setIcon(ImageList2->icon(menuItemImage(*k, shown)));
    // Item k stands for kind k - 1; settings with fewer kinds have none for it.
    const int kind = *k - 1;
    if (kind >= 0 && kind < data.InfoPoints.size()) data.InfoPoints[kind].VisibleIcon = shown;
    ShowInfoPoints();
}

void TForm1::ListView1ClickInfoPoint() {
    QTreeWidgetItem* row = ListView1->currentItem();
    if (!row) return;
    const int entry = row->data(0, EntryIndexRole).toInt();

    // Moves the track bar to the begin of the row's entry; the track bar's change handling moves
    // playback there.
    const auto seek = [&] {
        TTelvikaAutomation& server = connected(data.TrackingServer);
        if (entry < 1) throw Error(QStringLiteral("Строка списка не связана с информационной точкой"));
        server.SetTripEntryIndex(entry);
        const telvika::TDateTime begin = telvika::parseRegionalDateTime(server.TripEntryBegin());
        TrackBar->setValue(trackBarPosition(begin, data.TrackData.time(0)));
    };

    try {
        btnStopClick(ListView1);
        // The rows were built from this trip's list of the kind shown; other routines (the map's
        // information points, the stops) point the server elsewhere in between.
        connected(data.TrackingServer).SetTripIndex(data.CurTrip);
        SelectEntryList(ShownKindQuery());
        seek();
    } catch (const std::exception&) {
        // As a rule no track is loaded yet: bring the map and the track up, then try once more,
        // without stopping playback; a failure now reaches the user.
        if (ToolButton1->isChecked()) ShowControlPoints();
        if (ToolButton2->isChecked()) ShowInfoPoints();
        LoadTrack(data.CurTrip);
        SelectEntryList(ShownKindQuery());
        seek();
    }
}
