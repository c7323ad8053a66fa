// Makes the README's picture: the real window, offscreen, after it found
// the simulated instrument, loaded a firmware file and wrote it.
#include "FileDialogAnswer.h"
#include "SimInstrument.h"
#include "WindowProbe.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTest>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        qCritical("usage: zw_screenshot OUTPUT.png");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    SimInstrument sim({"--erase-ms", "100"});
    if (!sim.start())
        return 1;
    qputenv("ZIRBELWERK_PORTS", sim.devicePath().toLocal8Bit());

    VELDfwloader window;
    WindowProbe probe(window);
    auto &ui = probe.ui();
    window.show();
    if (!QTest::qWaitFor([&] { return ui.pushButton->isEnabled(); }, 5000))
        return 1;
    FileDialogAnswer answer(QStringLiteral(ZW_TEST_DATA "/hex/full.hex"));
    QTest::mouseClick(ui.pushButton, Qt::LeftButton);
    QTest::mouseClick(ui.pushButton_2, Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return ui.pushButton_2->isEnabled(); }, 60000))
        return 1;
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
