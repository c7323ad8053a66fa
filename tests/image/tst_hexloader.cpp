#include "image/HexLoader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

using Cells = QMap<int, QByteArray>; // address -> bytes expected from there

const QByteArray Signature = QByteArray::fromHex("00EF7EF0");
const QByteArray EndOfFile = ":00000001FF";
constexpr qint32 SignedLength = 0x23;
constexpr std::chrono::milliseconds SrecCatTimeout{30000};

// A well-formed record with its checksum.
QByteArray record(int type, int address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size())).append(char(address >> 8)).append(char(address)).append(char(type));
    bytes += data;
    quint8 sum = 0;
    for (char c : bytes)
        sum += quint8(c);
    bytes.append(char(quint8(0x100 - sum)));
    return ':' + bytes.toHex().toUpper();
}

QByteArray address16(int value)
{
    return QByteArray(1, char(value >> 8)) + char(value);
}

QByteArray linear(int value) { return record(4, 0, address16(value)); }
QByteArray segment(int value) { return record(2, 0, address16(value)); }
QByteArray data(int address, const QByteArray &bytes) { return record(0, address, bytes); }

QByteArray pattern(int address, int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char((address + i) * 7 + 3));
    return bytes;
}

QByteArray block(int address, int count = 16) { return data(address, pattern(address, count)); }

QByteArray lines(const QList<QByteArray> &records) { return records.join('\n') + '\n'; }

// 16-byte records over [0, end) with the signature at 0x20.
QByteArray signedRange(int end)
{
    QList<QByteArray> records{linear(0)};
    for (int address = 0; address < end; address += 16) {
        QByteArray bytes = pattern(address, 16);
        if (address == 0x20)
            bytes.replace(0, 4, Signature);
        records << data(address, bytes);
    }
    return lines(records);
}

FirmwareImage signedImage()
{
    FirmwareImage image = emptyFirmwareImage();
    for (int i = 0; i < SignedLength + 1; ++i)
        image[i] = i < 0x20 ? 0x11 : quint8(Signature[i - 0x20]);
    return image;
}

QByteArray lowBytes(const FirmwareImage &image, int address, int count)
{
    QByteArray bytes;
    for (int i = address; i < address + count; ++i)
        bytes.append(char(image[i]));
    return bytes;
}

} // namespace

class TestHexLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir scratch;

    static QString dataFile(const QString &name) { return QDir(ZW_HEX_DATA).filePath(name); }

    static QByteArray readData(const QString &name)
    {
        QFile file(dataFile(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void verifyUnchanged(const HexLoader &loader, const FirmwareImage &start, qint32 startLength)
    {
        QVERIFY(loader.image() == start);
        QCOMPARE(loader.imageLength(), startLength);
    }

private slots:
    void loads_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("startSigned");
        QTest::addColumn<qint32>("length"); // -2: refused
        QTest::addColumn<QString>("reason");
        QTest::addColumn<Cells>("cells");

        const QByteArray sigRecord = data(0x20, Signature);
        QTest::newRow("0x0000-0x00FF") << signedRange(0x100) << false << 255 << ""
                                       << Cells{{0x1E, pattern(0x1E, 2) + Signature + pattern(0x24, 2)}};
        QTest::newRow("ends at 0xFBFF") << lines({linear(0), sigRecord, block(0xFBF0)}) << false << 0xFBFF << ""
                                        << Cells{{0xFBF0, pattern(0xFBF0, 16)}};
        QTest::newRow("ends at 0xFC0F") << lines({linear(0), sigRecord, block(0xFC00)}) << false << -2
                                        << "Endadresse 0xFC0F liegt ueber 0xFBFF" << Cells{};
        QTest::newRow("ends at last cell") << lines({linear(0), sigRecord, block(0xFDD8)}) << false << -2
                                           << "Endadresse 0xFDE7" << Cells{};
        QTest::newRow("highest record first") << lines({linear(0), block(0x100), sigRecord, block(0x40)})
                                              << false << 0x10F << "" << Cells{{0x100, pattern(0x100, 16)}};
        QTest::newRow("above 0xFBFF, not last") << lines({linear(0), block(0xFC00), sigRecord}) << false << -2
                                                << "Endadresse 0xFC0F" << Cells{};
        QTest::newRow("empty record at 0") << lines({linear(0), data(0, "")}) << true << -1 << "" << Cells{};
        QTest::newRow("empty record does not move the end")
            << lines({linear(0), sigRecord, block(0x40), data(0xFC00, "")}) << false << 0x4F << "" << Cells{};
        QTest::newRow("no signature") << lines({linear(0), block(0x100)}) << false << -2
                                      << "Signatur fehlt: Adresse 0x0020 enthaelt 0xFF statt 0x00" << Cells{};
        QTest::newRow("signature wrong in last byte")
            << lines({linear(0), data(0x20, QByteArray::fromHex("00EF7EF1"))}) << false << -2
            << "Adresse 0x0023 enthaelt 0xF1 statt 0xF0" << Cells{};
        QTest::newRow("no type-04 record") << lines({block(0x100), EndOfFile}) << true << -2
                                           << "fehlt der Satz :020000040000FA (als erste Zeile einfuegen oder mit "
                                              "\"srec_cat ALT.hex -intel -o NEU.hex -intel\"" << Cells{};
        QTest::newRow("type-04 0030 until 0000")
            << lines({linear(0x30), block(0x100), linear(0), block(0x200), linear(0x30), block(0x300)})
            << true << 0x20F << "" << Cells{{0x100, "\xFF\xFF"}, {0x200, pattern(0x200, 16)}, {0x300, "\xFF"}};
        QTest::newRow("after end-of-file record") << lines({linear(0), EndOfFile, block(0x100)}) << true << 0x10F
                                                  << "" << Cells{{0x100, pattern(0x100, 16)}};
        QTest::newRow("other types passed over")
            << lines({linear(0), record(3, 0, QByteArray::fromHex("00000100")),
                      record(5, 0, QByteArray::fromHex("00000100")), record(0x42, 0x100, "AB"),
                      block(0x200), EndOfFile})
               << true << 0x20F << "" << Cells{{0x100, "\xFF\xFF"}};
        QTest::newRow("segment 0x1000 passed over")
            << lines({linear(0), segment(0x1000), block(0x100), segment(0), block(0x200)}) << true << 0x20F << ""
            << Cells{{0x100, "\xFF"}, {0x200, pattern(0x200, 16)}};
        QTest::newRow("lower case") << lines({linear(0), block(0x1A0)}).toLower() << true << 0x1AF << ""
                                    << Cells{{0x1A0, pattern(0x1A0, 16)}};
        QTest::newRow("records on one line") << linear(0) + " " + block(0x100) + "\t " + block(0x110) << true
                                             << 0x11F << "" << Cells{{0x100, pattern(0x100, 32)}};
        QTest::newRow("other words, BOM, CR LF")
            << "\xEF\xBB\xBF" + linear(0) + "\r\n; built 2024\r\n" + block(0x100) + "\r\n" << true << 0x10F << ""
            << Cells{{0x100, pattern(0x100, 16)}};
    }

    void loads()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, startSigned);
        QFETCH(qint32, length);
        QFETCH(QString, reason);
        QFETCH(Cells, cells);

        const FirmwareImage start = startSigned ? signedImage() : emptyFirmwareImage();
        const qint32 startLength = startSigned ? SignedLength : 0;
        HexLoader loader(start, startLength);
        const bool accepted = loader.loadText(text);
        QVERIFY2(accepted == (length != -2), qPrintable(loader.errorString()));
        if (!accepted) {
            QVERIFY2(loader.errorString().contains(reason), qPrintable(loader.errorString()));
            QCOMPARE(loader.errorLine(), 0);
            verifyUnchanged(loader, start, startLength);
            return;
        }
        QCOMPARE(loader.imageLength(), length);
        QCOMPARE(loader.errorString(), QString());
        QCOMPARE(lowBytes(loader.image(), 0x20, 4), Signature);
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            QCOMPARE(lowBytes(loader.image(), it.key(), int(it.value().size())).toHex(), it.value().toHex());
    }

    void damagedRecordRefused_data()
    {
        QTest::addColumn<QByteArray>("damaged");
        QTest::addColumn<QString>("reason");

        const QByteArray good = block(0x300);
        QTest::newRow("not hexadecimal") << QByteArray(good).replace(12, 1, "G")
                                         << "Zeile 3: Zeichen \"G\" ist keine Hex-Ziffer";
        QTest::newRow("odd digit count") << good + "0" << "Zeile 3: ungerade Anzahl Hex-Ziffern";
        QTest::newRow("count too large") << QByteArray(good).replace(1, 2, "11")
                                         << "Zeile 3: Byteanzahl 0x11 passt nicht zu 16 Datenbytes";
        QTest::newRow("count too small") << QByteArray(good).replace(1, 2, "0F") << "Zeile 3: Byteanzahl 0x0F";
        QTest::newRow("checksum wrong") << good.left(good.size() - 1) + (good.endsWith('0') ? "1" : "0")
                                        << "Zeile 3: Pruefsumme falsch";
        QTest::newRow("too short") << QByteArray(":00000001") << "Zeile 3: Satz zu kurz";
        QTest::newRow("lone colon") << QByteArray(":") << "Zeile 3: Satz zu kurz";
        QTest::newRow("type 04 with 4 bytes") << record(4, 0, QByteArray(4, 0))
                                              << "Zeile 3: Adresssatz (Typ 0x04) mit 4 statt 2 Datenbytes";
        QTest::newRow("type 02 with 1 byte") << record(2, 0, QByteArray(1, 0)) << "Zeile 3: Adresssatz (Typ 0x02)";
        QTest::newRow("past last cell") << block(0xFDE0)
                                        << "Zeile 3: Daten bei 0xFDE0-0xFDEF liegen ausserhalb des Speichers";
        QTest::newRow("past 0xFFFF") << block(0xFFF0, 32) << "Zeile 3: Daten bei 0xFFF0-0x1000F";
        QTest::newRow("segment below 64 KiB") << segment(0x0100) + "\n" + block(0x80)
                                              << "Zeile 4: Segmentadresse 0x0100";
        QTest::newRow("after end-of-file") << EndOfFile + "\n" + good.left(good.size() - 2)
                                           << "Zeile 4: Byteanzahl";
        QTest::newRow("lone CR ends a line") << "x y\r" + good + "0" << "Zeile 4: ungerade";
    }

    void damagedRecordRefused()
    {
        QFETCH(QByteArray, damaged);
        QFETCH(QString, reason);

        // Good records come first: they must not reach the image either.
        const QByteArray text = lines({linear(0), block(0x100), damaged, block(0x200)});
        HexLoader loader(signedImage(), SignedLength);
        QVERIFY(!loader.loadText(text));
        QVERIFY2(loader.errorString().startsWith(reason), qPrintable(loader.errorString()));
        QCOMPARE(loader.errorLine(), reason.section(' ', 1, 1).chopped(1).toInt());
        verifyUnchanged(loader, signedImage(), SignedLength);
    }

    // The window keeps the image between loads and builds a loader from it.
    void acceptedFilesOverlay()
    {
        HexLoader first(emptyFirmwareImage(), 0);
        QVERIFY(first.loadText(signedRange(0x100)));
        HexLoader second(first.image(), first.imageLength());
        QVERIFY2(second.loadText(lines({linear(0), block(0x40, 8)})), qPrintable(second.errorString()));
        QCOMPARE(second.imageLength(), 0x47);
        QCOMPARE(lowBytes(second.image(), 0x20, 4), Signature);
        QCOMPARE(lowBytes(second.image(), 0x40, 9), pattern(0x40, 8) + lowBytes(first.image(), 0x48, 1));

        // A refused load in between changes nothing on the same loader.
        QVERIFY(!second.loadText(lines({linear(0), block(0x40), ":00"})));
        QCOMPARE(second.imageLength(), 0x47);
        QCOMPARE(lowBytes(second.image(), 0x40, 9), pattern(0x40, 8) + lowBytes(first.image(), 0x48, 1));
    }

    void unreadableFileRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");

        QVERIFY(QFile(scratch.filePath("empty.hex")).open(QIODevice::WriteOnly));
        QTest::newRow("missing") << dataFile("missing.hex") << "Datei nicht gefunden: " + dataFile("missing.hex");
        QTest::newRow("empty name") << QString() << "Keine Datei angegeben";
        QTest::newRow("directory") << QString(ZW_HEX_DATA) << "Ist ein Ordner, keine Datei: " ZW_HEX_DATA;
        QTest::newRow("empty") << scratch.filePath("empty.hex") << "Datei ist leer: " + scratch.filePath("empty.hex");
        // Opening a device could change a serial line.
        if (QFile::exists("/dev/zero"))
            QTest::newRow("device") << "/dev/zero" << "Ist ein Geraet, keine Datei: /dev/zero";
