#include "WindowProbe.h"

#include "device/DialogueText.h"
#include "device/FlashOutcome.h"

#include <QMenuBar>
#include <QMetaMethod>
#include <QSettings>
#include <QStandardPaths>
#include <QSizeGrip>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStatusBar>
#include <QTest>
#include <QTranslator>

#include <memory>
#include <tuple>

// The window as first shown, its fixed form, and the one setting it keeps.
class WindowTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void firstShown();
    void widgetsKeepGeometryOnResize();
    void slotsAreTheFourOfTheWindow();
    void fontSizeSetting_data();
    void fontSizeSetting();
    void exitAndTitleBarCloseStoreFontSize_data();
    void exitAndTitleBarCloseStoreFontSize();
    void formResourcesPresent();
    void labelTextsFit_data();
    void labelTextsFit();

private:
    static QSettings settings() { return QSettings(QStringLiteral("ORV"), QStringLiteral("Kolibar")); }
};

void WindowTest::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    // No COM name leads anywhere: the search must not touch this machine's ports.
    qputenv("ZIRBELWERK_PORTS", "");
}

void WindowTest::init()
{
    QSettings store(settings());
    store.clear();
    store.sync();
}

void WindowTest::firstShown()
{
    VELDfwloader window;
    WindowProbe probe(window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto &ui = probe.ui();

    QCOMPARE(window.objectName(), QStringLiteral("ZirbelWerk"));
    QCOMPARE(window.size(), QSize(391, 186));
    QCOMPARE(window.windowTitle(), QStringLiteral("ZirbelWerk V1.00"));
    QVERIFY(!window.windowIcon().pixmap(32).isNull());
    QCOMPARE(ui.pushButton->text(), QStringLiteral("HEX-Datei"));
    QCOMPARE(ui.pushButton_2->text(), QStringLiteral("Write Flash"));
    QCOMPARE(ui.pushButton_3->text(), QStringLiteral("Exit"));
    QVERIFY(!ui.pushButton->isEnabled());
    QVERIFY(!ui.pushButton_2->isEnabled());
    QVERIFY(ui.pushButton_3->isEnabled());
    for (QLabel *label : {ui.label, ui.label_2, ui.label_3})
        QVERIFY(label->text().isEmpty());
    QVERIFY(ui.statusBar->currentMessage().isEmpty());
    QVERIFY(window.menuBar()->actions().isEmpty());
    QCOMPARE(window.statusBar(), ui.statusBar);

    QCOMPARE(probe.portList().size(), 50);
    QCOMPARE(probe.portList().first(), QStringLiteral("COM1"));
    QCOMPARE(probe.portList().last(), QStringLiteral("COM50"));
    QCOMPARE(probe.portIndex(), 0);
    QVERIFY(std::all_of(probe.image().begin(), probe.image().end(), [](qint32 cell) { return cell == 255; }));
    QVERIFY(probe.searchTimer()->isActive());
}

void WindowTest::widgetsKeepGeometryOnResize()
{
    VELDfwloader window;
    auto &ui = WindowProbe(window).ui();
    window.show();
    window.resize(800, 600);
    QCoreApplication::processEvents();
    QCOMPARE(ui.pushButton->geometry(), QRect(290, 10, 85, 27));
    QCOMPARE(ui.pushButton_2->geometry(), QRect(290, 50, 85, 27));
    QCOMPARE(ui.pushButton_3->geometry(), QRect(290, 90, 85, 27));
    QCOMPARE(ui.label->geometry(), QRect(30, 15, 241, 17));
    QCOMPARE(ui.label_2->geometry(), QRect(30, 56, 241, 17));
    QCOMPARE(ui.label_3->geometry(), QRect(30, 95, 241, 17));
}

void WindowTest::slotsAreTheFourOfTheWindow()
{
    VELDfwloader window;
    const QMetaObject *meta = window.metaObject();
    QCOMPARE(meta->className(), "VELDfwloader");
    QCOMPARE(meta->methodCount() - meta->methodOffset(), 4);
    const char *expected[] = {"on_pushButton_clicked()", "fopentty()", "on_pushButton_2_clicked()",
                              "on_pushButton_3_clicked()"};
    for (int i = 0; i < 4; ++i) {
        const QMetaMethod slot = meta->method(meta->methodOffset() + i);
        QCOMPARE(slot.methodSignature(), QByteArray(expected[i]));
        QCOMPARE(slot.access(), QMetaMethod::Private);
    }
}

void WindowTest::fontSizeSetting_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("used");
    QTest::newRow("none") << QVariant() << 12;
    QTest::newRow("8 stays") << QVariant(8) << 8;
    QTest::newRow("7 too small") << QVariant(7) << 12;
    QTest::newRow("0") << QVariant(0) << 12;
    QTest::newRow("negative") << QVariant(-3) << 12;
    QTest::newRow("not a number") << QVariant(QStringLiteral("gross")) << 12;
    QTest::newRow("30 stays") << QVariant(30) << 30;
    QTest::newRow("36 stays") << QVariant(36) << 36;
    QTest::newRow("37 too large") << QVariant(37) << 36;
}

