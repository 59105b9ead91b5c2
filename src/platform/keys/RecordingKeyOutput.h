#pragma once

#include "platform/keys/KeyOutput.h"

#include <QList>

namespace velmor::keys {

// Key output for tests and for running without a virtual keyboard: remembers every
// post, and refuses the ones it is told to.
class RecordingKeyOutput final : public KeyOutput {
public:
    struct Post {
        std::uint16_t keyCode = 0;
        bool down = false;
        EventFlags flags = 0;
        bool posted = false;
        bool operator==(const Post&) const = default;
    };

    bool postKey(std::uint16_t keyCode, bool down, EventFlags flags) override
    {
        const bool posted = down ? acceptDown : acceptUp;
        posts.append({keyCode, down, flags, posted});
        return posted;
    }

    QList<Post> posts;
    bool acceptDown = true;
    bool acceptUp = true;
};

} // namespace velmor::keys
