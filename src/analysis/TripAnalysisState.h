#pragma once

#include <QObject>

#include <memory>

#include "analysis/TripRecord.h"
#include "app/TPlayerEnvironment.h"

class QDockWidget;
class QSettings;
class TTelvikaAutomation;

// What the trip panel, the export and the report keep between handlers: a connection of their own
// to the tracking server (its cursors never move the player's), the record of the loaded trip
// (read once per loaded track, and only when something asks for it) and the user's preferences
// of these additions (QSettings, never the settings file).
class TTripAnalysisState : public QObject {
    Q_OBJECT
public:
    TTripAnalysisState(const TPlayerEnvironment& environment, QObject* parent);
    ~TTripAnalysisState() override;

    TTelvikaAutomation& connection();
    QSettings& preferences() { return *preferences_; }

    // The dock's height goes to the preferences whenever the user resizes it.
    void watchDockHeight(QDockWidget* dock);

    telvika::analysis::TTripRecord record;
    bool recordFresh = false;
    bool refreshQueued = false;

    static const QString OpenKey;
    static const QString HeightKey;
    static const QString FollowKey;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TPlayerEnvironment env_;
    std::unique_ptr<TTelvikaAutomation> connection_;
    std::unique_ptr<QSettings> preferences_;
};
