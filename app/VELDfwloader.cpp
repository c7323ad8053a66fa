#include "app/VELDfwloader.h"

#include "closeguard/CloseGuard.h"
#include "device/PortProbe.h"
#include "device/SearchTiming.h"
#include "stop/StopSignals.h"
#include "serial/Modem.h"
#include "serial/PortNames.h"

#include <QCoreApplication>
#include <QDebug>
#include <QLabel>
#include <QPalette>
#include <QSettings>
#include <QTimer>

#include <cstring>

namespace {

const QString SettingsOrganization = QStringLiteral("ORV");
const QString SettingsApplication = QStringLiteral("Kolibar");
const QString FontSizeKey = QStringLiteral("fontsize");
constexpr int DefaultFontSize = 12;
constexpr int SmallestUnusableFontSize = 7;
// The form grows with the font: three times its size still fits a small
// laptop's screen.
constexpr int LargestFontSize = 3 * DefaultFontSize;

} // namespace

VELDfwloader::VELDfwloader()
    : QMainWindow(nullptr)
{
    ui.setupUi(this);
    modem = std::make_unique<Modem>();
    portProbe = std::make_unique<PortProbe>(*modem);
    connect(modem.get(), &Modem::portFailed, this, [](const QString &line) { qDebug().noquote() << line; });
    connect(modem.get(), &Modem::lineLost, this, &VELDfwloader::showLineLost);
    portList = PortNames::comNames();
    image.fill(FirmwareEmptyCell);
    ui.pushButton->setEnabled(false);
    ui.pushButton_2->setEnabled(false);

    searchTimer = new QTimer(this);
    // Coarse timers may fire early; the instrument is owed its full reply time.
    searchTimer->setTimerType(Qt::PreciseTimer);
    connect(searchTimer, &QTimer::timeout, this, &VELDfwloader::fopentty);

    QSettings settings(SettingsOrganization, SettingsApplication);
    fontSize = settings.value(FontSizeKey, DefaultFontSize).toInt();
    if (fontSize <= SmallestUnusableFontSize)
        fontSize = DefaultFontSize;
    fontSize = qMin(fontSize, LargestFontSize);
    QFont windowFont = font();
    windowFont.setPixelSize(fontSize);
    windowFont.setWeight(QFont::Normal);
    setFont(windowFont);
    growWithFont();

    if (const QString warning = PortNames::unsearchedWarning(); !warning.isEmpty())
        qDebug().noquote() << warning;
    modem->closePort();
    modem->setBaudRate(Modem::DefaultBaudRate);
    searchTimer->start(SearchTiming::FirstStep);

    // A close during a flash write would leave the instrument half written.
    installEventFilter(new CloseGuard(
            [this] { return flashWriteRunning(); },
            [this] { showCloseRefused(); },
            this));
    connect(new StopSignals(this), &StopSignals::received, this, &VELDfwloader::stopRequested);

    connect(&writeSession, &WriteSession::progressed, this, &VELDfwloader::showBlockProgress);
    connect(&writeSession, &WriteSession::finished, this, &VELDfwloader::finishFlashWrite);
    connect(&flashRecord, &FlashRecord::appended, this, &VELDfwloader::showRecorded);
    blockLabelPause = new QTimer(this);
    blockLabelPause->setSingleShot(true);
    blockLabelPause->setInterval(WriteSession::ProgressInterval);
    connect(blockLabelPause, &QTimer::timeout, this, &VELDfwloader::paintBlockProgress);
}

// The form's fixed geometry holds its texts up to the default size; a
// larger font would cut them, so the form grows with it.
void VELDfwloader::growWithFont()
{
    if (fontSize <= DefaultFontSize)
        return;
    const auto grown = [this](int length) { return (length * fontSize + DefaultFontSize / 2) / DefaultFontSize; };
    const QList<QWidget *> placed {ui.pushButton, ui.pushButton_2, ui.pushButton_3, ui.label, ui.label_2, ui.label_3};
    for (QWidget *widget : placed) {
        const QRect fixed = widget->geometry();
        widget->setGeometry(grown(fixed.x()), grown(fixed.y()), grown(fixed.width()), grown(fixed.height()));
    }
    resize(grown(width()), grown(height()));
}

VELDfwloader::~VELDfwloader()
{
    QSettings settings(SettingsOrganization, SettingsApplication);
    settings.setValue(FontSizeKey, fontSize);
    settings.sync();
    // A record line still waiting for its lock gets one last try.
    disconnect(&flashRecord, nullptr, this, nullptr);
    disconnect(&writeSession, nullptr, this, nullptr);
    connect(&flashRecord, &FlashRecord::appended, [this](bool written) {
        if (!written)
            qDebug().noquote() << flashRecord.errorString();
    });
    flashRecord.abandon();
}

// Beside the progress texts, which replace each other, until the write ends.
void VELDfwloader::showCloseRefused()
{
    if (!closeRefusedNote) {
        closeRefusedNote = new QLabel(tr("Beenden erst nach dem Flash schreiben!"));
        ui.statusBar->addPermanentWidget(closeRefusedNote);
    }
    closeRefusedNote->show();
}

void VELDfwloader::on_pushButton_3_clicked()
{
    close();
}

// A write stopped in the middle would leave the instrument half written:
// the window ends once the write and its record line are done, unless a
// second stop insists.
void VELDfwloader::stopRequested(int signalNumber)
{
    switch (stopPolicy.onSignal(signalNumber, flashWriteRunning())) {
    case StopPolicy::Action::EndNow:
        quitNow();
        return;
    case StopPolicy::Action::KeepWriting:
    case StopPolicy::Action::EndAfterWrites:
        quitAfterWrite = true;
        showCloseRefused();
        return;
    case StopPolicy::Action::InterruptWrites:
        quitAfterWrite = true;
        writeSession.interrupt();
        return;
    }
}

// As Exit does; quit() also ends a file dialog that is open.
void VELDfwloader::quitNow()
{
    close();
    QCoreApplication::quit();
}

void VELDfwloader::drainInput()
{
    if (portOpen) {
        char scratch[sizeof replyBuffer];
        modem->readData(scratch, sizeof scratch);
    }
    std::memset(replyBuffer, 0, sizeof replyBuffer);
}

void VELDfwloader::colourLabel(QLabel *target, Qt::GlobalColor colour)
{
    QPalette palette = target->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, QBrush(colour, Qt::SolidPattern));
    target->setPalette(palette);
}
