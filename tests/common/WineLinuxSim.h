#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The Linux simulator zuvex-sim, run by a Windows test under Wine as a process of its own and
// published as COM<n> of the Wine prefix (a dosdevices/comN link to its pseudo-terminal). Wine
// starts a Linux program but gives no handle that could end it, so the simulator is started
// through sh, which notes its process id, and ended with kill: as SIGTERM ends it on Linux.
class TWineLinuxSim {
public:
    // `simulator`: the Linux path of zuvex-sim; `extra`: further options (faults).
    TWineLinuxSim(const QString& simulator, int comNumber, const QStringList& extra = {});
    ~TWineLinuxSim(); // ends the simulator if it still runs
    TWineLinuxSim(const TWineLinuxSim&) = delete;
    TWineLinuxSim& operator=(const TWineLinuxSim&) = delete;

    // The simulator has published its port (it says so on its standard output).
    bool Published() const;
    // Ends the simulator (SIGTERM): it closes its side of the line and removes the entry.
    void Kill();
    bool Ended() const;

    // The Wine prefix the tests run in (WINEPREFIX); empty outside Wine.
    static QString WinePrefix();

private:
    QString windowsPath(const QString& unixPath) const; // through Wine's drive Z:
    QByteArray scratchFile(const QString& name) const;

    QTemporaryDir scratch_; // state and process id files
    QString unixScratch_;
    QString pid_;
};
