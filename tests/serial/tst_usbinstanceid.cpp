#include "win/UsbInstanceId.h"

#include <QTest>

class UsbInstanceIdTest : public QObject
{
    Q_OBJECT

private slots:
    void tellsWhatTheIdHolds_data();
    void tellsWhatTheIdHolds();
};

void UsbInstanceIdTest::tellsWhatTheIdHolds_data()
{
    QTest::addColumn<QString>("instanceId");
    QTest::addColumn<QString>("vendor");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serial"); // null: none

    QTest::newRow("USB, with serial") << "USB\\VID_0403&PID_6001\\A50285BI" << "0403" << "6001" << "A50285BI";
    QTest::newRow("FTDI's bus") << "FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000" << "0403" << "6001" << "A50285BIA";
    QTest::newRow("made-up ID") << "USB\\VID_1A86&PID_7523\\5&2C8F3F5E&0&2" << "1a86" << "7523" << QString();
    QTest::newRow("interface of a composite") << "USB\\VID_2341&PID_0043&MI_00\\6&3A0B1C2&0&0000" << "2341"
                                              << "0043" << QString();
    QTest::newRow("lower case") << "usb\\vid_10c4&pid_ea60\\0001" << "10c4" << "ea60" << "0001";
    QTest::newRow("built-in port") << "ACPI\\PNP0501\\1" << QString() << QString() << QString();
}

void UsbInstanceIdTest::tellsWhatTheIdHolds()
{
    QFETCH(QString, instanceId);
    QFETCH(QString, vendor);
    QFETCH(QString, product);
    QFETCH(QString, serial);
    const PortIdentity identity = UsbInstanceId::parse(instanceId);
    QCOMPARE(PortIdentity::hexId(identity.vendorId), vendor);
    QCOMPARE(PortIdentity::hexId(identity.productId), product);
    QCOMPARE(identity.serialNumber, serial);
    QCOMPARE(identity.serialNumber.isNull(), serial.isNull());
}

QTEST_GUILESS_MAIN(UsbInstanceIdTest)
#include "tst_usbinstanceid.moc"
