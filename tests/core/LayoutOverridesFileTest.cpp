#include "core/LayoutOverridesFile.h"

#include "platform/Json.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

TEST(LayoutOverridesFileTest, PrettyPrintedWithSortedKeysAtEveryLevel)
{
    LayoutOverrides overrides;
    overrides["tartarus_v2"]["K02"] = {0.5, 0.25, 0.125, 1};
    overrides["tartarus_v2"]["K01"] = {0, 0, 0.1, 0.2};
    overrides["empty"];
    const QByteArray bytes = LayoutOverridesFile::encode(overrides);
    EXPECT_EQ(bytes.toStdString(), R"({
    "empty": {
    },
    "tartarus_v2": {
        "K01": {
            "height": 0.2,
            "width": 0.1,
            "x": 0,
            "y": 0
        },
        "K02": {
            "height": 1,
            "width": 0.125,
            "x": 0.5,
            "y": 0.25
        }
    }
}
)");
    EXPECT_EQ(LayoutOverridesFile::decode(bytes), overrides);
    for (const char* bad : {"null", R"({"d": []})", R"({"d": {"b": {"x": "0", "y": 0, "width": 1, "height": 1}}})"})
        EXPECT_THROW(LayoutOverridesFile::decode(bad), json::DecodeError) << bad;
}

} // namespace
} // namespace velmor
