// The settings file TVSettings.xml and the settings dialog.
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QTimeEdit>
#include <QToolButton>

#include "app/TForm1.h"
#include "app/ui/TImageList.h"
#include "app/ui/UserDialogs.h"
#include "common/Error.h"
#include "mvx/IMVControl.h"
#include "settings/SettingsFile.h"
#include "settings/TFormSettings.h"

using telvika::TSettingsFile;
using telvika::TSettingsReader;

namespace {

const QString SettingsFileName = QStringLiteral("TVSettings.xml");

// Group, vehicle and period; a failure anywhere here ends the block without a message.
void loadSelection(TForm1& w, const TSettingsReader& r) {
    try {
        // A position beyond the list selects no group; the period is still restored.
        const int group = r.integer(QStringLiteral("GroupID"));
        w.cmbGroupName->setCurrentIndex(group >= 0 && group < w.cmbGroupName->count() ? group : -1);
        w.cmbGroupNameChange();
        if (w.cmbGroupName->currentIndex() >= 0) {
            const int car = r.integer(QStringLiteral("CarID"));
            w.cmbCarDevice->setCurrentIndex(car >= 0 && car < w.cmbCarDevice->count() ? car : -1);
        }
        const QDateTime begin = r.dateTime(QStringLiteral("DateTimeBegin"));
        w.DateBegin->setDate(begin.date());
        w.TimeBegin->setTime(begin.time());
        const QDateTime end = r.dateTime(QStringLiteral("DateTimeEnd"));
        w.DateEnd->setDate(end.date());
        w.TimeEnd->setTime(end.time());
        w.data.OwnComputing = false;
        w.cmbChange(w.cmbCarDevice);
    } catch (const std::exception&) {
    }
}

void loadSettings(TForm1& w, const TSettingsFile& file) {
    if (!file.exists()) file.writeDefault();
    QDomDocument doc = file.open();
    QDomElement settings = telvika::settingsElementOf(doc);
    w.data.InfoPointsCount = TSettingsReader(settings).kindCount();
    if (w.data.InfoPointsCount < 1) {
        // A file without kinds is replaced by the default document, in one step.
        file.writeDefault();
        doc = file.open();
        settings = telvika::settingsElementOf(doc);
    }
    const TSettingsReader r(settings);

    w.data.ControlPointsOn = r.boolean(QStringLiteral("LoadKT"));
    w.ToolButton2->setChecked(r.boolean(QStringLiteral("LoadIT")));
    w.IconNum = r.integer(QStringLiteral("IconNum"));

    loadSelection(w, r);

    w.data.SpeedFactor = r.speed();
    w.cmbSpeed->setEditText(QString::number(w.data.SpeedFactor) + QLatin1Char('x'));
    w.ToolButton3->setChecked(r.boolean(QStringLiteral("Stops")));
    w.txtCont->setText(r.text(QStringLiteral("Cont")));  // raises txtContChange
    w.ToolButton1->setChecked(w.data.ControlPointsOn);

    const int count = r.kindCount();
    w.data.InfoPointsCount = count;
    w.data.InfoPoints.resize(count);
    for (int i = 1; i <= count; ++i) {
        const TInfoPoints kind = r.kind(i);
        w.data.InfoPoints[i - 1] = kind;
        // Kinds 2 to 13 have a menu item; its image follows its check mark.
        if (i < 2) continue;
        if (QAction* item = w.FindMenuItem(QStringLiteral("mnu%1").arg(i))) {
            item->setChecked(kind.VisibleIcon);
            item->setIcon(w.ImageList2->icon(kind.VisibleIcon ? i - 2 : i + 10));
        }
    }
}

telvika::TSettingsValues windowValues(const TForm1& w) {
    telvika::TSettingsValues v;
    v.LoadKT = w.data.ControlPointsOn;
    v.LoadIT = w.ToolButton2->isChecked();
    v.GroupID = w.cmbGroupName->currentIndex();
    v.IconNum = w.IconNum;
    v.CarID = w.cmbCarDevice->currentIndex();
    v.DateTimeBegin = telvika::settingsDateTime(w.DateBegin->date(), w.TimeBegin->time());
    v.DateTimeEnd = telvika::settingsDateTime(w.DateEnd->date(), w.TimeEnd->time());
    v.Speed = w.cmbSpeed->currentText();
    v.Stops = w.ToolButton3->isChecked();
    v.Cont = w.txtCont->text();
    v.InfoPoints = w.data.InfoPoints;
    return v;
}

}  // namespace

void TForm1::LoadSaveSettings(int mode) {
    const TSettingsFile file(QDir(env_.appDir).filePath(SettingsFileName));
    try {
        if (mode == 1)
            file.save(windowValues(*this));
        else
            loadSettings(*this, file);
    } catch (const std::exception& e) {
        // A file that could not be read completely is not written back at exit: the values not
        // read (the kinds above all) would be lost.
        if (mode != 1) {
            SettingsLoaded = false;
            // The kinds read so far; their count never promises more than the list holds.
            data.InfoPointsCount = static_cast<qint32>(data.InfoPoints.size());
        }
        dialogs_->message(nullptr, telvika::messageOf(e), QString());
    }
}

void TForm1::btnSettingsClick() {
    {
        TFormSettings dialog(data, IconNum, *IconsList, this);
        dialog.FormShow();
        if (execSettingsDialog)
            execSettingsDialog(dialog);
        else
            dialog.exec();
    }
    // Whichever button closed it: the group's vehicles with the possibly new icon, the kind list,
    // the points on the map.
    if (cmbGroupName->currentIndex() >= 0 && cmbCarDevice->currentIndex() < 0) ShowGroupCars();
    FillInfoPointKinds();
    if (ToolButton1->isChecked()) ShowControlPoints();
    if (ToolButton2->isChecked()) ShowInfoPoints();
    MVCtrl->Redraw();
}
