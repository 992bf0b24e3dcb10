#include "analysis/TripAnalysisState.h"

#include <QDockWidget>
#include <QEvent>
#include <QSettings>

#include "automation/TTelvikaAutomation.h"

const QString TTripAnalysisState::OpenKey = QStringLiteral("TripPanel/Open");
const QString TTripAnalysisState::HeightKey = QStringLiteral("TripPanel/Height");
const QString TTripAnalysisState::FollowKey = QStringLiteral("TripPanel/Follow");

TTripAnalysisState::TTripAnalysisState(const TPlayerEnvironment& environment, QObject* parent)
    : QObject(parent), env_(environment) {
    if (env_.preferencesFile.isEmpty())
        preferences_ = std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("telvika"),
                                                   QStringLiteral("telvika-player"));
    else
        preferences_ = std::make_unique<QSettings>(env_.preferencesFile, QSettings::IniFormat);
}

TTripAnalysisState::~TTripAnalysisState() = default;

TTelvikaAutomation& TTripAnalysisState::connection() {
    if (!connection_) {
        connection_ = std::make_unique<TTelvikaAutomation>(nullptr, env_.serverName, env_.serverProgram);
        // The player's own connection starts the server; this one only reads from it.
        connection_->SetAutoStart(false);
    }
    return *connection_;
}

void TTripAnalysisState::watchDockHeight(QDockWidget* dock) { dock->installEventFilter(this); }

bool TTripAnalysisState::eventFilter(QObject* watched, QEvent* event) {
    auto* dock = qobject_cast<QDockWidget*>(watched);
    if (dock && event->type() == QEvent::Resize && dock->isVisible() && dock->height() > 0)
        preferences_->setValue(HeightKey, dock->height());
    return QObject::eventFilter(watched, event);
}
