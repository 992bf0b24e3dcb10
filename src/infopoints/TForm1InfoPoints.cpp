// Information-point lists by kind with their duration filter, the kind menu, and control points.
#include "app/TForm1.h"

void TForm1::cmbInfoPointsChange() {}
void TForm1::ListView1ClickInfoPoint() {}
void TForm1::txtContChange() {}
void TForm1::txtContKeyPress(QChar&) {}
void TForm1::mnuClick(QAction*) {}
void TForm1::ShowControlPoints() {}
