#include "platform/JsonWriter.h"

#include <QLocale>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace velmor::json {

namespace {
constexpr char hexDigitsLower[] = "0123456789abcdef";
constexpr char hexDigitsUpper[] = "0123456789ABCDEF";
} // namespace

TextWriter::TextWriter(qsizetype expectedSize)
{
    // A little more than expected: a save usually adds a few members.
    grow(expectedSize + 64 * 1024);
}

void TextWriter::grow(qsizetype size)
{
    capacity_ = std::max(used_ + size, capacity_ + capacity_ / 2);
    text_.resize(capacity_);
    data_ = text_.data();
}

void TextWriter::append(const char* data, qsizetype size)
{
    std::memcpy(reserve(size), data, size);
    used_ += size;
}

void TextWriter::indent(qsizetype depth)
{
    std::memset(reserve(4 * depth), ' ', 4 * depth);
    used_ += 4 * depth;
}

void TextWriter::beginValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.isEmpty())
        return;
    Level& level = levels_.last();
    Q_ASSERT(level.isArray); // an object's value follows its key
    if (level.count++ > 0)
        append(",\n", 2);
    indent(levels_.size());
}

TextWriter& TextWriter::key(QLatin1StringView name)
{
    Q_ASSERT(!levels_.isEmpty() && !levels_.last().isArray && !afterKey_);
    Level& level = levels_.last();
    Q_ASSERT(level.count == 0 || level.lastKey < name);
    level.lastKey = name;
    if (level.count++ > 0)
        append(",\n", 2);
    indent(levels_.size());
    append('"');
    append(name.data(), name.size());
    append("\": ", 3);
    afterKey_ = true;
    return *this;
}

void TextWriter::open(char bracket, bool isArray)
{
    beginValue();
    append(bracket);
    append('\n');
    levels_.append(Level{isArray, 0, {}});
}

void TextWriter::close(char bracket)
{
    Q_ASSERT(!levels_.isEmpty() && !afterKey_);
    if (levels_.takeLast().count > 0)
        append('\n');
    indent(levels_.size());
    append(bracket);
}

void TextWriter::beginObject() { open('{', false); }
void TextWriter::endObject() { close('}'); }
void TextWriter::beginArray() { open('[', true); }
void TextWriter::endArray() { close(']'); }

void TextWriter::value(const QString& text)
{
    beginValue();
    append('"');
    appendEscaped(text);
    append('"');
}

void TextWriter::value(const QUuid& uuid)
{
    beginValue();
    char out[38];
    out[0] = '"';
    char* p = out + 1;
    const auto hex = [&p](quint64 bits, int digits) {
        for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4)
            *p++ = hexDigitsUpper[(bits >> shift) & 0xF];
    };
    hex(uuid.data1, 8);
    *p++ = '-';
    hex(uuid.data2, 4);
    *p++ = '-';
    hex(uuid.data3, 4);
    *p++ = '-';
    hex(static_cast<quint64>(uuid.data4[0]) << 8 | uuid.data4[1], 4);
    *p++ = '-';
    for (int i = 2; i < 8; ++i)
        hex(uuid.data4[i], 2);
    *p++ = '"';
    append(out, p - out);
}

void TextWriter::value(bool flag)
{
    beginValue();
    if (flag)
        append("true", 4);
    else
        append("false", 5);
}

void TextWriter::value(qint64 number)
{
    beginValue();
    char out[24];
    const auto result = std::to_chars(out, out + sizeof out, number);
    append(out, result.ptr - out);
}

void TextWriter::value(double number)
{
    beginValue();
    if (std::isfinite(number)) {
        const QByteArray text = QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
        append(text.constData(), text.size());
    } else
        append("null", 4);
}

// UTF-8 with the escapes of Qt's writer: quote, backslash and control
// characters escaped (\b \f \n \r \t, else \u00XX), a surrogate that is not part
// of a pair written as \uXXXX in lower-case hex, everything else as it is.
void TextWriter::appendEscaped(const QString& text)
{
    const char16_t* src = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = src + text.size();
    // Each UTF-16 unit becomes at most 6 bytes.
    char* const start = reserve(6 * text.size());
    char* out = start;
    const auto escapeUnit = [&out](char16_t u) {
        *out++ = '\\';
        *out++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4)
            *out++ = hexDigitsLower[(u >> shift) & 0xF];
    };
    while (src != end) {
        const char16_t u = *src++;
        if (u >= 0x20 && u < 0x80 && u != '"' && u != '\\') {
            *out++ = static_cast<char>(u);
        } else if (u < 0x80) {
            *out++ = '\\';
            switch (u) {
            case '"': *out++ = '"'; break;
            case '\\': *out++ = '\\'; break;
            case '\b': *out++ = 'b'; break;
            case '\f': *out++ = 'f'; break;
            case '\n': *out++ = 'n'; break;
            case '\r': *out++ = 'r'; break;
            case '\t': *out++ = 't'; break;
            default:
                --out;
                escapeUnit(u);
            }
        } else if (u < 0x800) {
            *out++ = static_cast<char>(0xC0 | (u >> 6));
            *out++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (!QChar::isSurrogate(u)) {
            *out++ = static_cast<char>(0xE0 | (u >> 12));
            *out++ = static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && src != end && QChar::isLowSurrogate(*src)) {
            const char32_t c = QChar::surrogateToUcs4(u, *src++);
            *out++ = static_cast<char>(0xF0 | (c >> 18));
            *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            escapeUnit(u);
        }
    }
    used_ += out - start;
}

QByteArray TextWriter::take()
{
    Q_ASSERT(levels_.isEmpty());
    append('\n');
    text_.truncate(used_);
    text_.squeeze();
    data_ = nullptr;
    used_ = capacity_ = 0;
    return std::move(text_);
}

} // namespace velmor::json
