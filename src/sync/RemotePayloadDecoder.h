#pragma once

#include "platform/SerialQueue.h"
#include "store/LoadResult.h"
#include "store/SyncChangeSummary.h"

#include <QByteArray>
#include <QCoro/QCoroTask>

#include <memory>
#include <optional>

namespace velmor {

// Decodes a downloaded profiles payload away from the window's thread, once, and
// says in words what taking it would change.
class RemotePayloadDecoder {
public:
    struct Decoded {
        LoadResult result;
        // Against the profiles given as `current`; none when nothing would change.
        std::optional<SyncChangeSummary::Notice> summary;
    };

    RemotePayloadDecoder();

    // Resumes on the main queue; none when the payload is no profiles document.
    QCoro::Task<std::optional<Decoded>> decode(QByteArray payload, LoadResult current);

private:
    std::shared_ptr<SerialQueue> queue_;
};

} // namespace velmor
