#pragma once

#include <QMetaObject>
#include <QTimer>

// One tick of `timer` as the event loop delivers it: its timeout signal, so that the tick
// reaches the handler through the program's own connection.
inline void TickTimer(QTimer* timer) {
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}
