#include "ui/mapping/MappingListRowsMaker.h"

#include "platform/MainQueue.h"

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

void MappingListRowsMaker::make(const QList<MappingEntry>& entries, const QString& filter)
{
    const quint64 request = ++latest_->request;
    if (entries.size() <= madeAtOnce) {
        making_ = false;
        latest_->deliver(mappingListRows(entries, filter));
        return;
    }
    if (!queue_)
        queue_ = SerialQueue::create(QStringLiteral("com.velmor.mapping-list"));
    making_ = true;
    queue_->async([entries, filter, request, latest = std::weak_ptr<Latest>(latest_)] {
        auto rows = std::make_shared<QList<MappingListRow>>(mappingListRows(entries, filter));
        postToMain([rows, request, latest] {
            const std::shared_ptr<Latest> receiver = latest.lock();
            if (!receiver || receiver->request != request)
                return;
            *receiver->making = false;
            receiver->deliver(std::exchange(*rows, {}));
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
