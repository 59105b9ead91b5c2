#include "core/CloudKitEntitlements.h"

#include "platform/Entitlements.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace velmor;

TEST(CloudKitEntitlements, AContainerListOrACloudKitServiceOpensTheGate)
{
    EXPECT_FALSE(hasCloudKitEntitlements()) << "the shipped entitlements grant no container";
    const QString containers = "\"com.apple.developer.icloud-container-identifiers\"";
    const QString services = "\"com.apple.developer.icloud-services\"";
    const QList<std::pair<QString, bool>> cases{
        {containers + ": [\"iCloud.a\"]", true},
        {containers + ": [], " + services + ": [\"CloudDocuments\", \"CloudKit\"]", true},
        {containers + ": [1], " + services + ": [\"CloudKit\"]", true},
        {containers + ": [], " + services + ": [\"CloudDocuments\"]", false},
        {services + ": [\"cloudkit\"]", false},
        {services + ": \"CloudKit\"", false},
        {services + ": [\"CloudKit\", 1]", false},
    };
    for (const auto& [json, expected] : cases) {
        Entitlements::setCurrent(Entitlements(QJsonDocument::fromJson(('{' + json + '}').toUtf8()).object()));
        EXPECT_EQ(hasCloudKitEntitlements(), expected) << json.toStdString();
    }
    Entitlements::setCurrent(std::nullopt);
    EXPECT_FALSE(hasCloudKitEntitlements()) << "unreadable entitlements";
    Entitlements::resetCurrent();
}
