#include "platform/hid/ReportDescriptor.h"

#include <algorithm>
#include <optional>

namespace velmor::hid {

ReportDescriptorError::ReportDescriptorError(const QString& message, qsizetype offset)
    : std::runtime_error(QStringLiteral("report descriptor, byte %1: %2").arg(offset).arg(message).toStdString())
    , m_offset(offset)
{
}

namespace {

enum ItemType : quint8 { MainItem = 0, GlobalItem = 1, LocalItem = 2, ReservedItem = 3 };

enum MainTag : quint8 { Input = 0x8, Output = 0x9, Collection = 0xA, Feature = 0xB, EndCollection = 0xC };

enum GlobalTag : quint8 {
    UsagePage = 0x0,
    LogicalMinimum = 0x1,
    LogicalMaximum = 0x2,
    PhysicalMinimum = 0x3,
    PhysicalMaximum = 0x4,
    UnitExponent = 0x5,
    Unit = 0x6,
    ReportSize = 0x7,
    ReportId = 0x8,
    ReportCount = 0x9,
    Push = 0xA,
    Pop = 0xB,
};

enum LocalTag : quint8 { Usage = 0x0, UsageMinimum = 0x1, UsageMaximum = 0x2 };

constexpr quint8 longItemPrefix = 0xFE;
constexpr quint32 applicationCollection = 0x01;
constexpr int maxGlobalStackDepth = 16;

struct Item {
    quint8 type = 0;
    quint8 tag = 0;
    int size = 0; // data bytes: 0, 1, 2 or 4
    quint32 data = 0;

    qint32 signedData() const
    {
        switch (size) {
        case 1: return qint8(data);
        case 2: return qint16(data);
        default: return qint32(data);
        }
    }
};

// Global state; Push and Pop save and restore all of it.
struct Globals {
    quint32 usagePage = 0;
    qint64 logicalMinimum = 0;
    quint32 logicalMaximumData = 0; // read signed or not once the minimum is known
    int logicalMaximumSize = 0;
    quint32 reportSize = 0;
    quint32 reportCount = 0;
    quint8 reportId = 0;

    // A negative minimum makes the maximum signed; otherwise it is unsigned, as
    // many devices write 255 as the single byte 0xFF.
    qint64 logicalMaximum() const
    {
        if (logicalMinimum >= 0)
            return logicalMaximumData;
        Item item{0, 0, logicalMaximumSize, logicalMaximumData};
        return item.signedData();
    }
};

// A usage and its page. A short usage item holds the page in force where it
// stood until the main item settles it; an extended one brought its own page.
struct FullUsage {
    quint32 page = 0;
    quint32 id = 0;
    bool extended = false;
};

} // namespace

class ReportDescriptorParser {
public:
    explicit ReportDescriptorParser(const QByteArray& bytes) : m_bytes(bytes) { m_result.m_bytes = bytes; }

    ReportDescriptor parse()
    {
        if (m_bytes.isEmpty())
            fail(QStringLiteral("empty descriptor"));
        while (m_position < m_bytes.size()) {
            m_itemStart = m_position;
            const Item item = readItem();
            switch (item.type) {
            case MainItem: mainItem(item); break;
            case GlobalItem: globalItem(item); break;
            case LocalItem: localItem(item); break;
            default: break; // reserved and long items carry nothing we use
            }
        }
        m_itemStart = m_bytes.size();
        if (m_collectionDepth != 0)
            fail(QStringLiteral("%1 collection(s) not ended").arg(m_collectionDepth));
        finish();
        if (m_skippedMainItems > 0)
            m_result.m_warning = QStringLiteral("report descriptor, byte %1: unknown main item tag %2 skipped (%3 in all)")
                                     .arg(m_firstSkippedOffset)
                                     .arg(m_firstSkippedTag)
                                     .arg(m_skippedMainItems);
        return std::move(m_result);
    }

private:
    [[noreturn]] void fail(const QString& message) const { throw ReportDescriptorError(message, m_itemStart); }

