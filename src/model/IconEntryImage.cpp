#include "model/IconEntryImage.h"

#include <QBuffer>
#include <QImageReader>
#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace velmor::iconentryimage {

namespace {

const QByteArray pngMagic("\x89PNG\r\n\x1a\n", 8);
constexpr qsizetype chunkOverhead = 12; // length, type, CRC

struct Header {
    quint32 width = 0;
    quint32 height = 0;
    int bytesPerPixel = 0;
};

// The filtered rows' size: one filter byte, then the pixels.
qint64 rawBytes(quint32 width, quint32 height, int bytesPerPixel)
{
    return qint64(height) * (1 + qint64(width) * bytesPerPixel);
}

std::optional<Header> header(const QByteArray& bytes, int side)
{
    // The first chunk is IHDR: width, height, depth, colour type, compression, filter, interlace.
    if (bytes.size() < pngMagic.size() + chunkOverhead + 13 || !bytes.startsWith(pngMagic)
        || qFromBigEndian<quint32>(bytes.constData() + 8) != 13 || bytes.mid(12, 4) != "IHDR")
        return std::nullopt;
    const char* ihdr = bytes.constData() + 16;
    const Header found{qFromBigEndian<quint32>(ihdr), qFromBigEndian<quint32>(ihdr + 4),
                       ihdr[9] == 6 ? 4 : ihdr[9] == 2 ? 3 : 0};
    if (found.width < 1 || found.height < 1 || std::max(found.width, found.height) != quint32(side)
        || ihdr[8] != 8 || found.bytesPerPixel == 0 || ihdr[10] != 0 || ihdr[11] != 0 || ihdr[12] != 0)
        return std::nullopt;
    return found;
}

// The IDAT chunks' data, joined; none when a chunk runs past the end, IEND is missing
// or anything follows it, or the file holds a chunk the cache does not write (the
// writer puts only pHYs before the pixels): text, colour profiles and anything else,
// compressed or not, never reach the image reader.
std::optional<QByteArray> pixelData(const QByteArray& bytes)
{
    QByteArray joined;
    bool physical = false;
    qsizetype at = pngMagic.size() + chunkOverhead + 13; // after IHDR
    while (at + chunkOverhead <= bytes.size()) {
        const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
        if (length > quint32(bytes.size() - at - chunkOverhead))
            return std::nullopt;
        const QByteArrayView type(bytes.constData() + at + 4, 4);
        const qsizetype next = at + chunkOverhead + length;
        if (type == "IEND")
            return length == 0 && next == bytes.size() && !joined.isEmpty() ? std::optional(joined) : std::nullopt;
        if (type == "IDAT") {
            joined.append(bytes.constData() + at + 8, length);
        } else if (type == "pHYs" && length == 9 && !physical && joined.isEmpty()) {
            physical = true;
        } else {
            return std::nullopt;
        }
        at = next;
    }
    return std::nullopt;
}

// Inflates at most `expected` + 1 bytes: true when the stream ends at exactly `expected`
// and nothing follows it.
bool inflatesTo(const QByteArray& compressed, qint64 expected)
{
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return false;
    QByteArray out(qsizetype(expected + 1), Qt::Uninitialized);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.constData()));
    stream.avail_in = uInt(compressed.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = uInt(out.size());
    const int status = inflate(&stream, Z_FINISH);
    const bool exact = status == Z_STREAM_END && qint64(stream.total_out) == expected && stream.avail_in == 0;
    inflateEnd(&stream);
    return exact;
}

} // namespace

qint64 maxFileBytes(int side)
{
    // Rows stored uncompressed at worst, plus the zlib and chunk framing around them and
    // room for the small chunks an encoder adds.
    const qint64 raw = rawBytes(quint32(side), quint32(side), 4);
    return raw + raw / 256 + 4096;
}

std::optional<QImage> decode(const QByteArray& bytes, int side)
{
    if (side < 1 || bytes.size() > maxFileBytes(side))
        return std::nullopt;
    const std::optional<Header> found = header(bytes, side);
    if (!found)
        return std::nullopt;
    const std::optional<QByteArray> compressed = pixelData(bytes);
    if (!compressed || !inflatesTo(*compressed, rawBytes(found->width, found->height, found->bytesPerPixel)))
        return std::nullopt;
    QBuffer buffer;
    buffer.setData(bytes);
    QImageReader reader(&buffer, "PNG");
    const QImage image = reader.read();
    if (image.size() != QSize(int(found->width), int(found->height)))
        return std::nullopt;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace velmor::iconentryimage
