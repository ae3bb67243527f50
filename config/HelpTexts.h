#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// One help topic: a bold heading, then its lines (an empty string is an empty line).
struct THelpTopic {
    QString heading;
    QStringList lines;
};

constexpr int FirstHelpTopic = 1;
constexpr int LastHelpTopic = 24;

// The text of topic 1..24 (topic 8 shows topic 1); nothing for any other number.
std::optional<THelpTopic> helpTopic(int topic);
