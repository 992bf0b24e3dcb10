// The player's loader of the map control: a window after window gets a working control from the
// library, the library stays loaded when the loader's handle is gone, and nothing is left behind
// per window (checked by LeakSanitizer in sanitizer builds).
#include "common/Error.h"
#include "map/MapControlLoader.h"
#include "mvx/IMVControl.h"

#include <QtTest>

#include <QApplication>
#include <QLibrary>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define LOADER_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LOADER_LEAK_CHECK 1
#endif
#endif
#ifdef LOADER_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

class TestControlLoader : public QObject {
    Q_OBJECT
private slots:
    void windowAfterWindowGetsAWorkingControl();
    void missingLibraryIsAClearError();
    void nothingIsLeftBehindPerWindow();

private:
    static void openAndCloseWindows(int count);
};

void TestControlLoader::openAndCloseWindows(int count) {
    for (int i = 0; i < count; ++i) {
        auto window = std::make_unique<QWidget>();
        mvx::IMVControl* control = TMapControlLoader::create(QStringLiteral(TELVIKA_BIN_DIR), window.get());
        QVERIFY(control != nullptr);
        QCOMPARE(control->widget()->parentWidget(), window.get());
        // The control's code runs after the loader's handle is gone.
        control->SetCenter(47.141 + i * 0.001, 9.5209);
        double lat = 0, lon = 0;
        control->GetCenter(lat, lon);
        QVERIFY(std::abs(lat - (47.141 + i * 0.001)) < 1e-9);
        QVERIFY(std::abs(lon - 9.5209) < 1e-9);
    }
}

void TestControlLoader::windowAfterWindowGetsAWorkingControl() {
    openAndCloseWindows(5);
    // The library is still loaded, though no handle of the loader holds it.
    QLibrary probe(QStringLiteral(TELVIKA_BIN_DIR "/") + TMapControlLoader::libraryBaseName());
    QVERIFY(probe.load());
    QVERIFY(probe.resolve(MVX_CREATE_CONTROL_SYMBOL) != nullptr);
}

void TestControlLoader::missingLibraryIsAClearError() {
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QWidget window;
    try {
        TMapControlLoader::create(empty.path(), &window);
        QFAIL("a folder without the library gave a control");
    } catch (const telvika::Error& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("Библиотека карты не загружена")), qPrintable(e.message()));
    }
}

void TestControlLoader::nothingIsLeftBehindPerWindow() {
#ifdef LOADER_LEAK_CHECK
    // Whatever the first windows set up once (fonts, styles) is there before the check starts.
    openAndCloseWindows(2);
    QVERIFY(__lsan_do_recoverable_leak_check() == 0);
    openAndCloseWindows(10);
    QTemporaryDir empty;
    for (int i = 0; i < 3; ++i) {
        QWidget window;
        try {
            TMapControlLoader::create(empty.path(), &window);
        } catch (const telvika::Error&) {
        }
    }
    QVERIFY2(__lsan_do_recoverable_leak_check() == 0, "LeakSanitizer found blocks lost by opening windows");
#else
    QSKIP("needs a build with AddressSanitizer (LeakSanitizer)");
#endif
}

QTEST_MAIN(TestControlLoader)
#include "tst_control_loader.moc"
