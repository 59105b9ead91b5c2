#pragma once

#include "platform/hid/Result.h"

#include <QString>

#include <QLatin1String>

#include <algorithm>
#include <charconv>
#include <cstdint>

// How input-side log lines print numbers.
namespace velmor::logformat {

// A vendor or product id: "0x" and at least four upper-case hexadecimal digits.
inline QString id(std::int64_t value)
{
    return QStringLiteral("0x") + QString::asprintf("%04X", static_cast<unsigned>(value));
}

// A platform result code: "0x" and eight upper-case hexadecimal digits.
inline QString result(hid::Result result) { return QStringLiteral("0x") + result.hex(); }

// A log line's ASCII part, built on the stack and turned into a QString with
// one allocation: the lines of every key press are made this way.
class AsciiLine {
public:
    AsciiLine& operator<<(QLatin1String text)
    {
        const auto count = std::min<qsizetype>(text.size(), capacity - size_);
        std::copy_n(text.data(), count, text_ + size_);
        size_ += count;
        return *this;
    }
    // Upper-case hexadecimal with at least `digits` digits, as "%0*X" prints it.
    AsciiLine& hex(std::uint64_t value, int digits = 4)
    {
        char digitsText[16];
        const auto end = std::to_chars(digitsText, digitsText + sizeof digitsText, value, 16).ptr;
        for (auto length = end - digitsText; length < digits && size_ < capacity; ++length)
            text_[size_++] = '0';
        for (const char* c = digitsText; c != end && size_ < capacity; ++c)
            text_[size_++] = *c >= 'a' ? char(*c - 'a' + 'A') : *c;
        return *this;
    }
    // Decimal, as "%lld" prints it.
    AsciiLine& decimal(std::int64_t value)
    {
        char digitsText[24];
        const auto end = std::to_chars(digitsText, digitsText + sizeof digitsText, value).ptr;
        return *this << QLatin1String(digitsText, end - digitsText);
    }
    // The line, then `tail` (any text).
    QString toString(const QString& tail = {}) const
    {
        QString line;
        line.reserve(size_ + tail.size());
        line += QLatin1String(text_, size_);
        line += tail;
        return line;
    }

private:
    static constexpr qsizetype capacity = 192;
    char text_[capacity];
    qsizetype size_ = 0;
};

} // namespace velmor::logformat
