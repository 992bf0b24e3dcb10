// The list of maps loaded at every start (MapList.ini) and its dialog.
#include "app/TForm1.h"

void TForm1::LoadMapList() {}
void TForm1::MapListEditClick() {}
