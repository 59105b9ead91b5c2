#include "platform/permissions/LinuxPermissions.h"

#include "platform/Paths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>

#include <algorithm>
#include <optional>
#include <unistd.h>

namespace velmor {

namespace {

QByteArray readSmallFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(4096);
}

std::optional<int> hexNumber(const QByteArray& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 16);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool openWithDesktop(const QUrl& url)
{
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

QString hex4(int value) { return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0')); }

} // namespace

QList<LinuxPermissions::UsbId> LinuxPermissions::knownDevices()
{
    return {{0x1532, 0x022B}, {0x1532, 0x0240}, {0x1532, 0x0244}, {0x0911, 0x0C1C}};
}

LinuxPermissions::LinuxPermissions() : LinuxPermissions(Options{}) {}

LinuxPermissions::LinuxPermissions(Options options) : options_(std::move(options))
{
    if (!options_.openUrl)
        options_.openUrl = openWithDesktop;
}

bool LinuxPermissions::isAccessibilityTrusted()
{
    return ::access(QFile::encodeName(options_.devRoot + QStringLiteral("/uinput")).constData(), W_OK) == 0;
}

bool LinuxPermissions::preflightInputMonitoring()
{
    const QStringList nodes = knownDeviceNodes();
    return std::all_of(nodes.begin(), nodes.end(),
                       [](const QString& node) { return ::access(QFile::encodeName(node).constData(), R_OK) == 0; });
}

bool LinuxPermissions::isKnown(int vendor, int product) const
{
    return std::any_of(options_.devices.begin(), options_.devices.end(),
                       [&](const UsbId& id) { return id.vendor == vendor && id.product == product; });
}

QStringList LinuxPermissions::knownDeviceNodes() const
{
    QStringList nodes;
    // hidraw: the HID_ID line of the device's uevent reads "bus:vendor:product" in hex.
    const QDir hidraw(options_.sysRoot + QStringLiteral("/class/hidraw"));
    for (const QString& name : hidraw.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        for (const QByteArray& line : readSmallFile(hidraw.filePath(name + QStringLiteral("/device/uevent"))).split('\n')) {
            if (!line.startsWith("HID_ID="))
                continue;
            const QList<QByteArray> parts = line.mid(7).split(':');
            const auto vendor = parts.size() == 3 ? hexNumber(parts[1]) : std::nullopt;
            const auto product = parts.size() == 3 ? hexNumber(parts[2]) : std::nullopt;
            if (vendor && product && isKnown(*vendor, *product))
                nodes << options_.devRoot + '/' + name;
        }
    }
    // evdev: the input device's id folder holds vendor and product in hex.
    const QDir input(options_.sysRoot + QStringLiteral("/class/input"));
    for (const QString& name : input.entryList({QStringLiteral("event*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const auto vendor = hexNumber(readSmallFile(input.filePath(name + QStringLiteral("/device/id/vendor"))));
        const auto product = hexNumber(readSmallFile(input.filePath(name + QStringLiteral("/device/id/product"))));
        if (vendor && product && isKnown(*vendor, *product))
            nodes << options_.devRoot + QStringLiteral("/input/") + name;
    }
    nodes.sort();
    return nodes;
}

bool LinuxPermissions::openSettings(const QString& anchor)
{
    const QString folder = options_.helpFolder.isEmpty() ? paths::applicationSupport() + QStringLiteral("/Help")
                                                         : options_.helpFolder;
    const QString path = folder + QStringLiteral("/Permissions.html");
    QSaveFile file(path);
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly))
        return false;
    file.write(helpPage(options_.devices).toUtf8());
    if (!file.commit())
        return false;
    QUrl url = QUrl::fromLocalFile(path);
    url.setFragment(anchor);
    if (!url.isValid())
        return false;
    return options_.openUrl(url);
}

QString LinuxPermissions::helpPage(const QList<UsbId>& devices)
{
    QString deviceRules;
    for (const UsbId& id : devices) {
        for (const char* subsystem : {"hidraw", "input"})
            deviceRules += QStringLiteral("SUBSYSTEM==\"%1\", ATTRS{idVendor}==\"%2\", ATTRS{idProduct}==\"%3\", "
                                          "TAG+=\"uaccess\"\n")
                               .arg(QLatin1String(subsystem), hex4(id.vendor), hex4(id.product));
    }
    return QStringLiteral(R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>Velmor permissions</title></head>
<body>
<h1>Velmor permissions on Linux</h1>
<p>Velmor needs two grants. On Linux both come from device permissions: a udev rule that gives the
logged-in user access, or membership in a group that owns the devices.</p>

<h2 id="Privacy_Accessibility">Accessibility (send shortcuts)</h2>
<p>Velmor types shortcuts through a virtual keyboard, which needs write access to
<code>/dev/uinput</code>. Load the module at every start:</p>
<pre>echo uinput | sudo tee /etc/modules-load.d/uinput.conf
sudo modprobe uinput</pre>

<h2 id="Privacy_ListenEvent">Input Monitoring (read the devices)</h2>
<p>Velmor reads its keypads and the dictation microphone through their <code>hidraw</code> and
<code>input</code> device nodes.</p>

<h2 id="rule">The udev rule</h2>
<p>Save these lines as <code>/etc/udev/rules.d/70-velmor.rules</code>:</p>
<pre>KERNEL=="uinput", SUBSYSTEM=="misc", TAG+="uaccess", OPTIONS+="static_node=uinput"
%1</pre>
<p>Then reload the rules and plug the devices in again:</p>
<pre>sudo udevadm control --reload-rules
sudo udevadm trigger</pre>

<h2 id="group">Or: group membership</h2>
<p>Instead of <code>TAG+="uaccess"</code>, the rule may end in <code>GROUP="input", MODE="0660"</code>;
then add yourself to that group and log out and in again:</p>
<pre>sudo usermod -aG input "$USER"</pre>

<p>Velmor checks again when you ask for the permissions or come back to it.</p>
</body></html>
)")
        .arg(deviceRules.trimmed());
}

} // namespace velmor
