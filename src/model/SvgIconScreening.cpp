#include "model/SvgIconScreening.h"

#include "model/SvgIconImage.h"

#include <QBuffer>
#include <QHash>
#include <QImageReader>
#include <QList>
#include <QXmlStreamReader>

#include <algorithm>

namespace velmor {

namespace {

bool hasLocalName(QStringView qualifiedName, QLatin1StringView localName)
{
    return qualifiedName == localName
        || (qualifiedName.endsWith(localName) && qualifiedName.size() > localName.size()
            && qualifiedName.at(qualifiedName.size() - localName.size() - 1) == u':');
}

// A dashed stroke costs a dash for every few device pixels of its length, however short
// the document, and the property is inherited and can be set from a style sheet: a document
// that dashes anything is refused.
const QLatin1StringView dashes("dasharray");

// Attribute values and style sheets may name other resources only inside the document
// ("url(#id)"), and dash nothing. In style sheets escapes are refused outright, so that no
// spelling of "url(" or "@import" gets past the plain search.
bool acceptsValue(QStringView text, bool isStyle)
{
    if (isStyle && (text.contains(u'\\') || text.contains(QLatin1StringView("@import"), Qt::CaseInsensitive)))
        return false;
    if (text.contains(dashes, Qt::CaseInsensitive))
        return false;
    const QLatin1StringView url("url(");
    for (qsizetype at = text.indexOf(url, 0, Qt::CaseInsensitive); at >= 0;
         at = text.indexOf(url, at + 1, Qt::CaseInsensitive)) {
        QStringView target = text.mid(at + url.size()).trimmed();
        if (target.startsWith(u'"') || target.startsWith(u'\''))
            target = target.mid(1);
        if (!target.startsWith(u'#'))
            return false;
    }
    return true;
}

// The renderer decodes an embedded image from the text after the last "base64," with
// whatever image reader the bytes look like to Qt; an SVG there would be a document that
// this screening never saw. Only PNG and JPEG of bounded size and decoding work pass.
// Returns the image's pixel count, or -1 when refused.
qint64 embeddedImagePixels(QStringView href)
{
    const QLatin1StringView marker("base64,");
    const qsizetype start = href.lastIndexOf(marker);
    if (!href.startsWith(QLatin1StringView("data:")) || start < 0)
        return -1;
    QByteArray bytes = QByteArray::fromBase64(href.mid(start + marker.size()).toLatin1());
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return -1;
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg")
        return -1;
    // A progressive JPEG decodes every pixel once per scan; a scan starts with an SOS
    // marker, which never occurs inside entropy-coded data.
    if (format == "jpeg" && bytes.count(QByteArrayView("\xFF\xDA", 2)) > SvgIconLimits::maxJpegScans)
        return -1;
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0)
        return -1;
    return qint64(size.width()) * size.height();
}

// The elements of the document in order, with what drawing each one costs and which other
// elements drawing it draws too (its children and what its references name).
class Screening {
public:
    bool read(const QByteArray& document);
    bool expandedCostWithinLimit() const;

private:
    struct Node {
        qint64 ownCost = 0; // characters, in units of costBytes
        bool isDefinitions = false;
        QList<qsizetype> draws;
        QStringList references;
    };

    bool startElement(const QXmlStreamReader& xml);
    bool acceptsDtd(const QXmlStreamReader& xml) const;

    QList<Node> nodes_;
    QList<qsizetype> open_;
    QHash<QString, QList<qsizetype>> ids_;
    qint64 imagePixels_ = 0;
    qsizetype styleDepth_ = 0; // open <style> elements
};

bool Screening::read(const QByteArray& document)
{
    QXmlStreamReader xml(document);
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (!startElement(xml))
                return false;
            break;
        case QXmlStreamReader::EndElement:
            if (hasLocalName(xml.qualifiedName(), QLatin1StringView("style")))
                --styleDepth_;
            open_.removeLast();
            break;
        case QXmlStreamReader::Characters:
            if (styleDepth_ > 0 && !acceptsValue(xml.text(), true))
                return false;
            // Every character of text draws a glyph, at any size the document asks for.
            if (!open_.isEmpty() && !xml.isWhitespace())
                nodes_[open_.last()].ownCost += xml.text().size() * SvgIconLimits::glyphCost;
            break;
        case QXmlStreamReader::DTD:
            if (!acceptsDtd(xml))
                return false;
            break;
        // An "xml-stylesheet" instruction makes the renderer read the file it names.
        case QXmlStreamReader::ProcessingInstruction:
            return false;
        default:
            break;
        }
    }
    return !xml.hasError() && !nodes_.isEmpty();
}

