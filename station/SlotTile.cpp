#include "station/SlotTile.h"

#include "device/DialogueText.h"
#include "device/FlashOutcome.h"
#include "device/WriteSession.h"
#include "serial/PortFault.h"

#include "ui_SlotTile.h"

#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>

namespace {

// Below this a text is not worth showing smaller; the tile is too small.
constexpr int SmallestPixelSize = 8;
// Of a label's height, one line's font size; wrapped texts take less.
constexpr double LineShare = 0.7;
constexpr int BorderWidth = 4;
constexpr qreal CornerRadius = 8;

struct Colours
{
    const char *background;
    const char *border;
};

Colours coloursOf(SlotTile::State state)
{
    switch (state) {
    case SlotTile::State::Waiting:
        return {"#eeeeee", "#9e9e9e"};
    case SlotTile::State::Found:
        return {"#dcecff", "#1e64c8"};
    case SlotTile::State::Writing:
        return {"#fff3c4", "#c89600"};
    case SlotTile::State::Written:
        return {"#d7f5d7", "#1e8c1e"};
    case SlotTile::State::Failed:
        return {"#ffd6d6", "#c81e1e"};
    case SlotTile::State::PortFault:
        return {"#ffe6c8", "#d2691e"};
    }
    return {"#eeeeee", "#9e9e9e"};
}

int flagsOf(const QLabel *label)
{
    return int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
}

bool fitsIn(const QLabel *label, const QFont &font)
{
    const QRect room = label->contentsRect();
    const QRect needed = QFontMetrics(font).boundingRect(room, flagsOf(label), label->text());
    return needed.width() <= room.width() && needed.height() <= room.height();
}

// The largest size up to one line's height at which the text fits.
void fitFont(QLabel *label)
{
    QFont font = label->font();
    const int largest = qMax(SmallestPixelSize, int(label->contentsRect().height() * LineShare));
    for (int size = largest; size >= SmallestPixelSize; --size) {
        font.setPixelSize(size);
        if (fitsIn(label, font))
            break;
    }
    label->setFont(font);
}

} // namespace

SlotTile::SlotTile(QWidget *parent) : QFrame(parent), ui(std::make_unique<Ui::SlotTile>())
{
    ui->setupUi(this);
    setContentsMargins(BorderWidth, BorderWidth, BorderWidth, BorderWidth);
    QFont bold = ui->stateLabel->font();
    bold.setBold(true);
    ui->stateLabel->setFont(bold);
    ui->startButton->hide();
    connect(ui->startButton, &QPushButton::clicked, this, &SlotTile::startClicked);
    ui->progressBar->hide();
    showWaiting();
    setCounts(0, 0);
}

SlotTile::~SlotTile() = default;

void SlotTile::setPort(const QString &port, const QString &usbSerial)
{
    portName = port;
    ui->portLabel->setText(usbSerial.isEmpty() ? port : tr("%1   SN %2").arg(port, usbSerial));
    fitFonts();
}

void SlotTile::showWaiting()
{
    setState(State::Waiting, DialogueText::waitingForInstrument(), QString());
}

void SlotTile::showFound(int version, bool ready)
{
    setState(State::Found, DialogueText::foundVersion(version), ready && startShown ? tr("bereit zum Start") : QString());
    ui->startButton->setEnabled(ready);
}

void SlotTile::showWriting(int released, int total)
{
    if (current != State::Writing)
        setState(State::Writing, DialogueText::writing(), QString());
    blocksReleased = released;
    if (total != blockTotal) {
        blockTotal = total;
        ui->progressBar->setRange(0, total);
        // Sized once for the widest count, so that every count fits.
        ui->detailLabel->setText(DialogueText::blockOf(total, total));
        fitFont(ui->detailLabel);
    }
    progressDue = true;
}

void SlotTile::paintProgress()
{
    if (current != State::Writing || !std::exchange(progressDue, false))
        return;
    // A bar repaints itself at once; held back, it joins the window's next
    // paint, with every other tile's.
    ui->progressBar->setUpdatesEnabled(false);
    ui->progressBar->setValue(blocksReleased);
    ui->progressBar->setUpdatesEnabled(true);
    ui->detailLabel->setText(DialogueText::blockOf(blocksReleased, blockTotal));
}

