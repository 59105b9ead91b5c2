#pragma once

#include "platform/VirtualMainQueue.h"
#include "platform/cloud/Container.h"
#include "platform/cloud/Notification.h"

#include <QList>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace velmor::cloud {
inline void PrintTo(const Error& error, std::ostream* out) { *out << error.what(); }
} // namespace velmor::cloud

namespace velmor::test {

// The outcome of one cloud call and how many times its completion ran.
template <typename T>
struct Outcome {
    std::optional<T> value;
    std::optional<cloud::Error> error;
    int completions = 0;

    cloud::Error::Code code() const { return error ? error->code() : cloud::Error::Code{0}; }
};

template <typename T>
cloud::Completion<T> into(Outcome<T>& outcome)
{
    return [&outcome](std::optional<T> value, std::optional<cloud::Error> error) {
        outcome.value = std::move(value);
        outcome.error = std::move(error);
        ++outcome.completions;
    };
}

// Makes a call and runs the main queue until it is idle; the completion must have run once.
template <typename T>
Outcome<T> complete(VirtualMainQueue& queue, const std::function<void(cloud::Completion<T>)>& call)
{
    Outcome<T> outcome;
    call(into(outcome));
    queue.runUntilIdle();
    EXPECT_EQ(outcome.completions, 1);
    return outcome;
}

inline Outcome<cloud::Record> save(VirtualMainQueue& queue, cloud::Database& database, const cloud::Record& record)
{
    return complete<cloud::Record>(queue, [&](auto done) { database.saveRecord(record, std::move(done)); });
}

inline Outcome<cloud::Record> fetch(VirtualMainQueue& queue, cloud::Database& database, const QString& name)
{
    return complete<cloud::Record>(queue, [&](auto done) { database.fetchRecord(name, std::move(done)); });
}

// Collects the pushes a container receives, parsed.
struct PushLog {
    explicit PushLog(cloud::Container& container)
    {
        container.setRemoteNotificationHandler([this](const QVariantMap& dictionary) {
            const auto notification = cloud::Notification::fromRemoteNotificationDictionary(dictionary);
            EXPECT_TRUE(notification.has_value());
            if (notification)
                received.append(*notification);
        });
    }
    QList<cloud::Notification> received;
};

} // namespace velmor::test
