#pragma once

#include <gtest/gtest.h>

#include <QMetaObject>
#include <QTimer>

// One tick of `timer` as the event loop delivers it: its timeout signal, so that the tick
// reaches the handler through the program's own connection. The event loop ticks only a
// running timer: a tick of a stopped one fails the test and reaches nothing.
inline void TickTimer(QTimer* timer) {
    if (timer == nullptr || !timer->isActive()) {
        ADD_FAILURE() << "tick of a timer that is not running: "
                      << (timer != nullptr ? timer->objectName().toStdString() : "null");
        return;
    }
    QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection);
}
