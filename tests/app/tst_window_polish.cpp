// The main window as a new user meets it: exact titles under a real X server, a group list that
// drops down at most five rows, a window painted (with the wait cursor up) before the start-up
// sequence blocks, and the kind-menu button drawn as a down triangle in the toolbar's look.
#include <QtTest>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>

#include "app/PlayerApplication.h"
#include "app/TForm1.h"
#include "app/ui/TSymbolButton.h"
#include "app/ui/UserDialogs.h"

namespace {

const QString Bin = QStringLiteral(TELVIKA_BIN_DIR);
const QString WindowCaption = QStringLiteral("Плеер \"Telvika\" для программы \"Ormanta\". Версия 1.0");

// An environment whose server cannot be started, so that start-up ends quickly at its first step.
TPlayerEnvironment unreachableServer(const QString& appDir, IUserDialogs* dialogs) {
    TPlayerEnvironment env;
    env.appDir = appDir;
    env.controlDir = Bin;
    env.serverName = QStringLiteral("telvika-test-polish-%1").arg(QCoreApplication::applicationPid());
    env.serverProgram = appDir + QStringLiteral("/no-such-server");
    env.dialogs = dialogs;
    return env;
}

// Records, at the first message of the start-up sequence, whether the window had been painted and
// whether the wait cursor was up.
class TStartupObserver : public TRecordingUserDialogs, public QObject {
public:
    QWidget* window = nullptr;
    int paintsBeforeFirstMessage = -1;
    bool waitCursorAtFirstMessage = false;
    int paints = 0;

    void message(QWidget* owner, const QString& text, const QString& caption) override {
        if (paintsBeforeFirstMessage < 0) {
            paintsBeforeFirstMessage = paints;
            const QCursor* c = QApplication::overrideCursor();
            waitCursorAtFirstMessage = c && c->shape() == Qt::WaitCursor;
        }
        TRecordingUserDialogs::message(owner, text, caption);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window && event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// Child mode: shows the main window and a message box on the X server of DISPLAY, then prints the
// window tree as the X server holds it (names as a window manager or a screen reader sees them).
int showWindowsOnX11(int argc, char** argv) {
    QApplication app(argc, argv);
    telvika::setUpPlayerApplication();
    QTemporaryDir appDir;
    TRecordingUserDialogs dialogs;
    TForm1 form(unreachableServer(appDir.path(), &dialogs));
    form.show();
    if (!QTest::qWaitFor([&] { return form.StartupDone; }, 30000)) return 3;
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Ошибка"), QStringLiteral("Проверка"), QMessageBox::Ok);
    box.show();
    // A box with an empty caption, shown as the program shows it; the tree is read while it is
    // open, then it is answered.
    int treeRead = 4;
    QTimer::singleShot(500, [&] {
        QProcess tree;
        tree.start(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
        if (tree.waitForFinished(10000)) {
            fputs(tree.readAllStandardOutput().constData(), stdout);
            fflush(stdout);
            treeRead = 0;
        }
        if (QWidget* open = QApplication::activeModalWidget()) open->close();
    });
    TQtUserDialogs().message(nullptr, QStringLiteral("Без заголовка"), QString());
    form.close();
    return treeRead;
}

}  // namespace

class TestWindowPolish : public QObject {
    Q_OBJECT
private slots:
    void titlesAreExactlyTheCaptionsUnderX11() {
        const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
        if (xvfbRun.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("xwininfo")).isEmpty())
            QSKIP("needs xvfb-run and xwininfo");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        child.setProcessEnvironment(env);
        child.start(xvfbRun, {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1280x1024x24"),
                              QCoreApplication::applicationFilePath(), QStringLiteral("--show-windows")});
        QVERIFY(child.waitForFinished(120000));
        const QString tree = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitCode() == 0, qPrintable(QString::fromUtf8(child.readAllStandardError())));
        // Every top-level name as the X server holds it, in the quotes xwininfo prints.
        QVERIFY2(tree.contains(QLatin1Char('"') + WindowCaption + QStringLiteral("\":")), qPrintable(tree));
        QVERIFY2(tree.contains(QStringLiteral("\"Ошибка\":")), qPrintable(tree));
        QVERIFY2(!tree.contains(QStringLiteral(" — Telvika")), qPrintable(tree));
        // The box with an empty caption has no program name in its title bar. (Qt's hidden client
        // leader window, which has no class, carries the program's name; no shown window does.)
        QVERIFY2(tree.contains(QStringLiteral("\" \": (")), qPrintable(tree));
        QVERIFY2(!tree.contains(QStringLiteral("\"telvika-player\": (\"")), qPrintable(tree));
    }

