#include "FileDialogAnswer.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>

FileDialogAnswer::FileDialogAnswer(const QString &fileName)
    : fileName(fileName)
{
    connect(&poller, &QTimer::timeout, this, &FileDialogAnswer::poll);
    poller.start(20);
}

void FileDialogAnswer::poll()
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible())
        return;
    poller.stop();
    wasAnswered = true;
    caption = dialog->windowTitle();
    nameFilters = dialog->nameFilters();
    directory = dialog->directory().absolutePath();
    auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
    typedName = edit ? edit->text() : QString();
    if (fileName.isEmpty() || !edit) {
        QTest::keyClick(dialog, Qt::Key_Escape);
        return;
    }
    edit->setText(fileName);
    QTest::keyClick(edit, Qt::Key_Return);
}
