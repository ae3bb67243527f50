#pragma once

#include <QString>
#include <QStringList>
#include <variant>

enum class TCommand { Find, Read, Write, Show, Diff, Print, Reset, Firmware };

// One call of zuvex910k, checked against the command's synopsis.
struct TCliRequest {
    TCommand command = TCommand::Find;
    int comPort = 0;   // --port COMn; 0: search as the window does (or --device)
    QString device;    // --device PATH
    QStringList files; // the command's files, in the order given
    QString output;    // print: -o FILE.pdf
    bool yes = false;  // --yes
    bool json = false; // show --json
};

struct TCliHelp {
    QString text; // for stdout
};
struct TCliUsageError {
    QString text; // for stderr
};
using TCliParsed = std::variant<TCliRequest, TCliHelp, TCliUsageError>;

// Reads the arguments after the program's name.
TCliParsed ParseCommandLine(const QStringList& arguments);
