#pragma once

// Once stopped, no serial port of this process sends another byte. A program told to end (by a
// signal) stops the output in its handler, so that nothing more reaches the device while the
// running exchange is wound down and the port is closed. Safe in a signal handler.
void StopSerialOutput();
bool SerialOutputStopped();
