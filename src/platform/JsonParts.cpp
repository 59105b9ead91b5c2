#include "platform/JsonParts.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace velmor::json {

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

constexpr std::array<bool, 256> byteSet(std::string_view members)
{
    std::array<bool, 256> result{};
    for (const char c : members)
        result[static_cast<unsigned char>(c)] = true;
    return result;
}

// Finds the extent of the values of one level of a JSON text; what lies inside
// a value is left to the parser that parses it.
class Scanner {
public:
    // Scans `text` after its byte-order mark, if it has one.
    explicit Scanner(const QByteArray& text) : p_(text.constData()), end_(p_ + text.size())
    {
        if (text.startsWith(byteOrderMark))
            p_ += qstrlen(byteOrderMark);
    }

    void skipSpace()
    {
        while (p_ != end_ && isSpace(*p_))
            ++p_;
    }
    bool atEnd() const { return p_ == end_; }
    bool take(char c)
    {
        if (p_ == end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }
    bool peek(char c) const { return p_ != end_ && *p_ == c; }

    // The text of the value that starts here; none when there is none.
    std::optional<QByteArray> value()
    {
        const char* const start = p_;
        if (p_ == end_)
            return std::nullopt;
        if (*p_ == '"') {
            if (!skipString())
                return std::nullopt;
        } else if (*p_ == '{' || *p_ == '[') {
            if (!skipContainer())
                return std::nullopt;
        } else {
            // A number, true, false or null: nothing but these characters.
            skipWhile(scalarBytes);
            if (p_ == start)
                return std::nullopt;
        }
        return QByteArray::fromRawData(start, p_ - start);
    }

private:
    static constexpr std::array<bool, 256> scalarBytes =
        byteSet("0123456789+-.abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    // The bytes the container loop stops at; the rest it steps over.
    static constexpr std::array<bool, 256> containerStops = byteSet("\"{}[]");

    void skipWhile(const std::array<bool, 256>& bytes)
    {
        while (p_ != end_ && bytes[static_cast<unsigned char>(*p_)])
            ++p_;
    }
    void skipUntil(const std::array<bool, 256>& stops)
    {
        while (p_ != end_ && !stops[static_cast<unsigned char>(*p_)])
            ++p_;
    }

    bool skipString()
    {
        for (const char* from = p_ + 1;;) {
            const auto* quote = static_cast<const char*>(std::memchr(from, '"', end_ - from));
            if (!quote)
                return false;
            // Escaped when an odd number of backslashes comes before it.
            const char* before = quote;
            while (before != p_ + 1 && before[-1] == '\\')
                --before;
            from = quote + 1;
            if ((quote - before) % 2 == 0) {
                p_ = from;
                return true;
            }
        }
    }

    bool skipContainer()
    {
        // Deeper nesting is left to a parser of the whole text.
        static constexpr int maxDepth = 512;
        char closers[maxDepth];
        int depth = 0;
        for (;;) {
            skipUntil(containerStops);
            if (p_ == end_)
                return false;
            const char c = *p_;
            if (c == '"') {
                if (!skipString())
                    return false;
                continue;
            }
            ++p_;
            if (c == '{' || c == '[') {
                if (depth == maxDepth)
                    return false;
                closers[depth++] = c == '{' ? '}' : ']';
            } else {
                if (closers[--depth] != c)
                    return false;
                if (depth == 0)
                    return true;
            }
        }
    }

    const char* p_;
    const char* end_;
};

// A member name as the parser reads it: plain printable ASCII directly, anything else through the parser.
std::optional<QString> keyText(const QByteArray& quoted)
{
    const QByteArrayView inner = QByteArrayView(quoted).sliced(1, quoted.size() - 2);
    if (std::all_of(inner.begin(), inner.end(), [](char c) { return c >= 0x20 && c < 0x7F && c != '\\'; }))
        return QString::fromLatin1(inner);
    try {
        const QJsonValue key = parse(quoted);
        return key.isString() ? std::optional<QString>(key.toString()) : std::nullopt;
    } catch (const DecodeError&) {
        return std::nullopt;
    }
}

} // namespace

std::optional<QList<Member>> splitObject(const QByteArray& text)
{
    Scanner scan(text);
    scan.skipSpace();
    if (!scan.take('{'))
        return std::nullopt;
    QList<Member> members;
    scan.skipSpace();
    if (!scan.take('}')) {
        do {
            scan.skipSpace();
            if (!scan.peek('"'))
                return std::nullopt;
            const std::optional<QByteArray> quoted = scan.value();
            const std::optional<QString> key = quoted ? keyText(*quoted) : std::nullopt;
            scan.skipSpace();
            if (!key || !scan.take(':'))
                return std::nullopt;
            scan.skipSpace();
            std::optional<QByteArray> value = scan.value();
            if (!value)
                return std::nullopt;
            members.append({*key, std::move(*value)});
            scan.skipSpace();
        } while (scan.take(','));
        if (!scan.take('}'))
            return std::nullopt;
    }
    scan.skipSpace();
    return scan.atEnd() ? std::optional<QList<Member>>(std::move(members)) : std::nullopt;
}

std::optional<QList<QByteArray>> splitArray(const QByteArray& text)
{
    Scanner scan(text);
    scan.skipSpace();
    if (!scan.take('['))
        return std::nullopt;
    QList<QByteArray> elements;
    scan.skipSpace();
    if (!scan.take(']')) {
        do {
            scan.skipSpace();
            std::optional<QByteArray> value = scan.value();
            if (!value)
                return std::nullopt;
            elements.append(std::move(*value));
            scan.skipSpace();
        } while (scan.take(','));
        if (!scan.take(']'))
            return std::nullopt;
    }
    scan.skipSpace();
    return scan.atEnd() ? std::optional<QList<QByteArray>>(std::move(elements)) : std::nullopt;
}

} // namespace velmor::json
