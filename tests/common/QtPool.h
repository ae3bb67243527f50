#pragma once

#include <QThreadPool>

// Keeps Qt's global thread pool (it converts large windows' images) at one lasting thread: its
// threads hand work over inside uninstrumented Qt, which the thread checker reports as races.
inline void useOneQtPoolThread() {
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
}