void SlotTile::showWaitingForErase(int seconds)
{
    setState(State::Writing, DialogueText::writing(), tr("HW loescht, %1 s").arg(seconds));
}

void SlotTile::showWritten(const QString &time)
{
    setState(State::Written, DialogueText::writtenAt(time), QString());
}

void SlotTile::showFailed(const FlashOutcome &outcome)
{
    QString detail = outcome.statusText();
    if (outcome.blockReached() > 0)
        detail += QLatin1Char('\n') + DialogueText::blockOf(outcome.blockReached(), outcome.blockTotal());
    setState(State::Failed, tr("%1: %2").arg(DialogueText::failed(), outcome.briefText()), detail);
}

void SlotTile::showPortFault(const PortFault &fault)
{
    setState(State::PortFault, fault.brief(), QString());
    setToolTip(fault.text());
}

void SlotTile::setCounts(int written, int failed)
{
    const int attempts = written + failed;
    const QString counts = tr("geschrieben %1   Fehler %2").arg(written).arg(failed);
    ui->countsLabel->setText(attempts == 0 ? counts
                                           : tr("%1   %2 %").arg(counts).arg(100 * written / attempts));
    fitFont(ui->countsLabel);
}

void SlotTile::setStartShown(bool shown)
{
    startShown = shown;
    ui->startButton->setVisible(shown);
}

QString SlotTile::stateText() const
{
    return ui->stateLabel->text();
}

QString SlotTile::detailText() const
{
    return ui->detailLabel->text();
}

bool SlotTile::isStartEnabled() const
{
    return startShown && ui->startButton->isEnabled();
}

bool SlotTile::textsFit() const
{
    for (const QLabel *label : findChildren<QLabel *>())
        if (!label->text().isEmpty() && !fitsIn(label, label->font()))
            return false;
    return true;
}

void SlotTile::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    fitFonts();
}

// Every probe round tells a slot its state again: only what changed is
// coloured, fitted and painted anew.
void SlotTile::setState(State state, const QString &text, const QString &detail)
{
    // A count held back must not cover the outcome.
    progressDue = false;
    // The detail's font was sized for the widest count; it is fitted anew.
    const bool refit = blockTotal > 0 || text != ui->stateLabel->text() || detail != ui->detailLabel->text();
    blockTotal = -1;
    if (state != State::PortFault)
        setToolTip(QString());
    ui->stateLabel->setText(text);
    ui->detailLabel->setText(detail);
    ui->progressBar->setVisible(state == State::Writing);
    ui->startButton->setEnabled(false);
    if (state != current)
        update();
    current = state;
    if (refit)
        fitFonts();
}

// Painted here, not by a style sheet: a sheet on the tile would style
// every label and bar in it anew on each of their many repaints.
void SlotTile::paintEvent(QPaintEvent *event)
{
    const Colours colours = coloursOf(current);
    QPainter painter(this);
    // Behind a label's or the bar's repaint lies plain background.
    const int corner = int(CornerRadius);
    if (rect().adjusted(corner, corner, -corner, -corner).contains(event->rect())) {
        painter.fillRect(event->rect(), QColor(QLatin1String(colours.background)));
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(QLatin1String(colours.border)), BorderWidth));
    painter.setBrush(QColor(QLatin1String(colours.background)));
    const qreal inset = BorderWidth / 2.0;
    painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), CornerRadius - inset,
                            CornerRadius - inset);
}

void SlotTile::fitFonts()
{
    for (QLabel *label : {ui->portLabel, ui->stateLabel, ui->countsLabel})
        fitFont(label);
    if (blockTotal > 0) {
        const QString count = ui->detailLabel->text();
        ui->detailLabel->setText(DialogueText::blockOf(blockTotal, blockTotal));
        fitFont(ui->detailLabel);
        ui->detailLabel->setText(count);
    } else {
        fitFont(ui->detailLabel);
    }
    QFont buttonFont = ui->startButton->font();
    buttonFont.setPixelSize(ui->countsLabel->font().pixelSize());
    ui->startButton->setFont(buttonFont);
}
