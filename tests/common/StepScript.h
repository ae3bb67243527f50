#pragma once

#include <QByteArray>
#include <QList>
#include <QTest>

// Tables of step scripts: each row lists steps for a rig, the steps its handler runs on the
// first event, and the packets expected at the end.
using Steps = QList<QByteArray>;
using Packets = QList<QByteArray>;

inline void addScriptColumns() {
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<Steps>("handler");
    QTest::addColumn<Packets>("expected");
}
