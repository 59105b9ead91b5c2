#include "core/CloudKitEntitlements.h"

#include "platform/Entitlements.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

struct EntitlementsGuard {
    ~EntitlementsGuard() { Entitlements::resetCurrent(); }
};

bool gateWith(const char* json)
{
    Entitlements::setCurrent(Entitlements(QJsonDocument::fromJson(json).object()));
    return hasCloudKitEntitlements();
}

} // namespace

TEST(CloudKitEntitlements, ContainersOrACloudKitServiceOpenTheGate)
{
    EntitlementsGuard guard;
    EXPECT_FALSE(hasCloudKitEntitlements()) << "the shipped entitlements grant no container";

    EXPECT_TRUE(gateWith(R"({"com.apple.developer.icloud-container-identifiers": ["iCloud.a"]})"));
    EXPECT_TRUE(gateWith(R"({"com.apple.developer.icloud-container-identifiers": [],
                             "com.apple.developer.icloud-services": ["CloudDocuments", "CloudKit"]})"));
    EXPECT_FALSE(gateWith(R"({"com.apple.developer.icloud-container-identifiers": [],
                              "com.apple.developer.icloud-services": ["CloudDocuments"]})"));
    EXPECT_FALSE(gateWith(R"({"com.apple.developer.icloud-services": ["cloudkit"]})")) << "exact text only";
    EXPECT_FALSE(gateWith(R"({"com.apple.developer.icloud-services": "CloudKit"})")) << "not a list";
    EXPECT_FALSE(gateWith(R"({"com.apple.developer.icloud-services": ["CloudKit", 1]})")) << "not all strings";
    // A container list of the wrong shape falls through to the services.
    EXPECT_TRUE(gateWith(R"({"com.apple.developer.icloud-container-identifiers": [1],
                             "com.apple.developer.icloud-services": ["CloudKit"]})"));

    Entitlements::setCurrent(std::nullopt);
    EXPECT_FALSE(hasCloudKitEntitlements()) << "unreadable entitlements";
}
