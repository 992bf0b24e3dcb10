#include "app/TSessionEndWatcher.h"

#include <QCoreApplication>
#include <QThread>

#include "app/TForm1.h"

namespace {

TSessionEndWatcher* current = nullptr;
QtMessageHandler previousHandler = nullptr;

}  // namespace

TSessionEndWatcher::TSessionEndWatcher(TForm1& window, QObject* parent)
    : QObject(parent), window_(&window), signals_(telvika::PosixSignalWatcher::Options{true, true}) {
    connect(&signals_, &telvika::PosixSignalWatcher::terminationRequested, this, [this] { closeWindow(); });
    current = this;
    previousHandler = qInstallMessageHandler(&TSessionEndWatcher::onQtMessage);
}

TSessionEndWatcher::~TSessionEndWatcher() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
    current = nullptr;
}

bool TSessionEndWatcher::isDisplayLostMessage(const QString& message) {
    return message.startsWith(QLatin1String("The X11 connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection broke"));
}

void TSessionEndWatcher::closeWindow() {
    if (closing_) return;
    closing_ = true;
    // Exactly what the close button does (stop, then save), then the end of every event loop: a
    // modal dialog that is open returns from its exec, and so does the program's.
    if (window_) window_->close();
    QCoreApplication::exit(0);
}

void TSessionEndWatcher::displayLost() {
    if (closing_) return;
    closing_ = true;
    if (window_) window_->DisplayLost();
}

void TSessionEndWatcher::onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    // Qt hands back its default handler when no other was installed: the message is printed as
    // before.
    if (previousHandler) previousHandler(type, context, message);
    QCoreApplication* app = QCoreApplication::instance();
    if (current && app && QThread::currentThread() == app->thread() && isDisplayLostMessage(message))
        current->displayLost();
}
