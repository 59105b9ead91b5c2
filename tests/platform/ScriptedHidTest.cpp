#include "platform/hid/ScriptedHid.h"
#include "platform/hid/Queue.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace velmor;
using namespace velmor::hid;

namespace {

const Element keyA{.cookie = 10, .type = ElementType::inputButton, .usagePage = 7, .usage = 0x04, .isArray = false};
const Element keyB{.cookie = 11, .type = ElementType::inputButton, .usagePage = 7, .usage = 0x05, .isArray = false};

class ScriptedHidTest : public test::PlatformFixture {
protected:
    std::unique_ptr<Manager> startManager(const QList<Match>& matches)
    {
        auto manager = Manager::create();
        manager->setDeviceMatching(matches);
        manager->setDeviceMatchedCallback([this](const auto& device) { matched.append(device->handleId()); });
        manager->setDeviceRemovedCallback([this](const auto& device) { removed.append(device->handleId()); });
        manager->setInputValueCallback([this](Result, const Value& value) { values.append(value.integerValue); });
        return manager;
    }

    ScriptedHid hid;
    QList<HandleId> matched;
    QList<HandleId> removed;
    QList<std::int64_t> values;
};

} // namespace

TEST_F(ScriptedHidTest, ManagerReportsMatchingDevicesOnTheMainQueueOnlyWhileScheduled)
{
    auto early = hid.plug(0x1532, 0x022B, QStringLiteral("Keypad"));
    auto other = hid.plug(0x046D, 0xC077, QStringLiteral("Mouse"));
    auto manager = startManager({{0x1532, 0x022B}, {0x0911, 0x0C1C}});
    manager->scheduleWithMainLoop();
    auto late = hid.plug(0x0911, 0x0C1C, std::nullopt);
    EXPECT_TRUE(matched.isEmpty()) << "callbacks come on a later turn of the main loop";
    queue->runUntilIdle();
    EXPECT_EQ(matched, (QList<HandleId>{early->handleId(), late->handleId()}));

    hid.unplug(other); // never matched: no removal
    hid.unplug(late);
    queue->runUntilIdle();
    EXPECT_EQ(removed, QList<HandleId>{late->handleId()});

    manager->unscheduleFromMainLoop();
    hid.unplug(early);
    hid.plug(0x1532, 0x022B, std::nullopt);
    queue->runUntilIdle();
    EXPECT_EQ(matched.size(), 2);
    EXPECT_EQ(removed.size(), 1);
    EXPECT_NE(early->handleId(), late->handleId());
}

TEST_F(ScriptedHidTest, ValuesReachTheManagerWhileOpenTheDeviceWhileScheduledAndQueuesForTheirElements)
{
    auto device = hid.plug(0x1532, 0x0244, std::nullopt);
    auto manager = startManager({{0x1532, 0x0244}});
    manager->scheduleWithMainLoop();
    queue->runUntilIdle();

    device->sendValue(keyA, 1);
    queue->runUntilIdle();
    EXPECT_TRUE(values.isEmpty()) << "manager not open";

    ASSERT_TRUE(manager->open().isSuccess());
    QList<std::int64_t> deviceValues;
    device->setInputValueCallback([&](Result, const Value& value) {
        EXPECT_EQ(value.device.get(), device.get());
        deviceValues.append(value.integerValue);
    });
    device->sendValue(keyA, 2);
    queue->runUntilIdle();
    EXPECT_EQ(values, QList<std::int64_t>{2});
    EXPECT_TRUE(deviceValues.isEmpty()) << "device not scheduled";

    auto valueQueue = device->createQueue(2);
    ASSERT_NE(valueQueue, nullptr);
    int available = 0;
    valueQueue->addElement(keyA);
    valueQueue->setValueAvailableCallback([&](Result) { ++available; });
    valueQueue->scheduleWithMainLoop();
    valueQueue->start();
    device->scheduleWithMainLoop();
    for (int v = 3; v <= 5; ++v)
        device->sendValue(keyA, v);
    device->sendValue(keyB, 9); // not in the queue
    queue->runUntilIdle();
    EXPECT_EQ(deviceValues, (QList<std::int64_t>{3, 4, 5, 9}));
    EXPECT_EQ(available, 3);
    EXPECT_EQ(valueQueue->copyNextValue()->integerValue, 3);
    EXPECT_EQ(valueQueue->copyNextValue()->integerValue, 4); // depth 2: the third value was dropped
    EXPECT_FALSE(valueQueue->copyNextValue().has_value());

    device->sendValue(keyA, 6);
    hid.unplug(device); // values still on their way are lost with the device
    queue->runUntilIdle();
    EXPECT_EQ(values.last(), 9);
}

