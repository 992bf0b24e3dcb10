// The trips list of a finished computation and the loading of a trip's track.
#include "app/TForm1.h"

#include <QComboBox>
#include <QTreeWidget>

void TForm1::LoadTrips() {}

void TForm1::ListView1Click() {
    // Nothing happens unless a row is selected and the kind list has a selection; its first item
    // means the trips list, every other item an information-point kind.
    if (!ListView1->currentItem() || cmbInfoPoints->currentIndex() < 0) return;
    if (cmbInfoPoints->currentIndex() == 0)
        ListView1ClickTrip();
    else
        ListView1ClickInfoPoint();
}

void TForm1::ListView1ClickTrip() {}
void TForm1::LoadTrack(int) {}