bool Screening::startElement(const QXmlStreamReader& xml)
{
    const QStringView name = xml.qualifiedName();
    if (nodes_.isEmpty() && !hasLocalName(name, QLatin1StringView("svg")))
        return false;
    if (nodes_.size() >= SvgIconLimits::maxElements || open_.size() >= SvgIconLimits::maxDepth)
        return false;
    // SVG fonts draw a glyph's path for every character, and a text area lays out its
    // text once per line: more multipliers that icons do without.
    for (const char* multiplier : {"font", "glyph", "missing-glyph", "textArea"})
        if (hasLocalName(name, QLatin1StringView(multiplier)))
            return false;
    if (hasLocalName(name, QLatin1StringView("style")))
        ++styleDepth_;

    const qsizetype index = nodes_.size();
    Node node;
    node.ownCost = name.size();
    node.isDefinitions = hasLocalName(name, QLatin1StringView("defs"));
    const bool isImage = hasLocalName(name, QLatin1StringView("image"));
    for (const QXmlStreamAttribute& attribute : xml.attributes()) {
        const QStringView key = attribute.qualifiedName();
        const QStringView value = attribute.value();
        node.ownCost += key.size() + value.size();
        if (key.contains(dashes, Qt::CaseInsensitive))
            return false;
        if (hasLocalName(key, QLatin1StringView("href"))) {
            if (isImage) {
                const qint64 pixels = embeddedImagePixels(value);
                if (pixels < 0 || (imagePixels_ += pixels) > SvgIconLimits::maxImagePixels)
                    return false;
                continue;
            }
            if (!value.startsWith(u'#'))
                return false;
            node.references << value.mid(1).toString();
        } else if (!acceptsValue(value, hasLocalName(key, QLatin1StringView("style")))) {
            return false;
        }
        if (hasLocalName(key, QLatin1StringView("id")))
            ids_[value.toString()] << index;
    }
    // What <defs> holds is drawn only where something refers to it.
    if (!open_.isEmpty() && !nodes_[open_.last()].isDefinitions)
        nodes_[open_.last()].draws << index;
    nodes_ << node;
    open_ << index;
    return true;
}

bool Screening::acceptsDtd(const QXmlStreamReader& xml) const
{
    const auto entities = xml.entityDeclarations();
    const auto notations = xml.notationDeclarations();
    return notations.isEmpty() && std::all_of(entities.begin(), entities.end(), [](const auto& entity) {
               return entity.systemId().isEmpty() && entity.publicId().isEmpty();
           });
}

// Every reference draws what it names once more, so the cost of the root with references
// expanded is what rendering costs. A reference that leads back into itself is refused:
// the renderer would loop or drop it. Each id becomes a node of its own, drawing every
// element that carries it, so that duplicated ids cost no more edges than they have.
bool Screening::expandedCostWithinLimit() const
{
    const qsizetype elements = nodes_.size();
    QList<QList<qsizetype>> draws(elements);
    QList<qint64> cost(elements);
    for (qsizetype i = 0; i < elements; ++i) {
        draws[i] = nodes_[i].draws;
        cost[i] = 1 + nodes_[i].ownCost / SvgIconLimits::costBytes;
    }
    QHash<QString, qsizetype> idNodes;
    for (auto it = ids_.cbegin(); it != ids_.cend(); ++it) {
        idNodes.insert(it.key(), draws.size());
        draws << it.value();
        cost << 0;
    }
    for (qsizetype i = 0; i < elements; ++i)
        for (const QString& id : nodes_[i].references)
            if (const auto found = idNodes.constFind(id); found != idNodes.cend())
                draws[i] << *found;

    // Kahn's order: a node comes after everything that draws it; what is left over lies
    // on a cycle.
    QList<qsizetype> drawnBy(draws.size(), 0);
    for (const auto& targets : draws)
        for (const qsizetype target : targets)
            ++drawnBy[target];
    QList<qsizetype> order;
    for (qsizetype i = 0; i < draws.size(); ++i)
        if (drawnBy[i] == 0)
            order << i;
    for (qsizetype next = 0; next < order.size(); ++next)
        for (const qsizetype target : draws[order[next]])
            if (--drawnBy[target] == 0)
                order << target;
    if (order.size() != draws.size())
        return false;

    constexpr qint64 over = SvgIconLimits::maxExpandedCost + 1;
    QList<qint64> total(draws.size(), 0);
    for (auto it = order.crbegin(); it != order.crend(); ++it) {
        qint64 sum = cost[*it];
        for (const qsizetype target : draws[*it])
            sum = std::min(over, sum + total[target]);
        total[*it] = sum;
    }
    return total[0] <= SvgIconLimits::maxExpandedCost;
}

} // namespace

bool passesSvgIconScreening(const QByteArray& document)
{
    Screening screening;
    return screening.read(document) && screening.expandedCostWithinLimit();
}

} // namespace velmor
