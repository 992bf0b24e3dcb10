// The player's program entry. It reads no command-line arguments.
#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include "common/LargePages.h"
#include "app/PlayerApplication.h"
#include "app/TForm1.h"
#include "app/TSessionEndWatcher.h"
#include "common/Error.h"

namespace {
const QString ControlMissingText =
    QStringLiteral("MVX Control не зарегистрирован в системе.\r\n"
                   "Пожалуйста зарегистрируйте 'REGSVR32.EXE mvx.dll' и перезапустите приложение\r\n"
                   "По вопросам приобретения компонента обращаться по адресу: http://www.ormanta.ru");
}

int main(int argc, char** argv) {
    telvika::useLargeMemoryPages(argv);
    QApplication app(argc, argv);
    telvika::setUpPlayerApplication();

    std::unique_ptr<TForm1> form;
    try {
        form = std::make_unique<TForm1>(TPlayerEnvironment::standard());
    } catch (const std::exception& e) {
        qWarning("telvika-player: %s", e.what());
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ошибка"), ControlMissingText, QMessageBox::Ok);
        box.exec();
        return 1;  // no message loop
    }
    // Without a window manager (a bare X server) maximizing is not honoured: take the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) form->setGeometry(screen->availableGeometry());
    form->showMaximized();
    // A termination signal or the loss of the display closes the window as its close button does.
    TSessionEndWatcher sessionEnd(*form);
    return app.exec();
}
