#pragma once

#include <QThreadPool>

// Keeps Qt's global thread pool (which converts the images of large windows) to one thread
// that never expires. Qt's pool threads hand work over inside the uninstrumented Qt libraries,
// which the thread checker would otherwise report as races between them.
inline void useOneQtPoolThread() {
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
}
