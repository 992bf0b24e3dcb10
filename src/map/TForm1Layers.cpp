// The map's object sets: track, information points, control points and the group's vehicles, and
// the three toolbar switches that show and hide them.
#include "app/TForm1.h"

void TForm1::ShowLayer(int kind) {
    if (kind == 2) ShowMarkerLayer();
}
void TForm1::ClearLayer(int) {}
void TForm1::ShowInfoPoints() {}
void TForm1::ToolButton4Click() {}
void TForm1::ToolButton1Click() {}
void TForm1::ToolButton2Click() {}
