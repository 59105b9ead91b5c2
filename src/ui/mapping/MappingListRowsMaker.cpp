#include "ui/mapping/MappingListRowsMaker.h"

#include "platform/MainQueue.h"
#include "ui/mapping/MappingDerivedData.h"

namespace velmor {

// What the worker's results go back to: the newest request and the receiver.
// Main thread only; the worker holds it weakly and never touches it.
struct MappingListRowsMaker::Latest {
    quint64 request = 0;
    Deliver deliver;
    bool* making = nullptr;
};

MappingListRowsMaker::MappingListRowsMaker(Deliver deliver) : latest_(std::make_shared<Latest>())
{
    latest_->deliver = std::move(deliver);
    latest_->making = &making_;
}

MappingListRowsMaker::~MappingListRowsMaker() = default;

namespace {

struct Made {
    QList<MappingListRow> rows;
    qsizetype count = 0;
};

Made made(const QList<ButtonMapping>& mappings, const PacsProfile& pacs, const QString& filter)
{
    const QList<MappingEntry> entries = mappingData::mappingEntries(mappings, pacs);
    return {mappingListRows(entries, filter), entries.size()};
}

} // namespace

void MappingListRowsMaker::make(const QList<ButtonMapping>& mappings, const PacsProfile& pacs, const QString& filter)
{
    const quint64 request = ++latest_->request;
    if (mappings.size() <= madeAtOnce) {
        making_ = false;
        Made result = made(mappings, pacs, filter);
        latest_->deliver(std::move(result.rows), result.count);
        return;
    }
    if (!queue_)
        queue_ = SerialQueue::create(QStringLiteral("com.velmor.mapping-list"));
    making_ = true;
    queue_->async([mappings, pacs, filter, request, latest = std::weak_ptr<Latest>(latest_)] {
        auto result = std::make_shared<Made>(made(mappings, pacs, filter));
        postToMain([result, request, latest] {
            const std::shared_ptr<Latest> receiver = latest.lock();
            if (!receiver || receiver->request != request)
                return;
            *receiver->making = false;
            receiver->deliver(std::exchange(result->rows, {}), result->count);
        });
    });
}

void MappingListRowsMaker::release(QList<MappingListRow> rows)
{
    if (rows.size() <= madeAtOnce)
        return;
    if (!queue_)
        queue_ = SerialQueue::create(QStringLiteral("com.velmor.mapping-list"));
    queue_->async([rows = std::make_shared<QList<MappingListRow>>(std::move(rows))] { *rows = {}; });
}

} // namespace velmor