    quint8 byteAt(qsizetype index) const { return quint8(m_bytes.at(index)); }

    Item readItem()
    {
        const quint8 prefix = byteAt(m_position++);
        if (prefix == longItemPrefix) {
            if (m_position + 2 > m_bytes.size())
                fail(QStringLiteral("truncated long item"));
            const int length = byteAt(m_position);
            m_position += 2;
            if (m_position + length > m_bytes.size())
                fail(QStringLiteral("truncated long item"));
            m_position += length;
            return Item{ReservedItem, 0, 0, 0};
        }
        Item item;
        item.type = (prefix >> 2) & 0x3;
        item.tag = prefix >> 4;
        item.size = (prefix & 0x3) == 3 ? 4 : (prefix & 0x3);
        if (m_position + item.size > m_bytes.size())
            fail(QStringLiteral("truncated item"));
        for (int i = 0; i < item.size; ++i)
            item.data |= quint32(byteAt(m_position + i)) << (8 * i);
        m_position += item.size;
        return item;
    }

    void globalItem(const Item& item)
    {
        switch (item.tag) {
        case UsagePage: m_globals.usagePage = item.data & 0xFFFF; break;
        case LogicalMinimum: m_globals.logicalMinimum = item.signedData(); break;
        case LogicalMaximum:
            m_globals.logicalMaximumData = item.data;
            m_globals.logicalMaximumSize = item.size;
            break;
        case PhysicalMinimum:
        case PhysicalMaximum:
        case UnitExponent:
        case Unit: break;
        case ReportSize: m_globals.reportSize = item.data; break;
        case ReportCount: m_globals.reportCount = item.data; break;
        case ReportId:
            if (item.data == 0 || item.data > 255)
                fail(QStringLiteral("report id %1 out of range").arg(item.data));
            m_globals.reportId = quint8(item.data);
            break;
        case Push:
            if (m_globalStack.size() >= maxGlobalStackDepth)
                fail(QStringLiteral("push beyond %1 levels").arg(maxGlobalStackDepth));
            m_globalStack.append(m_globals);
            break;
        case Pop:
            if (m_globalStack.isEmpty())
                fail(QStringLiteral("pop without push"));
            m_globals = m_globalStack.takeLast();
            break;
        default: fail(QStringLiteral("unknown global item tag %1").arg(item.tag));
        }
    }

    FullUsage usageOf(const Item& item) const
    {
        if (item.size == 4)
            return {item.data >> 16, item.data & 0xFFFF, true};
        return {m_globals.usagePage, item.data, false};
    }

    void localItem(const Item& item)
    {
        switch (item.tag) {
        case Usage: addUsages(usageOf(item), usageOf(item)); break;
        case UsageMinimum:
            m_usageMinimum = usageOf(item);
            addRangeWhenComplete();
            break;
        case UsageMaximum:
            m_usageMaximum = usageOf(item);
            addRangeWhenComplete();
            break;
        default: break; // designators, strings and delimiters do not change the elements
        }
    }

    void addRangeWhenComplete()
    {
        if (!m_usageMinimum || !m_usageMaximum)
            return;
        FullUsage first = *m_usageMinimum;
        FullUsage last = *m_usageMaximum;
        m_usageMinimum.reset();
        m_usageMaximum.reset();
        // A short end takes the page of an extended one; two short ends share
        // the page the main item settles, even across a Usage Page item.
        if (!first.extended)
            first.page = last.page;
        if (!last.extended)
            last.page = first.page;
        if (first.page != last.page || first.id > last.id)
            fail(QStringLiteral("usage range from %1:%2 to %3:%4").arg(first.page).arg(first.id).arg(last.page).arg(last.id));
        addUsages(first, last);
    }