void WindowTest::fontSizeSetting()
{
    QFETCH(QVariant, stored);
    QFETCH(int, used);
    if (stored.isValid()) {
        QSettings store(settings());
        store.setValue(QStringLiteral("fontsize"), stored);
    }
    {
        VELDfwloader window;
        QCOMPARE(window.font().pixelSize(), used);
        QCOMPARE(WindowProbe(window).ui().label->font().pixelSize(), used);
        QCOMPARE(window.font().weight(), QFont::Normal);
    }
    QCOMPARE(settings().value(QStringLiteral("fontsize")).toInt(), used);
}

void WindowTest::exitAndTitleBarCloseStoreFontSize_data()
{
    QTest::addColumn<bool>("byExitButton");
    QTest::newRow("Exit") << true;
    QTest::newRow("title bar") << false;
}

void WindowTest::exitAndTitleBarCloseStoreFontSize()
{
    QFETCH(bool, byExitButton);
    auto window = std::make_unique<VELDfwloader>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    if (byExitButton)
        QTest::mouseClick(WindowProbe(*window).ui().pushButton_3, Qt::LeftButton);
    else
        QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    QVERIFY(!settings().contains(QStringLiteral("fontsize"))); // written once, at destruction
    window.reset();
    QCOMPARE(settings().value(QStringLiteral("fontsize")).toInt(), 12);
}

void WindowTest::formResourcesPresent()
{
    const QImage png(QStringLiteral(":/images/Zirbelwerk.png"));
    QCOMPARE(png.size(), QSize(32, 32));
    QVERIFY(png.hasAlphaChannel());
    QFile ico(QStringLiteral(":/images/fwloader.ico"));
    QVERIFY(ico.open(QIODevice::ReadOnly));
    QCOMPARE(ico.size(), 4286);
}

void WindowTest::labelTextsFit_data()
{
    QTest::addColumn<bool>("english");
    QTest::addColumn<int>("fontSize");
    for (int size = 8; size <= 24; ++size) {
        QTest::addRow("German %d", size) << false << size;
        QTest::addRow("English %d", size) << true << size;
    }
}

// Every text the window puts into its buttons, its three labels and, after
// a write, its status bar, with the largest numbers it shows, at every font
// size up to twice the default.
void WindowTest::labelTextsFit()
{
    QFETCH(bool, english);
    QFETCH(int, fontSize);
    settings().setValue(QStringLiteral("fontsize"), fontSize);
    QTranslator translator;
    if (english) {
        QVERIFY(translator.load(QStringLiteral(":/i18n/zirbelwerk_en.qm")));
        QCoreApplication::installTranslator(&translator);
    }
    VELDfwloader window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // The status bar takes the font's height when it lays itself out again,
    // and then the window.
    for (int round = 0; round < 3; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    WindowProbe probe(window);
    auto &ui = probe.ui();
    QStringList label2 {DialogueText::blockProgress(1008, 1008)};
    QStringList status {DialogueText::written()};
    for (int failure = int(FlashOutcome::Failure::NotConnected); failure <= int(FlashOutcome::Failure::Interrupted);
         ++failure) {
        for (bool begun : {false, true}) {
            label2 << FlashOutcome(FlashOutcome::Failure(failure), begun, 1008, 1008).shortText();
            status << FlashOutcome(FlashOutcome::Failure(failure), begun, 1008, 1008).statusText();
        }
    }
    // The size grip takes the status bar's right corner.
    const int statusWidth = ui.statusBar->width() - ui.statusBar->findChild<QSizeGrip *>()->width();
    const QList<std::tuple<QWidget *, int, QStringList>> texts {
        {ui.label, ui.label->width(), {QStringLiteral("HEX-Datei Laden, Abbruch!"), DialogueText::hexAccepted(0xFBFF),
                                       DialogueText::hexRefused()}},
        {ui.label_2, ui.label_2->width(), label2},
        {ui.label_3, ui.label_3->width(), {DialogueText::firmwareVersion(999), DialogueText::newFirmwareExit(),
                                         DialogueText::lineLost()}},
        {ui.statusBar, statusWidth, status},
    };
    for (const auto &[widget, width, shown] : texts) {
        const QFontMetrics metrics(widget->font());
        QVERIFY2(metrics.height() <= widget->height(), qPrintable(QStringLiteral("%1: %2 px high in %3").arg(widget->objectName()).arg(metrics.height()).arg(widget->height())));
        for (const QString &text : shown)
            QVERIFY2(metrics.horizontalAdvance(text) <= width,
                     qPrintable(QStringLiteral("%1: \"%2\" is %3 px of %4").arg(widget->objectName(), text)
                                        .arg(metrics.horizontalAdvance(text)).arg(width)));
    }
    for (QPushButton *button : {ui.pushButton, ui.pushButton_2, ui.pushButton_3}) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        QVERIFY2(text.width() <= room.width() && text.height() <= room.height(),
                 qPrintable(QStringLiteral("%1: %2 x %3 px in %4 x %5").arg(button->text()).arg(text.width())
                                    .arg(text.height()).arg(room.width()).arg(room.height())));
    }
    QCoreApplication::removeTranslator(&translator);
}

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
