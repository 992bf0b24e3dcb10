// Handlers and routines of the subsystems that are still to come: selection and computation
// requests, the trips list, playback, information points, map layers, the map list, the settings
// file and dialog. They exist and are wired so that every control is connected to its handler;
// each does nothing until its subsystem fills it in.
#include "app/TForm1.h"

void TForm1::MVCtrlMouseAction(int, int, int, int, bool&) {}
void TForm1::MVCtrlSelfDraw() {}  // the map control draws itself
void TForm1::cmbGroupNameChange() {}
void TForm1::cmbChange(QObject*) {}
void TForm1::DateTimeChange() {}
void TForm1::cmbInfoPointsChange() {}
void TForm1::ListView1Click() {}
void TForm1::txtContChange() {}
void TForm1::txtContKeyPress(QChar&) {}
void TForm1::btnPlayClick() {}
void TForm1::btnStopClick(QObject*) {}
void TForm1::cmbSpeedChange() {}
void TForm1::cmbSpeedKeyPress(QChar&) {}
void TForm1::UpDown1ChangingEx(bool&, int, int) {}
void TForm1::TrackBarChange() {}
void TForm1::Timer1Timer() {}
void TForm1::ToolButton4Click() {}
void TForm1::ToolButton1Click() {}
void TForm1::ToolButton2Click() {}
void TForm1::SpeedButton1Click() {}
void TForm1::btnSettingsClick() {}
void TForm1::mnuClick(QAction*) {}
void TForm1::MapListEditClick() {}
void TForm1::LoadTrips() {}
void TForm1::LoadMapList() {}
void TForm1::LoadSaveSettings(int) {}
void TForm1::ShowGroupCars() {}
void TForm1::ComputingEnded() {}
