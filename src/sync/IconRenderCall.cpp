#include "sync/IconRenderCall.h"

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

namespace velmor {

namespace {

struct Wait {
    std::coroutine_handle<> awaiting;
    std::optional<IconRenderResult> result;
};

struct WaitAwaiter {
    std::shared_ptr<Wait> wait;
    bool await_ready() const noexcept { return wait->result.has_value(); }
    void await_suspend(std::coroutine_handle<> handle) { wait->awaiting = handle; }
    IconRenderResult await_resume() { return std::move(*wait->result); }
};

// g++ 12: the awaiter is a local, never a temporary of the co_await expression.
QCoro::Task<IconRenderResult> awaitResult(std::shared_ptr<Wait> wait)
{
    WaitAwaiter awaiter{std::move(wait)};
    IconRenderResult result = co_await awaiter;
    co_return result;
}

} // namespace

// Not a coroutine itself: g++ 12 mishandles the callback's captures in a coroutine frame.
QCoro::Task<IconRenderResult> renderIcon(IconRenderer& renderer, QByteArray document, int side, QString name)
{
    auto wait = std::make_shared<Wait>();
    // Told under the sync's title when it cannot be drawn.
    IconRenderRequest request{std::move(document), side, std::move(name), IconOrigin::sync, {}};
    renderer.render(std::move(request), [wait](const IconRenderResult& result) {
        if (wait->result)
            return;
        wait->result = result;
        if (const std::coroutine_handle<> awaiting = std::exchange(wait->awaiting, {}))
            awaiting.resume();
    });
    return awaitResult(std::move(wait));
}

} // namespace velmor