    // Qt's own texts (the file dialog, the standard buttons) are Russian whatever the locale.
    void qtTextsAreRussian() {
        QVERIFY(telvika::loadQtRussianTexts());
        QFileDialog dialog(nullptr, QStringLiteral("Добавить карту"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        auto* lookIn = dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"));
        QVERIFY(lookIn);
        QVERIFY2(!lookIn->text().contains(QStringLiteral("Look in")), qPrintable(lookIn->text()));
        QMessageBox box(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Отмена"));
    }

    void groupListDropsDownAtMostFiveRows() {
        QTemporaryDir appDir;
        TRecordingUserDialogs dialogs;
        TForm1 form(unreachableServer(appDir.path(), &dialogs));
        form.resize(1200, 900);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (int i = 1; i <= 9; ++i) form.cmbGroupName->addItem(QStringLiteral("Группа %1").arg(i));
        form.cmbGroupName->showPopup();
        QAbstractItemView* view = form.cmbGroupName->view();
        QTRY_VERIFY(view->isVisible());
        const int rowHeight = view->sizeHintForRow(0);
        QVERIFY(rowHeight > 0);
        const int visibleRows = view->viewport()->height() / rowHeight;
        QVERIFY2(visibleRows <= 5, qPrintable(QString::number(visibleRows)));
        QVERIFY(visibleRows >= 4);  // a real list, not a sliver
        form.cmbGroupName->hidePopup();
        form.close();
    }

    void windowIsPaintedWithTheWaitCursorBeforeStartupBlocks() {
        QTemporaryDir appDir;
        TStartupObserver observer;
        TForm1 form(unreachableServer(appDir.path(), &observer));
        observer.window = &form;
        form.installEventFilter(&observer);
        form.show();
        QTRY_VERIFY_WITH_TIMEOUT(form.StartupDone, 30000);
        QVERIFY(!observer.calls.isEmpty());
        QCOMPARE(observer.calls.first().text, QStringLiteral("Ошибка запуска ПО Telvika"));
        QVERIFY(observer.paintsBeforeFirstMessage > 0);
        QVERIFY(observer.waitCursorAtFirstMessage);
        QVERIFY(!QApplication::overrideCursor());  // taken down when the sequence ends
        form.close();
    }

    void kindMenuButtonIsADownTriangleInTheToolbarLook() {
        QTemporaryDir appDir;
        TRecordingUserDialogs dialogs;
        TForm1 form(unreachableServer(appDir.path(), &dialogs));
        const QImage img = form.SpeedButton1->icon().pixmap(QSize(14, 20)).toImage().convertToFormat(
            QImage::Format_ARGB32);
        QCOMPARE(img.size(), QSize(14, 20));
        auto isWhite = [](QRgb p) { return qRed(p) > 220 && qGreen(p) > 220 && qBlue(p) > 220 && qAlpha(p) > 220; };
        auto isDark = [](QRgb p) { return qAlpha(p) > 200 && qRed(p) < 110 && qBlue(p) < 140; };
        // A triangle pointing down: wide white row near its top, narrow near its tip, none below.
        auto whiteIn = [&](int y) {
            int n = 0;
            for (int x = 0; x < img.width(); ++x) n += isWhite(img.pixel(x, y));
            return n;
        };
        QVERIFY(whiteIn(8) >= 6);
        QVERIFY(whiteIn(11) >= 1 && whiteIn(11) < whiteIn(8));
        QCOMPARE(whiteIn(16), 0);
        // On a dark button whose corners are rounded off.
        QVERIFY(isDark(img.pixel(7, 3)) && isDark(img.pixel(7, 16)));
        QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(img.pixel(13, 19)), 0);
        QCOMPARE(form.SpeedButton1->caption(), QStringLiteral("6"));
    }
};

int main(int argc, char** argv) {
    if (argc > 1 && qstrcmp(argv[1], "--show-windows") == 0) return showWindowsOnX11(argc, argv);
    QApplication app(argc, argv);
    TestWindowPolish test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_polish.moc"
