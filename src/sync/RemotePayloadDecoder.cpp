#include "sync/RemotePayloadDecoder.h"

#include "platform/MainQueue.h"
#include "sync/CloudReply.h"

namespace velmor {

RemotePayloadDecoder::RemotePayloadDecoder() : queue_(SerialQueue::create(QStringLiteral("com.velmor.payloads"))) {}

QCoro::Task<std::optional<RemotePayloadDecoder::Decoded>> RemotePayloadDecoder::decode(QByteArray payload,
                                                                                        LoadResult current)
{
    const auto start = [queue = queue_, payload, current](cloud::Completion<Decoded> done) {
        queue->async([payload, current, done = std::move(done)] {
            std::optional<Decoded> decoded;
            if (std::optional<LoadResult> result = decodePayload(payload)) {
                decoded.emplace();
                decoded->summary = SyncChangeSummary::summarize(current, *result);
                decoded->result = std::move(*result);
            }
            postToMain([decoded = std::move(decoded), done] { done(decoded, std::nullopt); });
        });
    };
    cloudkit::Reply<Decoded> reply = co_await cloudkit::ReplyAwaiter<Decoded>(start);
    co_return std::move(reply.value);
}

} // namespace velmor
