#include "app/CloseGuard.h"

#include <QEvent>

CloseGuard::CloseGuard(std::function<bool()> refuseWhile, std::function<void()> onRefused, QObject *parent)
    : QObject(parent), refuseWhile(std::move(refuseWhile)), onRefused(std::move(onRefused))
{
}

bool CloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close && watched == parent() && refuseWhile()) {
        event->ignore();
        onRefused();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
