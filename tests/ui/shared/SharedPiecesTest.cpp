#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/ToastView.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace velmor;

namespace {

QImage grab(QWidget& widget) { return widget.grab().toImage(); }

int countPixels(const QImage& image, const std::function<bool(const QColor&)>& match)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += match(image.pixelColor(x, y)) ? 1 : 0;
    }
    return count;
}

} // namespace

TEST(GlassCard, FillsWhatItIsGivenAndLeavesItsContentUnclipped)
{
    GlassCard card(0);
    auto* content = new QWidget;
    card.setContent(content);
    card.resize(200, 120);
    card.show();
    // With no padding the content lies flush with the card's edge, corners included.
    EXPECT_EQ(content->geometry(), QRect(0, 0, 200, 120));

    GlassCard padded(16);
    padded.setContent(new QWidget);
    padded.resize(300, 200);
    padded.show();
    EXPECT_EQ(padded.content()->geometry(), QRect(16, 16, 268, 168));
    // The card is drawn from the panel gradient: no pixel is left unpainted inside it.
    const QImage image = grab(padded);
    EXPECT_EQ(image.pixelColor(150, 100).alpha(), 255);
    EXPECT_LT(image.pixelColor(150, 100).lightness(), 60);
}

TEST(NiceButton, PressedLookChangesThePictureButNotTheSize)
{
    NiceButton button(QStringLiteral("plus"), QStringLiteral("New Profile"), {Theme::accentCyan(), Qt::white});
    button.resize(button.sizeHint());
    button.show();
    const QSize size = button.size();
    EXPECT_EQ(size.height(), button.fontMetrics().height() * 115 / 100 + 2 * NiceButton::verticalPadding);
    const QImage idle = grab(button);

    QSignalSpy clicked(&button, &QPushButton::clicked);
    QTest::mousePress(&button, Qt::LeftButton);
    EXPECT_TRUE(button.isDown());
    const QImage pressed = grab(button);
    EXPECT_EQ(button.size(), size);
    EXPECT_EQ(button.sizeHint(), size);
    EXPECT_NE(pressed, idle);
    // Pressed, the gradient is dimmer: fewer bright cyan pixels.
    const auto brightCyan = [](const QColor& c) { return c.blue() > 200 && c.green() > 150 && c.red() < 100; };
    EXPECT_LT(countPixels(pressed, brightCyan), countPixels(idle, brightCyan));
    QTest::mouseRelease(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(grab(button), idle);

    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(ToastView, AnEmptyMessageStillShowsTheCheckOnItsPaddedBackground)
{
    ToastView empty;
    ToastView saved(QStringLiteral("Saved"));
    EXPECT_GT(saved.sizeHint().width(), empty.sizeHint().width());
    EXPECT_EQ(saved.sizeHint().height(), empty.sizeHint().height());
    EXPECT_GE(empty.sizeHint().width(), 24 + 15); // both paddings and the symbol
    EXPECT_GE(empty.sizeHint().height(), 16 + 15);

    empty.resize(empty.sizeHint());
    empty.show();
    const QImage image = grab(empty);
    const auto green = [](const QColor& c) { return c.green() > 150 && c.red() < 120 && c.blue() < 140; };
    EXPECT_GT(countPixels(image, green), 20);
    EXPECT_GT(image.pixelColor(image.width() / 2, 2).alpha(), 230); // the rounded surface, 0.95 opaque

    saved.setMessage(QString());
    EXPECT_EQ(saved.sizeHint(), empty.sizeHint());
}

TEST(SheetHost, EscapeAndTheCloseButtonDismissThroughTheSheetAndReturnConfirmsNothing)
{
    QWidget window;
    QString name = QStringLiteral("Neuro");
    QStringList log;
    SheetHost* host = nullptr;
    auto* sheet = new RenameUserProfileSheet(Binding<QString>::of(name), [&] { log << "save"; },
                                             [&] {
                                                 log << "cancel";
                                                 host->done(QDialog::Rejected);
                                             });
    host = new SheetHost(sheet, [&] { log << "dismiss"; }, &window);
    window.show();
    host->show();

    auto* field = sheet->findChild<QLineEdit*>(QStringLiteral("name"));
    QTest::keyClick(field, Qt::Key_Return);
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_EQ(log, QStringList{"dismiss"});
    EXPECT_TRUE(host->isVisible()); // only the presenter hides it

    QTest::mouseClick(sheet->findChild<QPushButton*>(QStringLiteral("save")), Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"dismiss", "save", "cancel"}));
    EXPECT_FALSE(host->isVisible());
}

TEST(ElidingComboBox, ALongEntryIsCutWithAnEllipsisAndAShortOneKeptWhole)
{
    ElidingComboBox box;
    box.addItem(QStringLiteral("SpeechMike Premium Air with a long name"));
    box.addItem(QStringLiteral("Mouse"));
    box.setFixedWidth(180);
    box.show();

    const QString shown = box.shownText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LT(box.fontMetrics().horizontalAdvance(shown), 180);

    box.setCurrentIndex(1);
    EXPECT_EQ(box.shownText(), QStringLiteral("Mouse"));
    box.setFixedWidth(600);
    box.setCurrentIndex(0);
    EXPECT_EQ(box.shownText(), box.currentText());
}

// A name in a menu item or on a button is shown as the text it is: an '&'
// marks no shortcut key. (Tooltips: the mapping window's tests.)
TEST(PlainText, MenuItemsShowNamesAsTheyAre)
{
    QAction action(plainText::actionText("R&D Keypad && Co"));
    EXPECT_EQ(action.iconText(), "R&D Keypad && Co");
    EXPECT_EQ(QKeySequence::mnemonic(action.text()), QKeySequence()) << "no Alt shortcut";
    EXPECT_EQ(plainText::toolTip("Zoom & Pan <3"), "Zoom & Pan <3") << "read as text already: unchanged";
}
