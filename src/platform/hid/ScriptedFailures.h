#pragma once

#include "platform/hid/Result.h"

#include <QHash>
#include <QList>

#include <mutex>
#include <optional>

namespace velmor::hid {

// The calls of the scripted backend that a test can make fail.
enum class ScriptedCall { managerOpen, managerClose, open, close, setFeatureReport, copyElements, createQueue };

// Failures a test scripted for calls: one-off failures first, in the order
// given, then a standing failure; without either the call succeeds.
class ScriptedFailures {
public:
    // Every call from now on fails with `result`.
    void fail(ScriptedCall call, Result result);
    // The next `times` calls fail with `result`.
    void failNext(ScriptedCall call, Result result, int times = 1);
    void clear();
    // The failure for one call being made now, if any.
    std::optional<Result> take(ScriptedCall call);

private:
    std::mutex mutex_;
    QHash<ScriptedCall, QList<Result>> once_;
    QHash<ScriptedCall, Result> always_;
};

} // namespace velmor::hid