#ifdef Q_OS_UNIX
        const QString fifo = scratch.filePath("fifo.hex");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QTest::newRow("FIFO without a writer") << fifo << "Aus " + fifo + " kamen 0.2 s lang keine Daten";
#endif
    }

    void unreadableFileRefused()
    {
        QFETCH(QString, path);
        QFETCH(QString, reason);

        HexLoader loader(signedImage(), SignedLength);
        loader.setPipeSilence(std::chrono::milliseconds(200));
        QVERIFY(!loader.loadFile(path));
        // Paths as the system writes them (backslashes on Windows).
        QVERIFY2(loader.errorString().startsWith(QDir::toNativeSeparators(reason)), qPrintable(loader.errorString()));
        QCOMPARE(loader.errorLine(), 0);
        verifyUnchanged(loader, signedImage(), SignedLength);
    }

#ifdef Q_OS_UNIX
    // A process substitution or a download piped in: read as it comes.
    void pipeIsReadAsItComes()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath("fifo.hex");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QProcess writer;
        writer.start("sh", {"-c", "sleep 0.3; cat \"$0\" > \"$1\"", dataFile("small.hex"), fifo});
        HexLoader piped(emptyFirmwareImage(), 0);
        HexLoader plain(emptyFirmwareImage(), 0);
        QVERIFY2(piped.loadFile(fifo), qPrintable(piped.errorString()));
        QVERIFY(plain.loadFile(dataFile("small.hex")));
        QCOMPARE(piped.fileSha256(), plain.fileSha256());
        QVERIFY(writer.waitForFinished());
    }
