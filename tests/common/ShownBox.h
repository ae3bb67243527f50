#pragma once

#include "ModalDriver.h"

#include <QMetaType>
#include <QTest>

// What a modal dialog showed: whether it came, its caption and lines, in one QCOMPARE.
struct ShownBox {
    bool seen = false;
    QString caption;
    QStringList lines;

    ShownBox() = default;
    ShownBox(QString caption, QStringList lines)
        : seen(true), caption(std::move(caption)), lines(std::move(lines)) {}
    bool operator==(const ShownBox&) const = default;
};

inline char* toString(const ShownBox& box) {
    return QTest::toString(box.seen ? "\"" + box.caption + "\": " + box.lines.join(" | ")
                                    : QStringLiteral("(not shown)"));
}

// How long a dialog that follows the free-port scan (20 pauses of 150 ms) may take to come.
constexpr int ScanTimeoutMs = 10000;

// What `answer` has seen, waiting up to `timeoutMs` for it to be answered.
inline ShownBox shown(const ModalAnswer& answer, int timeoutMs = 0) {
    if (timeoutMs > 0)
        (void)answer.waitSeen(timeoutMs);
    return answer.seen() ? ShownBox(answer.caption, answer.lines) : ShownBox();
}
Q_DECLARE_METATYPE(ShownBox)
