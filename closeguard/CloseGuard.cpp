#include "closeguard/CloseGuard.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>

CloseGuard::CloseGuard(std::function<bool()> refuseWhile, std::function<void()> onRefused, QObject *parent)
    : QObject(parent), refuseWhile(std::move(refuseWhile)), onRefused(std::move(onRefused))
{
#if QT_CONFIG(sessionmanager)
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, &CloseGuard::holdSession);
#endif
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

void CloseGuard::holdSession(QSessionManager &manager)
{
#if QT_CONFIG(sessionmanager)
    if (refuseWhile() && manager.allowsInteraction()) {
        manager.cancel();
        onRefused();
    }
#else
    Q_UNUSED(manager);
#endif
}
