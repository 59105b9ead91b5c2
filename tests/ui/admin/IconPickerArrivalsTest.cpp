#include "ui/admin/widgets/SFSymbolPicker.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderer.h"
#include "support/TestSupport.h"
#include "ui/admin/IconGridModel.h"
#include "ui/shared/CustomIconFeed.h"

#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <vector>

namespace velmor {
namespace {

// Holds every drawing asked for until the test answers it.
class HeldIconRenderer final : public IconRenderer {
public:
    HeldIconRenderer() { IconRenderer::setShared(this); }
    ~HeldIconRenderer() override { IconRenderer::setShared(nullptr); }

    std::optional<IconRenderResult> knownByKey(const QString&) override { return std::nullopt; }
    void render(IconRenderRequest request, Done done) override
    {
        asked.push_back({std::move(request), std::move(done)});
    }
    // Answers the drawing asked for under that name with a small drawn image.
    bool draw(const QString& name)
    {
        for (auto it = asked.begin(); it != asked.end(); ++it) {
            if (it->request.name != name)
                continue;
            QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::black);
            const Done done = std::move(it->done);
            asked.erase(it);
            done({IconRenderOutcome::drawn, image});
            return true;
        }
        return false;
    }
    QStringList names() const
    {
        QStringList names;
        for (const auto& held : asked)
            names.append(held.request.name);
        return names;
    }

    struct Held {
        IconRenderRequest request;
        Done done;
    };
    std::vector<Held> asked;
};

// What the grid shows in that row: the same key for the same picture.
qint64 pictureKey(const QListView* grid, int row)
{
    return grid->model()->index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey();
}

QString iconName(int i) { return QStringLiteral("grid %1.svg").arg(i, 4, 10, QChar('0')); }

class IconPickerArrivalsTest : public test::PlatformFixture {
protected:
    IconPickerArrivalsTest()
    {
        const QDir folder(customIconsDirectory());
        for (int i = 0; i < count; ++i)
            test::writeFile(folder.filePath(iconName(i)),
                            R"(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width=")"
                                + QByteArray::number(i % 4 + 1) + R"(" height="4"/></svg>)" + QByteArray::number(i));
        // Written anew: what an earlier test drew of them is gone.
        CustomIconLibrary::shared().iconFilesChanged();
    }
    // Turns the main queue (a frame at a time) until `done` or nothing more comes.
    bool pump(const std::function<bool()>& done)
    {
        return QTest::qWaitFor([&] {
            queue->runUntilIdle();
            queue->advance(CustomIconFeed::frame);
            return done();
        }, 30'000);
    }

    static constexpr int count = 2'000;
    // The picker on the custom icons, shown, and its grid.
    QListView* openPicker()
    {
        picker = std::make_unique<SFSymbolPicker>(ToolIconSelection{ToolIconSource::custom, iconName(0)});
        picker->resize(560, 520);
        picker->show();
        return picker->findChild<QListView*>("iconGrid");
    }

    HeldIconRenderer renderer;
    // Gone before the renderer: its feed asks no more.
    std::unique_ptr<SFSymbolPicker> picker;
};

// Over 2,000 icons the picker asks for those on screen first, keeps only a few lookups
// under way, and an arrival changes only its own row, at most once a frame.
TEST_F(IconPickerArrivalsTest, ArrivalsChangeOnlyTheirOwnRowsAndTheIconsOnScreenComeFirst)
{
    QListView* grid = openPicker();
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->model()->rowCount(), count);
    ASSERT_TRUE(pump([&] { return renderer.asked.size() >= 20; }));
    EXPECT_LE(int(renderer.asked.size()), CustomIconFeed::maxUnderWay) << "the whole list is not queued at once";
    EXPECT_EQ(renderer.asked.front().request.name, iconName(0));

