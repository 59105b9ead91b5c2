#pragma once

#include <QByteArray>
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QUuid>

namespace velmor::json {

// Writes JSON text straight from values, byte for byte as json::encode() writes
// the same values held in a QJsonObject: four-space indentation, one member per
// line, strings in UTF-8 with the same escapes, numbers in the same form, and a
// final newline. Members must come in ascending key order, the order a
// QJsonObject keeps them in.
class TextWriter {
public:
    // `expectedSize` reserves room for the text (e.g. the size of the last one).
    explicit TextWriter(qsizetype expectedSize = 0);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The next member of the open object, a name that needs no escapes; its value follows.
    TextWriter& key(QLatin1StringView name);

    void value(const QString& text);
    // Upper-case hyphenated text.
    void value(const QUuid& uuid);
    void value(bool flag);
    void value(qint64 number);
    void value(int number) { value(static_cast<qint64>(number)); }
    // Non-finite numbers are written as null.
    void value(double number);
    // A literal would otherwise pass for a bool.
    void value(const char*) = delete;

    // The text, once every object and array is closed.
    QByteArray take();

private:
    struct Level {
        bool isArray = false;
        int count = 0;
        QLatin1StringView lastKey;
    };

    // Starts a value: the separator and indentation of an array element.
    void beginValue();
    void open(char bracket, bool isArray);
    void close(char bracket);
    void indent(qsizetype depth);
    // Room for `size` more bytes at end_.
    char* reserve(qsizetype size)
    {
        if (capacity_ - used_ < size)
            grow(size);
        return data_ + used_;
    }
    void grow(qsizetype size);
    void append(const char* data, qsizetype size);
    void append(char c) { *reserve(1) = c, ++used_; }
    void appendEscaped(const QString& text);

    // The text so far is the first used_ bytes of text_, written through data_.
    QByteArray text_;
    char* data_ = nullptr;
    qsizetype used_ = 0;
    qsizetype capacity_ = 0;
    QList<Level> levels_;
    bool afterKey_ = false;
};

} // namespace velmor::json
