#pragma once

#include <QString>
#include <memory>

// The telephone system at one given port (--port COMn or --device PATH): while this lives,
// the program's COM port map holds that port alone, so that its device search and its
// messages know that port only. The program's settings are not touched; the tool never
// writes them.
class TPinnedPort {
public:
    // COM<comNumber> as the user's COM map has it; `device` empty.
    // Or `device` as COM1 when comNumber is 0.
    TPinnedPort(int comNumber, const QString& device);
    ~TPinnedPort();
    TPinnedPort(const TPinnedPort&) = delete;
    TPinnedPort& operator=(const TPinnedPort&) = delete;

    // The pinned COM number, or 0 when the port has no device or does not open (the cause
    // reported on stderr, the device named by the path it was given as).
    int ComNumber() const { return comNumber_; }

private:
    struct THold; // what the platform keeps while the port is pinned
    std::unique_ptr<THold> hold_;
    int comNumber_ = 0;
};

// A device path as this platform writes it, for the help's examples.
extern const char* const DeviceExample;
