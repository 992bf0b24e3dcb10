// The vehicle at a moment of the track: segment, information panel, marker and map following.
#include "app/TForm1.h"

void TForm1::FindSegment(telvika::TDateTime) {}
void TForm1::ShowMoment(telvika::TDateTime) {}
void TForm1::ShowStopLabel(int) {}
void TForm1::BuildMarker(double, double, double, double) {}
void TForm1::ShowMarkerLayer() {}
void TForm1::MVCtrlMouseAction(int, int, int, int, bool&) {}
void TForm1::MVCtrlSelfDraw() {}  // the map control draws itself
void TForm1::SeekToMapPoint(double, double) {}
