#include "ui/admin/SFSymbolPickerController.h"

#include "model/CustomIconLibrary.h"
#include "support/InProcessIconRenderer.h"
#include "support/TestSupport.h"
#include "ui/shared/SymbolIcons.h"

#include <QDir>
#include <QSet>

namespace velmor {
namespace {

const QByteArray squareSvg = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="10" height="10"/></svg>)";

class SymbolPickerTest : public test::PlatformFixture {
protected:
    SymbolPickerTest() { QDir().mkpath(customIconsDirectory()); }
    void addIcon(const QString& fileName) { test::writeFile(QDir(customIconsDirectory()).filePath(fileName), squareSvg); }
    static QStringList names(const QList<CustomIcon>& icons)
    {
        QStringList names;
        for (const CustomIcon& icon : icons)
            names.append(icon.fileName());
        return names;
    }

    test::InProcessIconRenderer renderer;
    CustomIconLibrary library;
};

TEST_F(SymbolPickerTest, SystemSymbolsAreTheDrawableNamesInPlainOrder)
{
    const QStringList& symbols = SFSymbolPickerController::systemSymbols();
    ASSERT_FALSE(symbols.isEmpty());
    EXPECT_TRUE(std::is_sorted(symbols.begin(), symbols.end()));
    for (const QString& name : symbols)
        EXPECT_TRUE(SymbolIcons::instance().contains(name)) << name.toStdString();

    const QStringList& fallback = SFSymbolPickerController::fallbackSymbolNames();
    EXPECT_EQ(fallback.size(), 106);
    EXPECT_EQ(QSet<QString>(fallback.begin(), fallback.end()).size(), 104);
    EXPECT_EQ(fallback.at(41), "square");
    EXPECT_EQ(fallback.at(98), "square");
    EXPECT_EQ(fallback.first(), "hand.draw");
}

TEST_F(SymbolPickerTest, SearchFiltersEitherLibraryAndSurvivesAScopeSwitch)
{
    addIcon("Arrow Head.svg");
    addIcon("ct.svg");
    SFSymbolPickerController picker({ToolIconSource::system, "trash"}, {"arrow.left", "trash", "Arrow.up", "a b"},
                                    library);
    EXPECT_EQ(picker.state().get().scope, IconPickerScope::system);
    EXPECT_EQ(picker.state().get().currentName, "trash");
    EXPECT_EQ(picker.state().get().searchPlaceholder, "Search symbols");

    picker.setSearchText("ARROW");
    EXPECT_EQ(picker.state().get().filteredSymbols, QStringList({"arrow.left", "Arrow.up"}));
    picker.setSearchText(" ");
    EXPECT_EQ(picker.state().get().filteredSymbols, QStringList({"a b"})) << "the search text is not trimmed";
    picker.setSearchText("zzz");
    EXPECT_TRUE(picker.state().get().filteredSymbols.isEmpty());

    picker.setSearchText("arrow");
    picker.setScope(IconPickerScope::custom);
    EXPECT_EQ(picker.state().get().searchText, "arrow");
    EXPECT_EQ(names(picker.state().get().filteredCustomIcons), QStringList({"Arrow Head.svg"}));
    EXPECT_EQ(picker.state().get().searchPlaceholder, "Search icons");
    picker.setSearchText(".svg");
    EXPECT_TRUE(picker.state().get().filteredCustomIcons.isEmpty()) << "display names have no extension";
    picker.setSearchText("");
    EXPECT_EQ(names(picker.state().get().filteredCustomIcons), QStringList({"Arrow Head.svg", "ct.svg"}));
    EXPECT_EQ(picker.state().get().iconsFolder, customIconsDirectory());
}

TEST_F(SymbolPickerTest, ACustomIconStartsOnTheCustomLibraryAndIsReportedWithItsExtension)
{
    addIcon("ct.svg");
    SFSymbolPickerController picker({ToolIconSource::custom, "ct.svg"}, {"trash"}, library);
    EXPECT_EQ(picker.state().get().scope, IconPickerScope::custom);
    EXPECT_EQ(picker.state().get().currentName, "ct");

    std::optional<ToolIconSelection> picked;
    int cancelled = 0;
    picker.onSelect = [&](const ToolIconSelection& selection) { picked = selection; };
    picker.onCancel = [&] { ++cancelled; };
    picker.select({ToolIconSource::custom, "ct.svg"});
    EXPECT_EQ(picked, (ToolIconSelection{ToolIconSource::custom, "ct.svg"}));
    picker.cancel();
    EXPECT_EQ(cancelled, 1);

    QUrl opened;
    picker.openUrl = [&](const QUrl& url) { return opened = url, true; };
    picker.openIconsFolder();
    EXPECT_EQ(opened, QUrl::fromLocalFile(customIconsDirectory()));
}

TEST_F(SymbolPickerTest, FilesAddedWhileOpenAppearOnReloadWithTheImageCacheEmptied)
{
    addIcon("a.svg");
    SFSymbolPickerController picker({ToolIconSource::system, "trash"}, {}, library);
    library.customIconImage("a.svg");
    queue->runUntilIdle();
    ASSERT_TRUE(library.customIconImage("a.svg"));
    ASSERT_EQ(library.imageCache().count(), 1);

    addIcon("b.svg");
    EXPECT_EQ(names(picker.state().get().filteredCustomIcons), QStringList({"a.svg"}));
    picker.reloadCustomIcons();
    EXPECT_EQ(names(picker.state().get().filteredCustomIcons), QStringList({"a.svg", "b.svg"}));
    EXPECT_EQ(library.imageCache().count(), 0);
}

TEST(IconPickerScope, TextsAndLabels)
{
    EXPECT_EQ(iconPickerScopeFromText(toText(IconPickerScope::custom)), IconPickerScope::custom);
    EXPECT_EQ(iconPickerScopeFromText("System"), std::nullopt);
    EXPECT_EQ(scopeLabel(IconPickerScope::system), "SF Symbols");
}

} // namespace
} // namespace velmor
