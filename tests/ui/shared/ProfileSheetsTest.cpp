#include "ui/shared/NewUserProfileForm.h"
#include "platform/Text.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/NewUserProfileSheet.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

// The presenter's values behind the sheet's bindings, with a log of every write
// and callback in the order they happened.
struct Presenter {
    QString name;
    std::optional<QUuid> pacsId;
    std::optional<QString> deviceId;
    QStringList log;

    NewUserProfileForm form(QList<PacsProfile> pacs, QList<Device> devices)
    {
        return NewUserProfileForm(
            Binding<QString>([this] { return name; }, [this](const QString& v) { name = v, log << "name=" + v; }),
            Binding<std::optional<QUuid>>([this] { return pacsId; },
                                          [this](const std::optional<QUuid>& v) {
                                              pacsId = v, log << "pacs=" + (v ? v->toString() : "none");
                                          }),
            Binding<std::optional<QString>>([this] { return deviceId; },
                                            [this](const std::optional<QString>& v) {
                                                deviceId = v, log << "device=" + v.value_or("none");
                                            }),
            std::move(pacs), std::move(devices), [this] { log << "create"; }, [this] { log << "cancel"; });
    }
};

PacsProfile pacs(const char* name)
{
    PacsProfile profile;
    profile.id = QUuid::createUuid();
    profile.name = QString::fromLatin1(name);
    return profile;
}

Device device(const char* id, const char* name)
{
    Device device;
    device.id = QString::fromLatin1(id);
    device.name = QString::fromLatin1(name);
    return device;
}

const QList<PacsProfile> twoPacs{pacs("Intelerad"), pacs("eUnity")};
const QList<Device> twoDevices{device("tartarus_v2", "Razer Tartarus"), device("speechmike_smp3700", "SpeechMike")};

} // namespace

TEST(NewUserProfileForm, ShowsTheFirstEntriesWithoutWritingThemUntilCreate)
{
    Presenter presenter;
    NewUserProfileForm form = presenter.form(twoPacs, twoDevices);
    EXPECT_EQ(form.shownPacsIndex(), 0);
    EXPECT_EQ(form.shownDeviceIndex(), 0);
    EXPECT_TRUE(presenter.log.isEmpty());

    // What is shown is what gets created: the fallbacks are written first.
    form.create();
    EXPECT_EQ(presenter.log, QStringList({"pacs=" + twoPacs[0].id.toString(), "device=tartarus_v2", "create", "cancel"}));

    // Bound values are kept as they are; the pickers write what the user picks.
    presenter.log.clear();
    form.choosePacs(1);
    form.chooseDevice(5); // no such entry
    EXPECT_EQ(form.shownPacsIndex(), 1);
    form.create();
    EXPECT_EQ(presenter.log, QStringList({"pacs=" + twoPacs[1].id.toString(), "create", "cancel"}));

    presenter.log.clear();
    form.cancel();
    EXPECT_EQ(presenter.log, QStringList{"cancel"});
}

TEST(NewUserProfileForm, EmptyListsAndUnknownIdsShowNoSelectionAndWriteNothing)
{
    Presenter presenter;
    NewUserProfileForm empty = presenter.form({}, {});
    EXPECT_EQ(empty.shownPacsIndex(), -1);
    EXPECT_EQ(empty.shownDeviceIndex(), -1);
    empty.create();
    EXPECT_EQ(presenter.log, QStringList({"create", "cancel"}));
    EXPECT_EQ(presenter.pacsId, std::nullopt);

    presenter.log.clear();
    presenter.pacsId = QUuid::createUuid();
    presenter.deviceId = QString();
    NewUserProfileForm stale = presenter.form(twoPacs, twoDevices);
    EXPECT_EQ(stale.shownPacsIndex(), -1);
    EXPECT_EQ(stale.shownDeviceIndex(), -1);
    stale.create();
    EXPECT_EQ(presenter.log, QStringList({"create", "cancel"}));
}

TEST(NewUserProfileSheet, WritesThroughItsBindingsAndReturnConfirmsNothing)
{
    Presenter presenter;
    presenter.name = QStringLiteral("Dr");
    NewUserProfileSheet sheet(presenter.form(twoPacs, twoDevices));
    auto* name = sheet.findChild<QLineEdit*>(QStringLiteral("name"));
    auto* pacsPicker = sheet.findChild<QComboBox*>(QStringLiteral("pacs"));
    ASSERT_TRUE(name && pacsPicker);
    EXPECT_EQ(name->text(), QStringLiteral("Dr"));
    EXPECT_EQ(pacsPicker->currentText(), text::displayName("Intelerad"));

    QTest::keyClicks(name, QStringLiteral(" A"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(presenter.name, QStringLiteral("Dr A")); // typed text reaches the binding untrimmed
    EXPECT_EQ(presenter.log, QStringList({"name=Dr ", "name=Dr A"}));

    presenter.log.clear();
    QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("create")), Qt::LeftButton);
    EXPECT_EQ(presenter.log, QStringList({"pacs=" + twoPacs[0].id.toString(), "device=tartarus_v2", "create", "cancel"}));
    presenter.log.clear();
    QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    EXPECT_EQ(presenter.log, QStringList{"cancel"});
}

// A long name is cut with "…" in its picker; the sheet keeps its width.
TEST(NewUserProfileSheet, ALongNameDoesNotWidenTheSheet)
{
    Presenter presenter;
    const QList<PacsProfile> shortNames{pacs("eUnity")};
    const int usual = NewUserProfileSheet(presenter.form(shortNames, twoDevices)).sizeHint().width();
    const QByteArray longName(300, 'W');
    NewUserProfileSheet sheet(presenter.form({pacs(longName.constData())}, {device("d", longName.constData())}));
    EXPECT_EQ(sheet.sizeHint().width(), usual);
    sheet.show();
    const auto* picker = dynamic_cast<ElidingComboBox*>(sheet.findChild<QComboBox*>(QStringLiteral("pacs")));
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->shownText().contains(QChar(0x2026)));
    EXPECT_LT(picker->shownText().size(), 100);
    EXPECT_TRUE(text::shownName(QString::fromLatin1(longName)).startsWith(picker->currentText().chopped(2)));
}

TEST(RenameUserProfileSheet, SaveThenCancelCancelAloneAndTypingWritesTheBinding)
{
    QString name = QStringLiteral("Radiologist - General");
    QStringList log;
    RenameUserProfileSheet sheet(
        Binding<QString>([&] { return name; }, [&](const QString& v) { name = v, log << "name=" + v; }),
        [&] { log << "save:" + name; }, [&] { log << "cancel"; });
    auto* field = sheet.findChild<QLineEdit*>(QStringLiteral("name"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), name);

    field->clear();
    QTest::keyClicks(field, QStringLiteral("Neuro"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(log.last(), QStringLiteral("name=Neuro"));
    log.clear();
    QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("save")), Qt::LeftButton);
    QTest::mouseClick(sheet.findChild<QPushButton*>(QStringLiteral("cancel")), Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"save:Neuro", "cancel", "cancel"}));
}
