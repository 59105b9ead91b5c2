#include "model/IconPixels.h"

#include <QtEndian>

#include <cstring>

namespace velmor::iconpixels {

namespace {
const QByteArray magic("VIP1");
constexpr qsizetype headerBytes = 12;
} // namespace

QByteArray encode(const QImage& source)
{
    const QImage image = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QByteArray bytes = magic;
    bytes.resize(headerBytes);
    qToLittleEndian<quint32>(static_cast<quint32>(image.width()), bytes.data() + 4);
    qToLittleEndian<quint32>(static_cast<quint32>(image.height()), bytes.data() + 8);
    const qsizetype row = qsizetype(image.width()) * 4;
    for (int y = 0; y < image.height(); ++y)
        bytes.append(reinterpret_cast<const char*>(image.constScanLine(y)), row);
    return bytes;
}

std::optional<QImage> decode(const QByteArray& bytes, int maxSide)
{
    if (bytes.size() < headerBytes || !bytes.startsWith(magic))
        return std::nullopt;
    const quint32 width = qFromLittleEndian<quint32>(bytes.constData() + 4);
    const quint32 height = qFromLittleEndian<quint32>(bytes.constData() + 8);
    if (width < 1 || height < 1 || width > quint32(maxSide) || height > quint32(maxSide))
        return std::nullopt;
    const qsizetype row = qsizetype(width) * 4;
    if (bytes.size() != headerBytes + row * qsizetype(height))
        return std::nullopt;
    QImage image(int(width), int(height), QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    for (int y = 0; y < int(height); ++y)
        std::memcpy(image.scanLine(y), bytes.constData() + headerBytes + row * y, size_t(row));
    return image;
}

qint64 maxBytes(int maxSide) { return headerBytes + qint64(maxSide) * maxSide * 4; }

} // namespace velmor::iconpixels
