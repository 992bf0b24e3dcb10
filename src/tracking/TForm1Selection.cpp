// Choice of group, vehicle and period, the computation requests they send, and the following of
// computations that other users of the server started.
#include "app/TForm1.h"

void TForm1::cmbGroupNameChange() {}
void TForm1::cmbChange(QObject*) {}
void TForm1::DateTimeChange() {}
void TForm1::RequestComputing() {}
void TForm1::ShowGroupCars() {}
void TForm1::ComputingEnded() {}
