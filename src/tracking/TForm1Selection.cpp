// Choice of group, vehicle and period, the computation requests they send, and the following of
// computations that other users of the server started.
#include "app/TForm1.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QTimeEdit>
#include <QToolButton>
#include <QTreeWidget>

#include "automation/TTelvikaAutomation.h"
#include "tracking/SelectionText.h"

using telvika::tracking::deviceListTextOf;
using telvika::tracking::deviceOfListText;
using telvika::tracking::periodBoundText;
using telvika::tracking::vehicleLabel;

namespace {

// The group identifier of the selected group, or an empty text when none is selected.
QString selectedGroupId(const TForm1& w) {
    const int index = w.cmbGroupName->currentIndex();
    return index >= 0 && index < w.data.GroupIDs.size() ? w.data.GroupIDs[index] : QString();
}

}  // namespace

void TForm1::cmbGroupNameChange() {
    if (cmbGroupName->currentIndex() < 0) return;
    for (QComboBox* c : {cmbCarName, cmbCarNum, cmbCarDevice}) c->clear();
    // The previous group's track, information and control points go; a failure here is ignored.
    for (int kind : {1, 3, 4}) {
        try {
            ClearLayer(kind);
        } catch (const std::exception&) {
        }
    }
    // Without a server (it announced its closing) there is nothing to ask or list.
    if (!data.TrackingServer) return;
    if (!data.FollowingServer) RequestComputing();  // the device list is empty: device 0
    ShowGroupCars();

    TTelvikaAutomation& server = *data.TrackingServer;
    server.SetSelectedGroupID(selectedGroupId(*this));
    const int count = server.CarsCount();
    for (int i = 1; i <= count; ++i) {
        server.SetCarIndex(i);
        cmbCarName->addItem(server.CarName());
        cmbCarNum->addItem(server.CarNumber());
        cmbCarDevice->addItem(QString::number(server.CarDevice()));
    }
    // Filling a list selects its first item; no vehicle is chosen yet.
    for (QComboBox* c : {cmbCarName, cmbCarNum, cmbCarDevice}) c->setCurrentIndex(-1);
}

void TForm1::cmbChange(QObject* sender) {
    auto* changed = qobject_cast<QComboBox*>(sender);
    const int index = (changed ? changed : cmbCarDevice)->currentIndex();
    for (QComboBox* c : {cmbCarName, cmbCarNum, cmbCarDevice}) c->setCurrentIndex(index);
    if (cmbCarDevice->currentIndex() >= 0) ClearLayer(5);
    if (!data.OwnComputing) RequestComputing();
}

void TForm1::DateTimeChange() {
    if (!data.OwnComputing) RequestComputing();
}

void TForm1::RequestComputing() {
    // No server, or no group to name: nothing is sent and no request is pending.
    if (!data.TrackingServer) return;
    const QString groupId = selectedGroupId(*this);
    if (groupId.isEmpty()) return;

    const QString begin = periodBoundText(DateBegin->date(), TimeBegin->time());
    const QString end = periodBoundText(DateEnd->date(), TimeEnd->time());
    data.OwnComputing = true;
    const int device = deviceOfListText(cmbCarDevice->currentText());
    try {
        data.TrackingServer->StartComputing(groupId, device, begin, end, QStringLiteral("GSM"), 1);
    } catch (...) {
        // A request that did not go out is not pending: later changes must be able to ask again.
        data.OwnComputing = false;
        throw;
    }
    cmbInfoPoints->setCurrentIndex(-1);
    ListView1->clear();
}

void TForm1::ShowGroupCars() {
    if (cmbCarDevice->currentIndex() >= 0) return;
    if (!data.TrackingServer) return;
    const QString groupId = selectedGroupId(*this);
    if (groupId.isEmpty()) return;

    btnStopClick(nullptr);  // the shown trip's playback ends with the group overview
    ListView1->clear();
    if (cmbInfoPoints->count() > 0) cmbInfoPoints->setCurrentIndex(0);
    lblTripNum->setText(QStringLiteral("N/A"));

    TTelvikaAutomation& server = *data.TrackingServer;
    server.SetSelectedGroupID(groupId);
    const int count = server.CarsCount();
    TMapPointArray positions(qMax(count, 0));
    TArrayString labels(qMax(count, 0));
    for (int i = 1; i <= count; ++i) {
        server.SetCarIndex(i);
        positions[i - 1] = TMapPoint{server.CarLongitude(), server.CarLatitude()};
        labels[i - 1] = vehicleLabel(server.CarName(), server.CarNumber(), server.CarDevice(), server.CarInfo());
    }
    data.CarPositions = std::move(positions);
    data.CarLabels = std::move(labels);
    ShowLayer(5);
}

void TForm1::ComputingEnded() {
    if (data.SkipNextEndComputing) {
        data.SkipNextEndComputing = false;
        return;
    }
    if (!data.TrackingServer) return;
    TTelvikaAutomation& server = *data.TrackingServer;
    try {
        if (!data.OwnComputing) {
            // Asked for elsewhere: the group, then the vehicle of the result are chosen here too.
            data.FollowingServer = true;
            const int computedCar = server.ComputedCarID();
            server.SetSelectedGroupID(server.ComputedGroupID());
            server.SetPropertyName(QStringLiteral("Group_Name"));
            for (int i = 0; i < cmbGroupName->count(); ++i) {
                if (cmbGroupName->itemText(i) == server.PropertyValue()) {
                    cmbGroupName->setCurrentIndex(i);
                    cmbGroupNameChange();
                }
            }
            server.SetSelectedCarID(computedCar);
            server.SetPropertyName(QStringLiteral("Car_Device"));
            for (int i = 0; i < cmbCarDevice->count(); ++i) {
                const auto device = deviceListTextOf(server.PropertyValue());
                if (device && cmbCarDevice->itemText(i) == *device) {
                    cmbCarDevice->setCurrentIndex(i);
                    data.OwnComputing = true;
                    cmbChange(cmbCarDevice);
                }
            }
        }
        data.OwnComputing = false;
        data.CurTrip = 0;
        LoadTrips();
        if (ToolButton1->isChecked()) ShowControlPoints();
        if (ToolButton2->isChecked()) ShowInfoPoints();
    } catch (...) {
        // A failure part way must not leave the player deaf to later choices.
        data.OwnComputing = false;
        data.FollowingServer = false;
        throw;
    }
    data.FollowingServer = false;
}
