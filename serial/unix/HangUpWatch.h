#pragma once

#include <QObject>

class QSerialPort;

// Notices a line that has gone away (far end hung up, adapter pulled) from
// the device itself. Qt versions differ in whether they report its end of
// file as an error at all; 6.8 reads the end of file again and again on
// every turn of the event loop and says nothing.
class HangUpWatch : public QObject
{
    Q_OBJECT

public:
    // Watches the open port's read notification; a child of the port.
    explicit HangUpWatch(QSerialPort *port);

    static bool hungUp(const QSerialPort *port);
    // Whether the port's device is gone for good. Not a line that merely
    // takes no bytes for now: Qt reports that as a resource error too.
    static bool isLost(const QSerialPort *port);

signals:
    // Once per port.
    void lineLost();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSerialPort *port;
    bool reported = false;
};
