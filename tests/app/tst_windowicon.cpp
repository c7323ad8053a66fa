#include "app/WindowIcon.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

// The window's icon from the working directory, the installed icon theme or
// the built-in copy, whichever comes first.
class WindowIconTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void builtInCopyInAnEmptyFolder();
    void installedIconElsewhere();
    void workingDirectoryFileComesFirst();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_system;
    QString m_startFolder;
};

void WindowIconTest::init()
{
    m_startFolder = QDir::currentPath();
    // Data folders without the icon, whatever is installed on this machine.
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(m_system.path()));
}

void WindowIconTest::cleanup()
{
    QDir::setCurrent(m_startFolder);
    QFile::remove(m_system.filePath(QStringLiteral("icons")));
}

void WindowIconTest::builtInCopyInAnEmptyFolder()
{
    QTemporaryDir empty;
    QVERIFY(QDir::setCurrent(empty.path()));
    const QIcon icon = windowIcon();
    QCOMPARE(icon.availableSizes(), QList<QSize>{QSize(32, 32)});
    QVERIFY(!icon.pixmap(32).isNull());
}

void WindowIconTest::installedIconElsewhere()
{
    // share/icons/hicolor as the package installs it.
    QVERIFY(QFile::link(QStringLiteral(ZW_SOURCE_DIR "/app/resources"), m_system.filePath(QStringLiteral("icons"))));
    QTemporaryDir empty;
    QVERIFY(QDir::setCurrent(empty.path()));
    const QIcon icon = windowIcon();
    QCOMPARE(icon.availableSizes().size(), 6);
    QCOMPARE(icon.pixmap(256).size(), QSize(256, 256));
}

void WindowIconTest::workingDirectoryFileComesFirst()
{
    QVERIFY(QFile::link(QStringLiteral(ZW_SOURCE_DIR "/app/resources"), m_system.filePath(QStringLiteral("icons"))));
    QTemporaryDir folder;
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("images")));
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    QVERIFY(red.save(folder.filePath(QStringLiteral("images/fwloader.ico")), "ICO"));
    QVERIFY(QDir::setCurrent(folder.path()));
    QCOMPARE(windowIcon().pixmap(32).toImage().pixelColor(16, 16), QColor(Qt::red));
}

QTEST_MAIN(WindowIconTest)
#include "tst_windowicon.moc"
