#include "app/VELDfwloader.h"

#include "app/CloseGuard.h"
#include "device/FlashWriter.h"
#include "device/SearchTiming.h"
#include "device/StopSignals.h"
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

} // namespace

VELDfwloader::VELDfwloader()
    : QMainWindow(nullptr)
{
    ui.setupUi(this);
    modem = std::make_unique<Modem>();
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
    QFont windowFont = font();
    windowFont.setPixelSize(fontSize);
    windowFont.setWeight(QFont::Normal);
    setFont(windowFont);

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
    connect(&recorder.record(), &FlashRecord::appended, this, &VELDfwloader::showRecorded);
}

VELDfwloader::~VELDfwloader()
{
    QSettings settings(SettingsOrganization, SettingsApplication);
    settings.setValue(FontSizeKey, fontSize);
    settings.sync();
    // A write still running ends before its port closes with the modem.
    delete flashWriter;
    // A record line still waiting for its lock gets one last try.
    FlashRecord &record = recorder.record();
    disconnect(&record, nullptr, this, nullptr);
    connect(&record, &FlashRecord::appended, [&record](bool written) {
        if (!written)
            qDebug().noquote() << record.errorString();
    });
    record.abandon();
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

// Stopped in the middle, the instrument would be left half written: the
// request waits for the write's end and its record line, which waits for
// its lock a short while at most. A request while only the record is
// pending ends at once.
void VELDfwloader::stopRequested()
{
    if (flashWriteRunning() && !quitAfterWrite) {
        quitAfterWrite = true;
        showCloseRefused();
        return;
    }
    if (!flashWriteRunning())
        quitNow();
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
