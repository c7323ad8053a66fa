#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

// Answers the next modal file dialog the way a user would: types the file
// name and presses Return, or presses Escape when no name is given.
class FileDialogAnswer : public QObject
{
    Q_OBJECT

public:
    explicit FileDialogAnswer(const QString &fileName);

    bool answered() const { return wasAnswered; }
    QString caption;
    QStringList nameFilters;
    QString directory;
    QString typedName;

private:
    void poll();

    QString fileName;
    QTimer poller;
    bool wasAnswered = false;
};
