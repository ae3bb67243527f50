#pragma once

#include <QByteArray>
#include <string>

// A pseudo-terminal pair for end-to-end tests: the port under test opens the slave (through
// a COMn link), the test plays the device on the master.
class PtyPair {
public:
    PtyPair();  // QFAIL-free: check ok()
    ~PtyPair(); // closes the master if still open
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0; }
    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }

    bool write(const QByteArray& bytes);
    // Reads what arrives on the master within `waitMs` until `count` bytes are there.
    QByteArray read(int count, int waitMs);
    void closeMaster();

private:
    int master_ = -1;
    std::string slavePath_;
};

// Publishes `path` as COM`number` in the ports folder (replacing an older entry).
bool linkComPort(int number, const std::string& path);
