// The list of maps loaded at every start (MapList.ini) and its dialog.
#include "app/TForm1.h"

#include "app/ui/UserDialogs.h"
#include "map/MapListFile.h"
#include "map/TMapEditForm.h"
#include "mvx/IMVControl.h"

void TForm1::LoadMapList() {
    const QString iniPath = telvika::maplist::filePath(env_.appDir);
    const QStringList paths = telvika::maplist::readMapPaths(iniPath);
    // No maps and the dialog not yet closed in this run: the first start asks for maps; the
    // dialog's handler loads the list again when it closes.
    if (paths.isEmpty() && !MapListEdited) {
        MapListEditClick();
        return;
    }
    // Until the control answers, an entry reads as not loaded (a failing control ends the loop).
    MapLoadResults.fill(telvika::maplist::NotLoadedCode, paths.size());
    for (int i = 0; i < paths.size(); ++i) MapLoadResults[i] = MVCtrl->LoadMap(paths[i], QString());
}

void TForm1::MapListEditClick() {
    TMapEditForm form(*MVCtrl, *dialogs_, telvika::maplist::filePath(env_.appDir), MapLoadResults, MapListEdited,
                      this);
    dialogs_->execDialog(form);
    // "Закрыть" is the dialog's only way out and marks the list as edited; a dialog that ended any
    // other way (closed by the window system) counts the same, so an empty list never reopens it
    // in an endless loop.
    MapListEdited = true;
    LoadMapList();
    MVCtrl->Redraw();
}
