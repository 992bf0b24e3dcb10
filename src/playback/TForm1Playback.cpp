// Playback: the clock and its controls.
#include "app/TForm1.h"

void TForm1::btnPlayClick() {}
void TForm1::btnStopClick(QObject*) {}
void TForm1::cmbSpeedChange() {}
void TForm1::cmbSpeedKeyPress(QChar&) {}
void TForm1::UpDown1ChangingEx(bool&, int, int) {}
void TForm1::TrackBarChange() {}
void TForm1::Timer1Timer() {}
void TForm1::SpeedButton1Click() {}
