#include "ui/admin/widgets/SFSymbolPicker.h"

#include "model/CustomIconLibrary.h"
#include "model/IconRenderer.h"
#include "support/TestSupport.h"
#include "ui/shared/CustomIconFeed.h"

#include <QDir>
#include <QListWidget>
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
    QListWidget* openPicker()
    {
        picker = std::make_unique<SFSymbolPicker>(ToolIconSelection{ToolIconSource::custom, iconName(0)});
        picker->resize(560, 520);
        picker->show();
        return picker->findChild<QListWidget*>("iconGrid");
    }

    HeldIconRenderer renderer;
    // Gone before the renderer: its feed asks no more.
    std::unique_ptr<SFSymbolPicker> picker;
};

// Over 2,000 icons the picker asks for those on screen first, keeps only a few lookups
// under way, and an arrival changes only its own row, at most once a frame.
TEST_F(IconPickerArrivalsTest, ArrivalsChangeOnlyTheirOwnRowsAndTheIconsOnScreenComeFirst)
{
    QListWidget* grid = openPicker();
    ASSERT_TRUE(grid);
    ASSERT_EQ(grid->count(), count);
    ASSERT_TRUE(pump([&] { return renderer.asked.size() >= 20; }));
    EXPECT_LE(int(renderer.asked.size()), CustomIconFeed::maxUnderWay) << "the whole list is not queued at once";
    EXPECT_EQ(renderer.asked.front().request.name, iconName(0));

    const qint64 missing = grid->item(5)->icon().cacheKey();
    EXPECT_EQ(grid->item(1'999)->icon().cacheKey(), missing) << "not drawn yet: the one shared picture";
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
    EXPECT_NE(grid->item(7)->icon().cacheKey(), missing);
    EXPECT_EQ(grid->item(8)->icon().cacheKey(), missing);

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
        return CustomIconLibrary::shared().lookupsUnderWay() == 0 && grid->item(count / 2)->icon().cacheKey() != missing
            && grid->item(count - 1)->icon().cacheKey() != missing;
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
    QListWidget* grid = openPicker();
    ASSERT_TRUE(grid);
    const qint64 missing = grid->item(3)->icon().cacheKey();
    ASSERT_TRUE(pump([&] { return renderer.draw(iconName(2)); }));
    ASSERT_TRUE(pump([&] { return grid->item(2)->icon().cacheKey() != missing; }));

    CustomIconLibrary::shared().iconFilesChanged();
    ASSERT_TRUE(pump([&] { return grid->item(2)->icon().cacheKey() == missing; })) << "the old drawing goes";
    // The drawings still held make room as they end.
    ASSERT_TRUE(pump([&] {
        while (!renderer.asked.empty() && renderer.asked.front().request.name != iconName(2))
            renderer.draw(renderer.asked.front().request.name);
        return renderer.names().count(iconName(2)) == 1;
    })) << "asked for again";
    ASSERT_TRUE(renderer.draw(iconName(2)));
    EXPECT_TRUE(pump([&] { return grid->item(2)->icon().cacheKey() != missing; }));
}

} // namespace
} // namespace velmor