    // A range that would pass the bound is cut at it (a real keyboard's
    // consumer arrays list 1...0xFFFF); a usage with no room left is refused.
    void addUsages(FullUsage first, FullUsage last)
    {
        const quint64 room = quint64(ReportDescriptor::maxUsages) - quint64(m_usages.size());
        if (room == 0)
            fail(QStringLiteral("more than %1 usages").arg(ReportDescriptor::maxUsages));
        last.id = quint32(std::min<quint64>(last.id, first.id + room - 1));
        const bool extended = first.extended || last.extended; // an extended end pins the page
        for (quint64 id = first.id; id <= last.id; ++id)
            m_usages.append(FullUsage{first.page, quint32(id), extended});
    }

    // Short usages take the usage page in force at the main item, so a page may
    // follow its usages. When some short usage already stood under that page,
    // the ones before it keep their own: one main item may mix pages (X, Y and
    // a wheel, then a consumer pan).
    void settleUsagePages()
    {
        const quint32 page = m_globals.usagePage;
        for (qsizetype i = m_usages.size() - 1; i >= 0; --i) {
            FullUsage& usage = m_usages[i];
            if (usage.extended)
                continue;
            if (usage.page == page)
                break;
            usage.page = page;
        }
    }

    void clearLocals()
    {
        m_usages.clear();
        m_usageMinimum.reset();
        m_usageMaximum.reset();
    }

    void mainItem(const Item& item)
    {
        settleUsagePages();
        switch (item.tag) {
        case Input: field(ReportElement::Kind::Input, item.data); break;
        case Output: field(ReportElement::Kind::Output, item.data); break;
        case Feature: field(ReportElement::Kind::Feature, item.data); break;
        case Collection:
            if (m_collectionDepth == 0 && !m_primaryFound && (item.data & 0xFF) == applicationCollection) {
                m_primaryFound = true;
                if (!m_usages.isEmpty()) {
                    m_result.m_primaryUsagePage = m_usages.first().page;
                    m_result.m_primaryUsage = m_usages.first().id;
                }
            }
            ++m_collectionDepth;
            break;
        case EndCollection:
            if (m_collectionDepth == 0)
                fail(QStringLiteral("end of a collection that was not begun"));
            --m_collectionDepth;
            break;
        default: // the kernel warns and goes on; its locals are dropped all the same
            if (m_skippedMainItems++ == 0) {
                m_firstSkippedOffset = m_itemStart;
                m_firstSkippedTag = item.tag;
            }
            break;
        }
        clearLocals();
    }

    void field(ReportElement::Kind kind, quint32 flags)
    {
        const quint32 mainItem = m_mainItems++;
        const quint64 bits = quint64(m_globals.reportSize) * m_globals.reportCount;
        if (m_globals.reportId != 0)
            m_result.m_numberedKinds |= ReportDescriptor::kindBit(kind);
        quint64& reportBits = m_result.m_reportBits[{kind, m_globals.reportId}];
        const quint64 start = reportBits;
        constexpr quint64 maxBits = quint64(ReportDescriptor::maxReportBytes - 1) * 8; // room for the id byte
        if (bits > maxBits - start)
            fail(QStringLiteral("report longer than %1 bytes").arg(ReportDescriptor::maxReportBytes));
        reportBits += bits;
        if ((flags & ReportElement::constantFlag) != 0 || bits == 0)
            return;

        ReportElement base;
        base.kind = kind;
        base.reportId = m_globals.reportId;
        base.reportSize = m_globals.reportSize;
        base.logicalMinimum = m_globals.logicalMinimum;
        base.logicalMaximum = m_globals.logicalMaximum();
        base.flags = flags;
        base.mainItem = mainItem;
        if ((flags & ReportElement::variableFlag) != 0)
            variableElements(base, start);
        else
            arrayElements(base, start);
    }

