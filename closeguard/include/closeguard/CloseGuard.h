#pragma once

#include <QObject>

#include <functional>

class QSessionManager;

// Refuses close events of the watched window while a condition holds, and
// tells the user why. An event filter, so the window keeps Qt's own
// closeEvent. It also asks the session to wait: Windows then names the
// program when the user logs off or shuts down, instead of ending it.
class CloseGuard : public QObject
{
    Q_OBJECT

public:
    CloseGuard(std::function<bool()> refuseWhile, std::function<void()> onRefused, QObject *parent);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void holdSession(QSessionManager &manager);

    std::function<bool()> refuseWhile;
    std::function<void()> onRefused;
};
