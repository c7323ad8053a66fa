#include "PtyPeer.h"

#include "serial/PortIdentity.h"

#include <QFile>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

class PortIdentityTest : public QObject
{
    Q_OBJECT

private slots:
    void pseudoTerminalHasNone();
    void listedPortsAreFoundAlsoThroughLinks();
    void idsReadAsLsusbWritesThem();
};

void PortIdentityTest::pseudoTerminalHasNone()
{
    PtyPeer peer;
    QVERIFY(peer.isValid());
    const PortIdentity identity = PortIdentity::of(peer.devicePath());
    QVERIFY(!identity.isKnown());
    QVERIFY(identity.serialNumber.isNull());
    QVERIFY(!PortIdentity::of(QStringLiteral("/dev/zirbelwerk-missing")).isKnown());
    QVERIFY(!PortIdentity::of(QString()).isKnown());
}

void PortIdentityTest::listedPortsAreFoundAlsoThroughLinks()
{
    const auto ports = QSerialPortInfo::availablePorts();
    if (ports.isEmpty())
        QSKIP("this machine lists no serial ports");
    QTemporaryDir dir;
    for (const QSerialPortInfo &info : ports) {
        const QString link = dir.filePath(info.portName());
        QVERIFY(QFile::link(info.systemLocation(), link));
        for (const QString &path : {info.systemLocation(), link}) {
            const PortIdentity identity = PortIdentity::of(path);
            QCOMPARE(bool(identity.vendorId), info.hasVendorIdentifier());
            QCOMPARE(identity.vendorId.value_or(0), info.vendorIdentifier());
            QCOMPARE(identity.productId.value_or(0), info.productIdentifier());
            QCOMPARE(identity.serialNumber.isNull(), info.serialNumber().isEmpty());
        }
    }
}

void PortIdentityTest::idsReadAsLsusbWritesThem()
{
    QCOMPARE(PortIdentity::hexId(0x0403), QStringLiteral("0403"));
    QCOMPARE(PortIdentity::hexId(0xABCD), QStringLiteral("abcd"));
    QVERIFY(PortIdentity::hexId(std::nullopt).isNull());
}

QTEST_GUILESS_MAIN(PortIdentityTest)
#include "tst_portidentity.moc"
