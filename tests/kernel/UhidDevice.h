#pragma once

#include "KernelNodes.h"

#include <QByteArray>
#include <QString>

#include <linux/uhid.h>

#include <optional>

namespace velmor::test::kernel {

// A virtual HID device made through /dev/uhid: the kernel treats it as a real
// device (hidraw node, evdev nodes through hid-generic) while the test plays
// the device's side: it sends input reports and answers the kernel's requests.
// Destroying the object unplugs the device.
class UhidDevice {
public:
    struct Options {
        QByteArray descriptor;
        quint32 vendor = 0x1532;
        quint32 product = 0x0244;
        QString name = QStringLiteral("Velmor test device");
        quint16 bus = 0x03; // USB
    };
    // A set-report request the kernel sent to the device (a feature or output
    // report written to the hidraw node).
    struct SetReport {
        quint8 reportNumber = 0;
        quint8 reportType = 0; // UHID_FEATURE_REPORT, UHID_OUTPUT_REPORT or UHID_INPUT_REPORT
        QByteArray data;
    };

    // Creates the device and waits until the kernel has made its nodes; throws
    // std::runtime_error when either fails.
    explicit UhidDevice(const Options& options);
    ~UhidDevice();
    UhidDevice(const UhidDevice&) = delete;
    UhidDevice& operator=(const UhidDevice&) = delete;

    const QString& uniq() const { return m_uniq; }
    const HidNodes& nodes() const { return m_nodes; }

    // Hands one input report to the kernel, as if the device had sent it.
    void sendInput(const QByteArray& report);

    // Waits for the next set-report request, skipping other device events
    // (start, open, close, output), and answers it with `error` (0 = success).
    // Nothing when no request arrives in time.
    std::optional<SetReport> answerSetReport(quint16 error = 0, std::chrono::milliseconds timeout = kernelTimeout);

    // Unplugs the device now; the object stays but no longer stands for a device.
    void destroy();

private:
    void write(const uhid_event& event);

    FileDescriptor m_uhid;
    QString m_uniq;
    HidNodes m_nodes;
};

} // namespace velmor::test::kernel