    // One element per usage; when fewer usages than fields, the last usage
    // covers all remaining fields.
    void variableElements(ReportElement base, quint64 start)
    {
        const quint32 count = m_globals.reportCount;
        if (m_usages.isEmpty())
            m_usages.append(FullUsage{m_globals.usagePage, 0});
        const quint32 elements = std::min<quint64>(count, quint64(m_usages.size()));
        for (quint32 i = 0; i < elements; ++i) {
            ReportElement element = base;
            element.role = ReportElement::Role::Variable;
            element.usagePage = m_usages[i].page;
            element.usage = m_usages[i].id;
            element.bitOffset = quint32(start + quint64(i) * base.reportSize);
            element.reportCount = (i + 1 == elements) ? count - i : 1;
            append(element);
        }
    }

    // One element per slot, then one per usage the slots can select.
    void arrayElements(ReportElement base, quint64 start)
    {
        const quint32 slotPage = m_usages.isEmpty() ? m_globals.usagePage : m_usages.first().page;
        for (quint32 i = 0; i < m_globals.reportCount; ++i) {
            ReportElement slot = base;
            slot.role = ReportElement::Role::ArraySlot;
            slot.usagePage = slotPage;
            slot.usage = ReportElement::arraySlotUsage;
            slot.bitOffset = quint32(start + quint64(i) * base.reportSize);
            append(slot);
        }
        for (qsizetype i = 0; i < m_usages.size(); ++i) {
            const qint64 selector = base.logicalMinimum + i;
            if (selector > base.logicalMaximum)
                break;
            if (m_usages[i].id == 0)
                continue;
            ReportElement usage = base;
            usage.role = ReportElement::Role::ArrayUsage;
            usage.usagePage = m_usages[i].page;
            usage.usage = m_usages[i].id;
            usage.bitOffset = quint32(start);
            usage.reportCount = m_globals.reportCount;
            usage.selector = selector;
            append(usage);
        }
    }

    void append(ReportElement element)
    {
        if (m_result.m_elements.size() >= ReportDescriptor::maxElements)
            fail(QStringLiteral("more than %1 elements").arg(ReportDescriptor::maxElements));
        element.cookie = quint32(m_result.m_elements.size() + 1);
        m_result.m_elements.append(element);
    }

    // Where a kind of report uses ids, each of its reports starts with its id byte.
    void finish()
    {
        for (ReportElement& element : m_result.m_elements) {
            if (m_result.usesReportIds(element.kind))
                element.bitOffset += 8;
        }
    }

    const QByteArray& m_bytes;
    qsizetype m_position = 0;
    qsizetype m_itemStart = 0;
    Globals m_globals;
    QList<Globals> m_globalStack;
    QList<FullUsage> m_usages;
    std::optional<FullUsage> m_usageMinimum;
    std::optional<FullUsage> m_usageMaximum;
    quint32 m_mainItems = 0;
    int m_skippedMainItems = 0;
    qsizetype m_firstSkippedOffset = 0;
    quint8 m_firstSkippedTag = 0;
    int m_collectionDepth = 0;
    bool m_primaryFound = false;
    ReportDescriptor m_result;
};

ReportDescriptor ReportDescriptor::parse(const QByteArray& bytes)
{
    return ReportDescriptorParser(bytes).parse();
}

const ReportElement* ReportDescriptor::element(quint32 cookie) const
{
    if (cookie == 0 || cookie > quint32(m_elements.size()))
        return nullptr;
    return &m_elements[cookie - 1];
}

int ReportDescriptor::reportSize(ReportElement::Kind kind, quint8 reportId) const
{
    const auto it = m_reportBits.constFind({kind, reportId});
    if (it == m_reportBits.constEnd())
        return 0;
    return int((*it + 7) / 8) + (usesReportIds(kind) ? 1 : 0);
}

int ReportDescriptor::maxReportSize(ReportElement::Kind kind) const
{
    int size = 0;
    for (auto it = m_reportBits.constBegin(); it != m_reportBits.constEnd(); ++it) {
        if (it.key().first == kind)
            size = std::max(size, reportSize(kind, it.key().second));
    }
    return size;
}

} // namespace velmor::hid
