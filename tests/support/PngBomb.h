#pragma once

// PNG files, honest and lying about themselves (as someone who can write the icon cache
// might make them).

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QtEndian>

#include <zlib.h>

namespace velmor::test {

// `image` as Qt writes it; quality 100 stores the rows uncompressed.
inline QByteArray pngOf(const QImage& image, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", quality);
    return bytes;
}

inline QByteArray pngChunk(const QByteArray& type, const QByteArray& data)
{
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(data.size()), chunk.data());
    const QByteArray body = type + data;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))), crc.data());
    return chunk + body + crc;
}

// A PNG whose header says `side` × `side` RGBA and whose pixel data inflates to about
// `inflatedMb` megabytes of zeros: a few kilobytes on disk per gigabyte unpacked.
inline QByteArray pngBomb(int side, qint64 inflatedMb)
{
    z_stream stream{};
    deflateInit(&stream, 9);
    QByteArray zeros(1 << 20, '\0');
    // After a full flush the compressor starts afresh: each megabyte gives the same bytes.
    const auto megabyte = [&] {
        QByteArray out;
        stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
        stream.avail_in = uInt(zeros.size());
        do {
            char buffer[16384];
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, Z_FULL_FLUSH);
            out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
        return out;
    };
    QByteArray data = megabyte();
    data += megabyte().repeated(qsizetype(inflatedMb - 1));
    deflateEnd(&stream);
    // The last block (stored, empty) and the checksum of that many zeros.
    data += QByteArray("\x01\x00\x00\xff\xff", 5);
    QByteArray adler(4, '\0');
    qToBigEndian<quint32>(quint32(((inflatedMb << 20) % 65521) << 16 | 1), adler.data());
    data += adler;

    QByteArray header(13, '\0');
    qToBigEndian<quint32>(quint32(side), header.data());
    qToBigEndian<quint32>(quint32(side), header.data() + 4);
    header[8] = 8; // bits per sample
    header[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", data)
        + pngChunk("IEND", {});
}

// zlib's stream of `bytes`, as PNG chunks hold compressed data.
inline QByteArray zlibOf(const QByteArray& bytes) { return qCompress(bytes, 9).mid(4); }

// `png` with `chunks` put in after its header chunk.
inline QByteArray withChunks(const QByteArray& png, const QByteArray& chunks)
{
    constexpr qsizetype afterHeader = 8 + 12 + 13;
    return png.left(afterHeader) + chunks + png.mid(afterHeader);
}

// `png` with six zTXt chunks, an iTXt and an iCCP beside its pixels, each unpacking to
// 7.9 MB (as much as a PNG reader takes of one chunk): some 60 kB more on disk.
inline QByteArray withTextBombs(const QByteArray& png)
{
    const QByteArray unpacks = zlibOf(QByteArray(7'900'000, 'x'));
    const QByteArray text = pngChunk("zTXt", QByteArray("Comment\0\0", 9) + unpacks);
    const QByteArray international = pngChunk("iTXt", QByteArray("Comment\0\1\0\0\0", 12) + unpacks);
    const QByteArray profile = pngChunk("iCCP", QByteArray("icc\0\0", 5) + unpacks);
    return withChunks(png, text.repeated(6) + international + profile);
}

} // namespace velmor::test