TEST_F(ScriptedHidTest, DeviceCallsAreRecordedAndFailAsScripted)
{
    auto device = hid.plug(0x1532, 0x022B, QStringLiteral("Keypad"), {{property::maxFeatureReportSize, 91}});
    EXPECT_EQ(device->integerProperty(property::maxFeatureReportSize), 91);
    EXPECT_EQ(device->stringProperty(property::product), QStringLiteral("Keypad"));
    EXPECT_FALSE(device->integerProperty(property::product).has_value());
    EXPECT_FALSE(device->stringProperty(property::vendorId).has_value());
    EXPECT_FALSE(device->integerProperty(property::primaryUsage).has_value());

    EXPECT_EQ(device->setFeatureReport(0, "abc"), Result::notOpen());
    device->failures().failNext(ScriptedCall::open, Result::exclusiveAccess());
    EXPECT_EQ(device->open(OpenOptions::seize), Result::exclusiveAccess());
    EXPECT_FALSE(device->isOpen());
    EXPECT_TRUE(device->open(OpenOptions::seize).isSuccess());
    EXPECT_TRUE(device->isSeized());
    EXPECT_TRUE(device->setFeatureReport(1, "abc").isSuccess());

    device->failures().fail(ScriptedCall::setFeatureReport, Result::error());
    EXPECT_EQ(device->setFeatureReport(0, "x"), Result::error());
    EXPECT_EQ(device->setFeatureReport(0, "y"), Result::error());
    device->failures().fail(ScriptedCall::copyElements, Result::error());
    EXPECT_FALSE(device->copyElements().has_value());
    device->failures().failNext(ScriptedCall::createQueue, Result::noMemory());
    EXPECT_EQ(device->createQueue(32), nullptr);

    EXPECT_EQ(device->sentFeatureReports(), (QList<ScriptedDevice::SentReport>{{1, "abc"}}));
    hid.unplug(device);
    EXPECT_FALSE(device->isOpen());
    EXPECT_EQ(device->close(OpenOptions::seize), Result::noDevice());
    EXPECT_EQ(device->calls(),
        (QStringList{"setFeatureReport 0", "open seize", "open seize", "setFeatureReport 1", "setFeatureReport 0",
            "setFeatureReport 0", "copyElements", "createQueue 32", "close seize"}));
}

TEST_F(ScriptedHidTest, ReportsAreCutToTheRegisteredBufferAndNeedScheduling)
{
    auto device = hid.plug(0x1532, 0x0244, std::nullopt);
    QList<QByteArray> reports;
    device->setInputReportCallback(4, [&](Result result, ReportType type, std::uint32_t id, const QByteArray& report) {
        EXPECT_TRUE(result.isSuccess());
        EXPECT_EQ(type, ReportType::input);
        EXPECT_EQ(id, 0u);
        reports.append(report);
    });
    device->sendReport(0, QByteArray::fromHex("0200040000000000"));
    queue->runUntilIdle();
    EXPECT_TRUE(reports.isEmpty());
    device->scheduleWithMainLoop();
    device->sendReport(0, QByteArray::fromHex("0200040000000000"));
    queue->runUntilIdle();
    EXPECT_EQ(reports, QList<QByteArray>{QByteArray::fromHex("02000400")});
}

TEST_F(ScriptedHidTest, ManagerFailuresApplyToManagersMadeLater)
{
    hid.managerFailures().failNext(ScriptedCall::managerOpen, Result::notPermitted());
    auto manager = Manager::create();
    EXPECT_EQ(manager->open(), Result::notPermitted());
    EXPECT_TRUE(manager->open().isSuccess());
    EXPECT_EQ(hid.managerCalls(), (QStringList{"open", "open"}));
}

TEST(HidResult, PrintsEightUpperCaseDigitsAndMapsSystemErrors)
{
    EXPECT_EQ(Result::exclusiveAccess().hex(), QStringLiteral("E00002C5"));
    EXPECT_EQ(Result(0x2A).hex(), QStringLiteral("0000002A"));
    const std::pair<int, Result> errors[] = {{0, Result::success()},          {EBUSY, Result::exclusiveAccess()},
                                             {EACCES, Result::notPermitted()}, {EPERM, Result::notPrivileged()},
                                             {ENODEV, Result::noDevice()},     {EIO, Result::error()}};
    for (const auto& [error, result] : errors)
        EXPECT_EQ(Result::fromErrno(error), result) << error;
}
