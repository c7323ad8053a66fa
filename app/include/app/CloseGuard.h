#pragma once

#include <QObject>

#include <functional>

// Refuses close events of the watched window while a condition holds, and
// tells the user why. An event filter, so the window keeps Qt's own
// closeEvent.
class CloseGuard : public QObject
{
    Q_OBJECT

public:
    CloseGuard(std::function<bool()> refuseWhile, std::function<void()> onRefused, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::function<bool()> refuseWhile;
    std::function<void()> onRefused;
};
