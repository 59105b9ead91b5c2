#include "platform/Bundle.h"
#include "platform/Paths.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velmor;

TEST(Bundle, FindsResourcesByNameAndExtensionInAFixtureFolder)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath("Icons");
    test::writeFile(dir.filePath("SeedProfiles.json"), "{}");
    test::writeFile(dir.filePath("Icons/b.svg"), "<svg/>");
    test::writeFile(dir.filePath("a.svg"), "<svg/>");

    const Bundle bundle(dir.path());
    EXPECT_EQ(bundle.data("SeedProfiles", "json"), QByteArray("{}"));
    EXPECT_FALSE(bundle.url("SeedProfiles", "txt").has_value());
    EXPECT_FALSE(bundle.data("Missing", "json").has_value());
    EXPECT_EQ(bundle.urls("svg"), (QStringList{dir.filePath("Icons/b.svg"), dir.filePath("a.svg")}));

    Bundle::setMainRoot(dir.path());
    EXPECT_EQ(Bundle::main().root(), dir.path());
    Bundle::setMainRoot({});
    EXPECT_EQ(Bundle::main().root(), ":/bundle");
}

TEST(Paths, ApplicationSupportIsCreatedAndCanBeRedirected)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("nested/Velmor");
    paths::setApplicationSupportOverride(target);
    EXPECT_EQ(paths::applicationSupport(), target);
    EXPECT_TRUE(QDir(target).exists());
    paths::setApplicationSupportOverride({});

    // Without an override: "Velmor" under the XDG data home (kept inside the test's folder).
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    EXPECT_EQ(paths::applicationSupport(), dir.filePath("data/Velmor"));
    EXPECT_TRUE(QDir(dir.filePath("data/Velmor")).exists());
    if (savedDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedDataHome);
}

TEST(Settings, InMemoryBackendReplacesTheProcessWideSettings)
{
    ScopedInMemorySettings scoped;
    Settings::instance().setValue("Velmor.key", QByteArray("[1]"));
    EXPECT_EQ(scoped->value("Velmor.key").toByteArray(), QByteArray("[1]"));
    Settings::instance().remove("Velmor.key");
    EXPECT_FALSE(scoped->value("Velmor.key").isValid());
}
