#include "platform/hid/linux/HidrawNode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace velmor::hid {

namespace {

// The KEY=value lines of a sysfs uevent file.
QHash<QByteArray, QByteArray> readUevent(const QString& folder)
{
    QHash<QByteArray, QByteArray> entries;
    QFile file(folder + QStringLiteral("/uevent"));
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            entries.insert(line.left(equals), line.mid(equals + 1));
    }
    return entries;
}

std::optional<QString> readTrimmed(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString text = QString::fromUtf8(file.readAll()).trimmed();
    return text.isEmpty() ? std::nullopt : std::optional(text);
}

// HID_ID is "bus:vendor:product" in hexadecimal.
bool parseHidId(const QByteArray& id, std::int64_t& vendor, std::int64_t& product)
{
    const QList<QByteArray> parts = id.split(':');
    if (parts.size() != 3)
        return false;
    bool vendorOk = false;
    bool productOk = false;
    vendor = parts[1].toLongLong(&vendorOk, 16);
    product = parts[2].toLongLong(&productOk, 16);
    return vendorOk && productOk;
}

// The product string of the USB device above the HID device, if it hangs off USB.
std::optional<QString> usbProduct(const QString& hidSyspath)
{
    QDir folder(hidSyspath);
    // HID device, USB interface, USB device: a few levels at most.
    for (int level = 0; level < 4 && folder.cdUp(); ++level) {
        if (QFile::exists(folder.filePath(QStringLiteral("idVendor"))))
            return readTrimmed(folder.filePath(QStringLiteral("product")));
    }
    return std::nullopt;
}

} // namespace

std::optional<HidrawNode> HidrawNode::fromSysfs(const QString& syspath, const QString& devnode)
{
    const QFileInfo parent(syspath + QStringLiteral("/device"));
    const QString hidSyspath = parent.canonicalFilePath();
    if (hidSyspath.isEmpty())
        return std::nullopt;
    const QHash<QByteArray, QByteArray> uevent = readUevent(hidSyspath);
    HidrawNode node;
    node.syspath = syspath;
    node.devnode = devnode;
    node.hidSyspath = hidSyspath;
    if (!parseHidId(uevent.value("HID_ID"), node.vendorId, node.productId))
        return std::nullopt;
    node.product = usbProduct(hidSyspath);
    if (!node.product) {
        const QString name = QString::fromUtf8(uevent.value("HID_NAME")).trimmed();
        if (!name.isEmpty())
            node.product = name;
    }
    return node;
}

QStringList HidrawNode::evdevNodes(const QString& devRoot) const
{
    QStringList nodes;
    const QDir inputs(hidSyspath + QStringLiteral("/input"));
    for (const QString& input : inputs.entryList({QStringLiteral("input*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QDir inputDir(inputs.filePath(input));
        for (const QString& event : inputDir.entryList({QStringLiteral("event*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
            QByteArray name = readUevent(inputDir.filePath(event)).value("DEVNAME");
            if (name.isEmpty())
                name = "input/" + event.toUtf8();
            nodes.append(devRoot + QLatin1Char('/') + QString::fromUtf8(name));
        }
    }
    return nodes;
}

QByteArray HidrawNode::sysfsReportDescriptor() const
{
    QFile file(hidSyspath + QStringLiteral("/report_descriptor"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace velmor::hid
