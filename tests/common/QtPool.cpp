#include "QtPool.h"

#include <QThreadPool>

void useOneQtPoolThread() {
    QThreadPool::globalInstance()->setMaxThreadCount(1);
    QThreadPool::globalInstance()->setExpiryTimeout(-1);
}
