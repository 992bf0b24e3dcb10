// The settings file TVSettings.xml and the settings dialog.
#include "app/TForm1.h"

void TForm1::LoadSaveSettings(int) {}
void TForm1::btnSettingsClick() {}
