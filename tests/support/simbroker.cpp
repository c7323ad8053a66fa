// Starts simulated instruments for tests that run under Wine, where a test
// can neither start the Linux simulator nor open a pseudo-terminal: each
// request file in the folder starts one zirbelwerk-sim and links a COM port
// of the Wine prefix to it; see SimInstrument for the other side. Ends, with
// all its simulators, when its standard input closes.
//
//   zw_simbroker FOLDER DOSDEVICES SIMULATOR
//
// FOLDER/<id>.request   from the test: the COM number wanted (0: the lowest
//                       free), then one simulator argument a line; each is
//                       taken once and left in place
// FOLDER/<id>.port      from here: "COMn", or empty when it did not start
// FOLDER/<id>.stop      from the test: stop it (SIGTERM, so it reports)
// FOLDER/<id>.ended     from here: its exit code, once it has ended
// FOLDER/<id>.memory, FOLDER/<id>.report  the simulator's own files
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QMap>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QSocketNotifier>
#include <QTextStream>

#include <chrono>
#include <memory>

#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds SimStartTimeout {5000};
constexpr int HighestCom = 255;

class Broker : public QObject
{
public:
    Broker(const QString &folder, const QString &dosDevices, const QString &simulator)
        : folder(folder), dosDevices(dosDevices), simulator(simulator)
    {
        watcher.addPath(folder);
        connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &Broker::scan);
        scan();
    }

    ~Broker() override
    {
        for (const auto &sim : std::as_const(sims)) {
            sim.process->disconnect();
            sim.process->terminate();
            sim.process->waitForFinished(2000);
            QFile::remove(linkOf(sim.com));
        }
    }

private:
    struct Sim
    {
        std::shared_ptr<QProcess> process;
        int com = 0;
    };

    QString file(const QString &id, const char *suffix) const { return folder + QLatin1Char('/') + id + QLatin1String(suffix); }
    QString linkOf(int com) const { return dosDevices + QStringLiteral("/com%1").arg(com); }

    static void put(const QString &path, const QByteArray &content)
    {
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly)) {
            out.write(content);
            out.commit();
        }
    }

    void scan()
    {
        const QDir dir(folder);
        // Requests stay where they are: removing one while its writer still
        // renames it makes Wine report the rename as failed.
        for (const QString &name : dir.entryList({QStringLiteral("*.request")}, QDir::Files)) {
            const QString id = name.chopped(8);
            QFile request(dir.filePath(name));
            if (taken.contains(id) || !request.open(QIODevice::ReadOnly))
                continue;
            taken.insert(id);
            QStringList lines = QString::fromUtf8(request.readAll()).split(QLatin1Char('\n'));
            const int wanted = lines.isEmpty() ? 0 : lines.takeFirst().toInt();
            lines.removeAll(QString());
            start(id, wanted, lines);
        }
        for (const QString &name : dir.entryList({QStringLiteral("*.stop")}, QDir::Files)) {
            const QString id = name.chopped(5);
            if (stopped.contains(id))
                continue;
            stopped.insert(id);
            if (sims.contains(id))
                sims[id].process->terminate();
            else if (!QFile::exists(file(id, ".ended")))
                put(file(id, ".ended"), "-1\n");
        }
    }

    int freeCom(int wanted) const
    {
        auto taken = [this](int com) { return QFileInfo(linkOf(com)).isSymLink(); };
        if (wanted > 0)
            return wanted <= HighestCom && !taken(wanted) ? wanted : 0;
        for (int com = 1; com <= HighestCom; ++com)
            if (!taken(com))
                return com;
        return 0;
    }

    void start(const QString &id, int wanted, const QStringList &arguments)
    {
        const int com = freeCom(wanted);
        auto process = std::make_shared<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(simulator, arguments + QStringList {QStringLiteral("--memory-out"), file(id, ".memory"),
                                                           QStringLiteral("--report"), file(id, ".report")});
        const bool named = com > 0 && process->waitForReadyRead(int(SimStartTimeout.count())) && process->canReadLine();
        const QString device = named ? QString::fromLocal8Bit(process->readLine()).trimmed() : QString();
        if (device.isEmpty() || !QFile::link(device, linkOf(com))) {
            QTextStream(stderr) << "zw_simbroker: " << id << ": no simulator on COM" << com << " ("
                                << (com == 0 ? QStringLiteral("no free port") : device.isEmpty()
                                        ? QStringLiteral("it named no device") : QStringLiteral("no link"))
                                << ")\n";
            process->kill();
            process->waitForFinished();
            put(file(id, ".port"), {});
            put(file(id, ".ended"), "-1\n");
            return;
        }
        connect(process.get(), &QProcess::finished, this, [this, id](int code, QProcess::ExitStatus status) {
            const Sim sim = sims.take(id);
            QFile::remove(linkOf(sim.com));
            put(file(id, ".ended"), QByteArray::number(status == QProcess::NormalExit ? code : -1) + '\n');
        });
        sims.insert(id, {process, com});
        put(file(id, ".port"), QStringLiteral("COM%1\n").arg(com).toLatin1());
    }

    QString folder;
    QString dosDevices;
    QString simulator;
    QFileSystemWatcher watcher;
    QMap<QString, Sim> sims;
    QSet<QString> taken;
    QSet<QString> stopped;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: zw_simbroker FOLDER DOSDEVICES SIMULATOR\n";
        return 2;
    }
    Broker broker(arguments.at(1), arguments.at(2), arguments.at(3));
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &application, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            QCoreApplication::quit();
    });
    return application.exec();
}