    const qint64 missing = pictureKey(grid, 5);
    EXPECT_EQ(pictureKey(grid, 1'000), missing) << "not drawn yet: the one shared picture";
    QSignalSpy changed(grid->model(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(renderer.draw(iconName(0)));
    ASSERT_TRUE(renderer.draw(iconName(7)));
    ASSERT_TRUE(renderer.draw(iconName(12)));
    queue->runUntilIdle();
    EXPECT_EQ(changed.count(), 0) << "arrivals wait for the frame";
    ASSERT_TRUE(pump([&] { return changed.count() >= 3; }));
    QSet<int> rows;
    for (const QList<QVariant>& signal : changed)
        for (int row = signal[0].toModelIndex().row(); row <= signal[1].toModelIndex().row(); ++row)
            rows.insert(row);
    EXPECT_EQ(rows, (QSet<int>{0, 7, 12}));
    EXPECT_NE(pictureKey(grid, 7), missing);
    EXPECT_EQ(pictureKey(grid, 8), missing);

    // Scrolled to the end: what is on screen there is asked for next, before the rows between.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    while (!renderer.asked.empty())
        renderer.draw(renderer.asked.front().request.name);
    ASSERT_TRUE(pump([&] { return !renderer.asked.empty(); }));
    const QStringList next = renderer.names();
    EXPECT_TRUE(next.contains(iconName(count - 1))) << next.join(", ").toStdString();

    // Everything drawn in the end, each row changed once for its own drawing.
    changed.clear();
    ASSERT_TRUE(pump([&] {
        while (!renderer.asked.empty())
            renderer.draw(renderer.asked.front().request.name);
        return CustomIconLibrary::shared().lookupsUnderWay() == 0 && pictureKey(grid, count / 2) != missing
            && pictureKey(grid, count - 1) != missing;
    }));
    QList<int> changedRows;
    for (const QList<QVariant>& signal : changed)
        changedRows.append(signal[0].toModelIndex().row());
    EXPECT_EQ(QSet<int>(changedRows.begin(), changedRows.end()).size(), changedRows.size()) << "no row changed twice";
}

// Icon files replaced (a download): every cell shows the missing-icon picture again until
// its new drawing arrives, and each is asked for again.
TEST_F(IconPickerArrivalsTest, ReplacedFilesShowTheirNewDrawingsAsTheyArrive)
{
    QListView* grid = openPicker();
    ASSERT_TRUE(grid);
    const qint64 missing = pictureKey(grid, 3);
    ASSERT_TRUE(pump([&] { return renderer.draw(iconName(2)); }));
    ASSERT_TRUE(pump([&] { return pictureKey(grid, 2) != missing; }));

    CustomIconLibrary::shared().iconFilesChanged();
    ASSERT_TRUE(pump([&] { return pictureKey(grid, 2) == missing; })) << "the old drawing goes";
    // The drawings still held make room as they end.
    ASSERT_TRUE(pump([&] {
        while (!renderer.asked.empty() && renderer.asked.front().request.name != iconName(2))
            renderer.draw(renderer.asked.front().request.name);
        return renderer.names().count(iconName(2)) == 1;
    })) << "asked for again";
    ASSERT_TRUE(renderer.draw(iconName(2)));
    EXPECT_TRUE(pump([&] { return pictureKey(grid, 2) != missing; }));
}

// With all 2,000 drawn, a key typed into the search costs what is on screen: the cells
// shown ask for their pictures (made once, kept across keys), not one per listed icon.
TEST_F(IconPickerArrivalsTest, AKeystrokeOverThousandsOfDrawnIconsTouchesOnlyTheCellsShown)
{
    QListView* grid = openPicker();
    ASSERT_TRUE(grid);
    ASSERT_TRUE(pump([&] {
        while (!renderer.asked.empty())
            renderer.draw(renderer.asked.front().request.name);
        return CustomIconLibrary::shared().lookupsUnderWay() == 0 && renderer.asked.empty()
            && CustomIconLibrary::shared().imageCache().image(iconName(count - 1));
    }));
    QCoreApplication::processEvents();
    const auto* cells = dynamic_cast<const IconGridModel*>(grid->model());
    ASSERT_TRUE(cells);
    const int shown = 5 * (grid->viewport()->height() / grid->gridSize().height() + 2);
    auto* search = picker->findChild<QLineEdit*>("iconSearch");
    QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
    int listed = count;
    for (const char key : QByteArray("grid 17")) {
        const int before = cells->picturesAsked();
        QTest::keyClick(search, key);
        QCoreApplication::processEvents();
        ASSERT_TRUE(grid->grab().size().isValid()); // painted
        EXPECT_LE(cells->picturesAsked() - before, 2 * shown) << "key '" << key << "'";
        EXPECT_LE(grid->model()->rowCount(), listed);
        listed = grid->model()->rowCount();
    }
    EXPECT_EQ(listed, 100) << "grid 1700 to grid 1799";

    // The library lets drawings go (it holds only so many): the pictures made stay.
    const qint64 shownPicture = pictureKey(grid, 0);
    CustomIconLibrary::shared().imageCache().removeAll();
    EXPECT_EQ(pictureKey(grid, 0), shownPicture);
    EXPECT_LE(resets.count(), 7) << "one new list per key at most, no row rebuilt alone";
    EXPECT_LT(grid->findChildren<QWidget*>().size(), 20) << "no widget per cell";
}

} // namespace
} // namespace velmor
