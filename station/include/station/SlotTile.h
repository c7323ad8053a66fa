#pragma once

#include <QFrame>
#include <QString>

#include <memory>

class FlashOutcome;
class PortFault;
class QLabel;

namespace Ui {
class SlotTile;
}

// One slot of the station, readable from a distance: its port and adapter,
// and its state in large text and in colour, never colour alone. Its fonts
// follow its size, so that every text fits whatever the grid gives it.
class SlotTile : public QFrame
{
    Q_OBJECT

public:
    enum class State { Waiting, Found, Writing, Written, Failed, PortFault };

    explicit SlotTile(QWidget *parent = nullptr);
    ~SlotTile() override;

    // usbSerial empty where the port has no USB adapter.
    void setPort(const QString &port, const QString &usbSerial);
    void showWaiting();
    // ready: it waits for its start.
    void showFound(int version, bool ready);
    // Painted by paintProgress(): many slots write at once.
    void showWriting(int released, int total);
    // The last count shown, if it changed since.
    void paintProgress();
    void showWaitingForErase(int seconds);
    void showWritten(const QString &time);
    void showFailed(const FlashOutcome &outcome);
    void showPortFault(const PortFault &fault);
    void setCounts(int written, int failed);
    // Manual mode: the tile's own start, enabled while it is ready.
    void setStartShown(bool shown);

    QString port() const { return portName; }
    State state() const { return current; }
    QString stateText() const;
    QString detailText() const;
    bool isStartEnabled() const;
    // Whether each text lies wholly inside its label.
    bool textsFit() const;

signals:
    void startClicked();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setState(State state, const QString &text, const QString &detail);
    void fitFonts();

    std::unique_ptr<Ui::SlotTile> ui;
    QString portName;
    State current = State::Waiting;
    bool startShown = false;
    bool progressDue = false;
    int blocksReleased = 0;
    int blockTotal = -1;
};
