#pragma once
// A pseudo-terminal standing in for a serial device: the test holds the master side and
// points a COM<n> link in a temporary device folder at the slave side.
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <functional>

class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool IsOpen() const { return master_ >= 0; }
    QString SlavePath() const { return slave_; }
    // Writes all bytes to the master side (the device sending to the console).
    void Write(const QByteArray& bytes);
    // Reads what the console has written, until `count` bytes came or `ms` passed.
    QByteArray Read(int count, int ms = 5000);
    // The device vanishes (an unplugged adapter, a closed emulator).
    void Close();

private:
    int master_ = -1;
    int slaveFd_ = -1; // held open, so the master reads no hang-up before the console opens
    QString slave_;
};

// Points folder/COM<port> at target, replacing an older link (the folder is created).
bool LinkDevice(const QString& folder, int port, const QString& target);

// A device folder with COM<n> links.
class DeviceFolder {
public:
    QString Path() const { return dir_.path() + '/'; }
    // Points COM<port> at target, replacing an older link.
    void Link(int port, const QString& target);

private:
    QTemporaryDir dir_;
};

// Runs the event loop until the condition holds or `ms` passed; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, int ms = 5000);
// Runs the event loop for `ms`.
void Spin(int ms);
