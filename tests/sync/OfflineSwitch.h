#pragma once

#include "platform/MainQueue.h"
#include "platform/cloud/Container.h"

#include <memory>

namespace velmor::test {

// One machine's way to the cloud, which the test can cut: while off, every call
// fails as an unreachable service would, and pushes are missed (as they are
// when a machine is offline). Calls under way when it goes off still complete.
class OfflineSwitch final : public cloud::Container, public std::enable_shared_from_this<OfflineSwitch> {
public:
    static std::shared_ptr<OfflineSwitch> around(std::shared_ptr<cloud::Container> inner, std::shared_ptr<bool> offline)
    {
        auto outer = std::shared_ptr<OfflineSwitch>(new OfflineSwitch(std::move(inner), std::move(offline)));
        const std::weak_ptr<OfflineSwitch> weak = outer;
        outer->inner_->setRemoteNotificationHandler([weak](const QVariantMap& push) {
            if (const auto self = weak.lock(); self && !*self->offline_)
                self->deliverPush(push);
        });
        outer->inner_->setWritableAgainHandler([weak] {
            if (const auto self = weak.lock(); self && !*self->offline_)
                self->deliverWritableAgain();
        });
        return outer;
    }

    QString containerIdentifier() const override { return inner_->containerIdentifier(); }
    std::shared_ptr<cloud::Database> privateCloudDatabase() override { return database_; }
    QString location() const override { return inner_->location(); }
    void accountStatus(cloud::Completion<cloud::AccountStatus> done) override
    {
        pass(done, [&] { inner_->accountStatus(done); });
    }
    void fetchUserRecordID(cloud::Completion<QString> done) override
    {
        pass(done, [&] { inner_->fetchUserRecordID(done); });
    }
    void accountExists(cloud::Completion<bool> done) override
    {
        pass(done, [&] { inner_->accountExists(done); });
    }
    void registerForRemoteNotifications(cloud::Completion<QByteArray> done) override
    {
        pass(done, [&] { inner_->registerForRemoteNotifications(done); });
    }

private:
    // Fails `done` on a later turn while off; else runs `call`.
    template <typename T, typename Call> static void pass(bool offline, const cloud::Completion<T>& done, Call call)
    {
        if (offline)
            postToMain([done] { done(std::nullopt, cloud::Error(cloud::Error::Code::serviceUnavailable)); });
        else
            call();
    }
    template <typename T, typename Call> void pass(const cloud::Completion<T>& done, Call call) const
    {
        pass(*offline_, done, call);
    }

    class Database final : public cloud::Database {
    public:
        Database(std::shared_ptr<bool> offline, std::shared_ptr<cloud::Database> inner)
            : offline_(std::move(offline)),
              inner_(std::move(inner))
        {
        }
        void fetchRecord(const QString& name, cloud::Completion<cloud::Record> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->fetchRecord(name, done); });
        }
        void saveRecord(const cloud::Record& record, cloud::Completion<cloud::Record> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->saveRecord(record, done); });
        }
        void fetchSubscription(const QString& id, cloud::Completion<cloud::Subscription> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->fetchSubscription(id, done); });
        }
        void saveSubscription(const cloud::Subscription& subscription,
                              cloud::Completion<cloud::Subscription> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->saveSubscription(subscription, done); });
        }
        void deleteSubscription(const QString& id, cloud::Completion<QString> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->deleteSubscription(id, done); });
        }
        void fetchAllSubscriptions(cloud::Completion<QList<cloud::Subscription>> done) override
        {
            OfflineSwitch::pass(*offline_, done, [&] { inner_->fetchAllSubscriptions(done); });
        }
        qint64 maxRecordBytes() const override { return inner_->maxRecordBytes(); }

    private:
        std::shared_ptr<bool> offline_;
        std::shared_ptr<cloud::Database> inner_;
    };

    OfflineSwitch(std::shared_ptr<cloud::Container> inner, std::shared_ptr<bool> offline)
        : inner_(std::move(inner)),
          offline_(std::move(offline)),
          database_(std::make_shared<Database>(offline_, inner_->privateCloudDatabase()))
    {
    }

    std::shared_ptr<cloud::Container> inner_;
    std::shared_ptr<bool> offline_;
    std::shared_ptr<cloud::Database> database_;
};

} // namespace velmor::test