#endif

    void fileWithoutReadPermissionRefused()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("locked.hex");
        QFile::copy(dataFile("small.hex"), path);
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        if (QFile(path).open(QIODevice::ReadOnly))
            QSKIP("this user reads files without read permission (root)");
        HexLoader loader(signedImage(), SignedLength);
        QVERIFY(!loader.loadFile(path));
        QCOMPARE(loader.errorString(), "Datei kann nicht geoeffnet werden: " + path + " (Permission denied)");
    }

    // A cut download looks the same: accepted, but warned about.
    void endOfFileRecordMissingIsWarned()
    {
        HexLoader loader(emptyFirmwareImage(), 0);
        QVERIFY(loader.hasEndOfFileRecord());
        QVERIFY(loader.loadText(signedRange(0x100)));
        QVERIFY(!loader.hasEndOfFileRecord());
        QVERIFY(loader.warningText().contains(":00000001FF fehlt"));
        QCOMPARE(loader.warnings().size(), 1);
        QCOMPARE(loader.warnings().first().code, "no_end_of_file");

        // A refused load keeps what the accepted one was.
        QVERIFY(!loader.loadText(lines({linear(0), ":00"})));
        QVERIFY(!loader.hasEndOfFileRecord());

        QVERIFY(loader.loadText(signedRange(0x100) + EndOfFile));
        QVERIFY(loader.hasEndOfFileRecord());
        QCOMPARE(loader.warningText(), QString());
    }

    // Each case is small.hex with one thing added; the image stays as the
    // rules say, and nothing else is warned about.
    void passedOverOrOverwrittenIsWarned_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("address");
        QTest::addColumn<int>("bytes");
        QTest::addColumn<int>("line");
        QTest::addColumn<qint32>("length");
        QTest::addColumn<Cells>("cells"); // where the image differs from small.hex's

        const QByteArray small = readData("small.hex");
        // What make.sh appends: at 0x100 in joined.hex, its first 16 bytes at 0x30 in patched.hex.
        const QByteArray tail = QByteArray::fromHex("8C21FF72EDD718D94E139513DC1B63FC9306F6BF9CE506E06DB00A059FF27587"
                                                    "8E34B3BCB32BE202C0A1518C8023B9EC6D6F3D640E9C23EC170750033F018536");
        QTest::newRow("above 64 KiB")
            << readData("above64k.hex") << "data_above_64k"
            << "14 Byte ueber 64 KiB uebergangen, ab Adresse 0x300000 (erweiterte Adresse 0x0030, Zeile 19)"
            << qint64(0x300000) << 14 << 19 << 255 << Cells{};
        QTest::newRow("after end-of-file")
            << readData("joined.hex") << "data_after_end_of_file"
            << "64 Byte nach dem Endesatz (Zeile 18) trotzdem geladen, ab Zeile 20: zwei Dateien aneinandergehaengt?"
            << qint64(0x100) << 64 << 20 << 0x13F << Cells{{0x100, tail}};
        QTest::newRow("overwritten")
            << readData("patched.hex") << "data_overwritten"
            << "16 Byte von einem spaeteren Satz mit anderem Wert ueberschrieben, zuerst Adresse 0x0030 (Zeile 19)"
            << qint64(0x30) << 16 << 19 << 255 << Cells{{0x30, tail.left(16)}};
        QTest::newRow("above 64 KiB by segment")
            << QByteArray(small).replace(EndOfFile, lines({segment(0x1000), block(0x100, 3), EndOfFile}))
            << "data_above_64k"
            << "3 Byte ueber 64 KiB uebergangen, ab Adresse 0x10100 (Segmentadresse 0x1000, Zeile 19)"
            << qint64(0x10100) << 3 << 19 << 255 << Cells{};
        QTest::newRow("before type-04")
            << lines({block(0x100)}) + small << "data_before_type_04"
            << "16 Byte vor dem ersten Satz :020000040000FA uebergangen, ab Adresse 0x0100 (Zeile 1)"
            << qint64(0x100) << 16 << 1 << 255 << Cells{};
    }

    void passedOverOrOverwrittenIsWarned()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QFETCH(qint64, address);
        QFETCH(int, bytes);
        QFETCH(int, line);
        QFETCH(qint32, length);
        QFETCH(Cells, cells);

        HexLoader small(emptyFirmwareImage(), 0);
        QVERIFY(small.loadFile(dataFile("small.hex")));
        QByteArray expected = lowBytes(small.image(), 0, FirmwareCellCount);
        for (auto it = cells.cbegin(); it != cells.cend(); ++it)
            expected.replace(it.key(), it.value().size(), it.value());

        HexLoader loader(emptyFirmwareImage(), 0);
        QVERIFY2(loader.loadText(text), qPrintable(loader.errorString()));
        QCOMPARE(loader.imageLength(), length);
        QVERIFY(lowBytes(loader.image(), 0, FirmwareCellCount) == expected);
        QCOMPARE(loader.warnings().size(), 1);
        const HexLoader::Warning warning = loader.warnings().first();
        QCOMPARE(warning.code, code);
        QCOMPARE(warning.text, message);
        QCOMPARE(warning.address, address);
        QCOMPARE(warning.bytes, bytes);
        QCOMPARE(warning.line, line);
        QCOMPARE(loader.warningText(), message);
    }

    void acceptedFileIsMeasured()
    {
        QFile file(dataFile("small.hex"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        HexLoader loader(emptyFirmwareImage(), 0);
        QVERIFY(loader.loadFile(file.fileName()));
        QCOMPARE(loader.fileSize(), bytes.size());
        QCOMPARE(loader.fileSha256(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
        QVERIFY(!loader.loadFile(dataFile("segmented.hex")));
        QCOMPARE(loader.fileSize(), bytes.size());
    }

    // Files written by srecord's srec_cat (see data/hex/make.sh); srec_cat
    // reading the same file tells what the image must hold.
    void realFiles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint32>("length"); // -2: refused

        QTest::newRow("full") << "full.hex" << 0xFBFF;
        QTest::newRow("small") << "small.hex" << 255;
        QTest::newRow("lower case, CR LF") << "lower.hex" << 255;
        QTest::newRow("255-byte records, region above 64 KiB") << "wide.hex" << 0xBFF;
        QTest::newRow("segmented only") << "segmented.hex" << -2;
    }

    void realFiles()
    {
        QFETCH(QString, name);
        QFETCH(qint32, length);

        HexLoader loader(emptyFirmwareImage(), 0);
        const bool accepted = loader.loadFile(dataFile(name));
        QVERIFY2(accepted == (length != -2), qPrintable(loader.errorString()));
        if (!accepted) {
            verifyUnchanged(loader, emptyFirmwareImage(), 0);
            return;
        }
        QCOMPARE(loader.imageLength(), length);

        const QString srecCat = QStandardPaths::findExecutable("srec_cat");
        if (srecCat.isEmpty())
            QSKIP("srec_cat (Debian package srecord) is not installed; image not compared");
        const QString cells = QString::number(FirmwareCellCount);
        QProcess process;
        process.start(srecCat, {dataFile(name), "-intel", "-crop", "0", cells, "-fill", "0xFF", "0", cells,
                                "-o", "-", "-binary"});
        QVERIFY(process.waitForFinished(int(SrecCatTimeout.count())));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray expected = process.readAllStandardOutput();
        QCOMPARE(int(expected.size()), FirmwareCellCount);
        const QByteArray loaded = lowBytes(loader.image(), 0, FirmwareCellCount);
        for (int i = 0; i < FirmwareCellCount; ++i) {
            if (loaded[i] != expected[i])
                QFAIL(qPrintable(QString("cell 0x%1 differs").arg(i, 4, 16, QLatin1Char('0'))));
        }
    }
};

QTEST_GUILESS_MAIN(TestHexLoader)
#include "tst_hexloader.moc"
