#include "platform/Text.h"
#include "ui/shared/PlainText.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/AlertBanner.h"
#include "ui/shared/widgets/ElidingComboBox.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/MenuRoom.h"
#include "ui/shared/widgets/NameLabel.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"
#include "ui/shared/widgets/SheetHost.h"
#include "ui/shared/widgets/ToastView.h"

#include <QAction>
#include <QFontMetricsF>
#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QtMath>

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

// The shadow is a picture under the card, the one Qt's drop shadow made on it, and
// it follows the card: a repaint inside the card never renders it again.
TEST(GlassCard, ShadowLooksAsTheDropShadowEffectAndFollowsTheCard)
{
    QWidget window;
    window.resize(400, 300);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto* card = new GlassCard(8, &window);
    card->setGeometry(50, 40, 200, 120);
    window.show();

    // What the effect draws on white, against what the card and its shadow draw.
    QWidget reference;
    reference.resize(400, 300);
    reference.setPalette(palette);
    reference.setAutoFillBackground(true);
    auto* effected = new QWidget(&reference);
    effected->setGeometry(50, 40, 200, 120);
    struct Face : QWidget {
        using QWidget::QWidget;
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            GlassCard::paintCard(painter, QRectF(rect()));
        }
    };
    auto* face = new Face(effected);
    face->setGeometry(0, 0, 200, 120);
    auto* effect = new QGraphicsDropShadowEffect(effected);
    GlassCard::styleShadow(*effect);
    effected->setGraphicsEffect(effect);
    reference.show();
    const QImage expected = grab(reference);
    const QImage actual = grab(window);
    int worst = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QColor a = expected.pixelColor(x, y), b = actual.pixelColor(x, y);
            worst = std::max({worst, std::abs(a.red() - b.red()), std::abs(a.green() - b.green()),
                              std::abs(a.blue() - b.blue())});
        }
    }
    EXPECT_LE(worst, 2);
    // A repaint of a few pixels (a cursor's blink) draws them as the whole picture does.
    const QRect part(236, 148, 30, 24); // across the card's corner and its shadow
    QImage partial(window.size(), QImage::Format_ARGB32_Premultiplied);
    partial.fill(Qt::magenta);
    window.render(&partial, part.topLeft(), QRegion(part));
    int differing = 0;
    for (int y = part.top(); y <= part.bottom(); ++y)
        for (int x = part.left(); x <= part.right(); ++x)
            differing += partial.pixelColor(x, y).rgb() != actual.pixelColor(x, y).rgb();
    EXPECT_EQ(differing, 0);
    // Below the card it is dark, and it went with the card when that moved.
    EXPECT_LT(actual.pixelColor(100, 164).lightness(), 230);
    card->move(150, 140);
    EXPECT_GT(grab(window).pixelColor(100, 164).lightness(), 250);
    EXPECT_LT(grab(window).pixelColor(250, 264).lightness(), 230);
    card->hide();
    EXPECT_GT(grab(window).pixelColor(250, 264).lightness(), 250);
    card->show();
    delete card;
    EXPECT_GT(grab(window).pixelColor(250, 264).lightness(), 250);
    EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
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

// A refill cuts each entry as a fresh room would: a name kept from the last fill
// keeps its cut only while the room is the same, and a renamed entry is cut anew.
TEST(ElidingComboBox, ARefillCutsEachEntryToTheRoomItHasNow)
{
    const auto entries = [](const QString& second) {
        return QList<ElidingComboBox::Entry>{{text::shownName(QString(90, u'M')), 1}, {text::shownName(second), 2},
                                             {text::shownName(QStringLiteral("Short")), 3}};
    };
    const auto expectCutToItsRoom = [](const ElidingComboBox& box, const QList<ElidingComboBox::Entry>& shown) {
        const MenuRoom room(box);
        ASSERT_EQ(box.count(), shown.size());
        for (int i = 0; i < box.count(); ++i)
            EXPECT_EQ(box.itemText(i), room.fitted(shown[i].text)) << i;
    };
    ElidingComboBox box;
    box.showEntries(entries(QString(80, u'W')), 1);
    expectCutToItsRoom(box, entries(QString(80, u'W')));
    box.showEntries(entries(QString(85, u'i')), 2);
    expectCutToItsRoom(box, entries(QString(85, u'i')));
    EXPECT_EQ(box.currentIndex(), 1);

    QFont larger = box.font();
    larger.setPointSizeF(larger.pointSizeF() * 1.5);
    box.setFont(larger);
    box.showEntries(entries(QString(80, u'W')), 3);
    expectCutToItsRoom(box, entries(QString(80, u'W')));
    EXPECT_NE(box.itemText(0), MenuRoom(ElidingComboBox()).fitted(text::shownName(QString(90, u'M'))))
        << "a larger font leaves the name less room";
}

// A picker cuts a name once, by the room each of its places gives it: a closed
// picker wide enough shows a name longer than any count whole, its list cuts the
// name once, and a narrow picker cuts between whole characters with the name's
// pieces in order and an escape whole or left out.
TEST(ElidingComboBox, ANameIsCutOnceByItsRoomWithItsPiecesInOrder)
{
    const QChar ellipsis(0x2026);
    const QString longName = QStringLiteral("Pneumonoultramicroscopic").repeated(10);
    const QString mixed = QStringLiteral("CT Chest \u202E\u05E6\u05D9\u05DC\u05D5\u05DD \u05D7\u05D6\u05D4 Leeds");
    ElidingComboBox box;
    box.showEntries({{text::shownName(longName), 1}, {text::shownName(mixed), 2}}, 1);
    box.setFixedWidth(qCeil(box.fontMetrics().horizontalAdvance(longName)) + 120);
    EXPECT_EQ(box.shownText(), text::shownName(longName));
    const QString entry = box.itemText(0);
    EXPECT_EQ(entry.count(ellipsis), 1);
    EXPECT_TRUE(entry.endsWith(QString(ellipsis) + QChar(0x2069)));
    EXPECT_TRUE(text::shownName(longName).startsWith(entry.chopped(2))) << entry.toStdString();

    box.setCurrentIndex(1);
    const QString whole = text::shownName(mixed);
    for (int width = 90; width <= 320; width += 11) {
        SCOPED_TRACE(width);
        box.setFixedWidth(width);
        const QString shown = box.shownText();
        if (shown == whole)
            continue;
        ASSERT_TRUE(shown.endsWith(QString(ellipsis) + QChar(0x2069))) << shown.toStdString();
        const QString kept = shown.chopped(2);
        EXPECT_TRUE(whole.startsWith(kept)) << shown.toStdString();
        EXPECT_EQ(kept.count(u'\\'), kept.count(QStringLiteral("\\u{202E}"))) << shown.toStdString();
    }
}

// A name label beside a button in a narrow row: the name is cut to the room
// left, the button keeps its size, and a short name is shown whole.
TEST(NameLabel, ALongNameIsCutToTheRoomItGetsAndNeverWidensItsRow)
{
    QWidget row;
    auto* layout = new QHBoxLayout(&row);
    auto* name = new NameLabel(QChar(0x2068) + QString(200, u'W') + QChar(0x2069));
    auto* button = new QPushButton(QStringLiteral("Edit"));
    layout->addWidget(name);
    layout->addWidget(button);
    row.resize(300, 40);
    row.show();
    EXPECT_LE(row.minimumSizeHint().width(), 300);
    EXPECT_GE(button->width(), button->sizeHint().width());
    EXPECT_LE(name->geometry().right(), button->geometry().left());
    const QString shown = name->shownText();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("\u2026\u2069"))) << shown.toStdString();
    EXPECT_LE(QFontMetricsF(name->font()).horizontalAdvance(shown), name->contentsRect().width());
    EXPECT_EQ(name->text().size(), 202) << "the label holds the name";
    EXPECT_FALSE(name->grab().isNull());

    name->setText(QStringLiteral("Dr. Lee"));
    EXPECT_EQ(name->shownText(), QStringLiteral("Dr. Lee"));
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

// A store notice holds names as typed: the banner shows the sentence in its own
// order on one line per text, and a huge name does not grow the banner.
TEST(AlertBanner, ANameInTheMessageCannotReorderBreakOrStretchIt)
{
    AlertBanner banner({});
    banner.setFixedWidth(600);
    const auto* message = banner.findChild<QLabel*>(QStringLiteral("alertMessage"));
    ASSERT_NE(message, nullptr);
    const QString name = QString("Dr. Lee") + QChar(0x202E) + "\nNight";
    banner.setAlert({QUuid::createUuid(), "Import Successful", "User profile '" + name + "' has been imported.",
                     AlertMessage::Severity::success});
    EXPECT_EQ(message->text(), "User profile 'Dr. Lee\\u{202E}\\nNight' has been imported.");
    const int oneLine = banner.heightForWidth(600);

    banner.setAlert({QUuid::createUuid(), "Import Successful",
                     "User profile '" + QString(10'000, 'w') + "' has been imported.", AlertMessage::Severity::success});
    EXPECT_TRUE(message->text().endsWith("' has been imported."));
    const int line = message->fontMetrics().height();
    EXPECT_LE(banner.heightForWidth(600), oneLine + 3 * line) << "the cut name takes a line of its own at most";
    EXPECT_LE(banner.sizeHint().width(), 600 * 3);

    QString words;
    for (int i = 0; i < 5'000; ++i)
        words += "ab ";
    banner.setAlert({QUuid::createUuid(), "Import Successful", "User profile '" + words + "' has been imported.",
                     AlertMessage::Severity::success});
    EXPECT_LT(banner.heightForWidth(600), oneLine + 10 * line);
}

// A painted row draws a name alone: one line, no override left in it to turn
// what the row draws after it, cut to the row's width.
TEST(PlainText, APaintedNameTakesOneLineAndTurnsNothing)
{
    const QFontMetricsF metrics(Theme::font(Theme::TextStyle::body));
    EXPECT_EQ(plainText::paintedName("Zoom & Pan", metrics, 400), text::shownName("Zoom & Pan"));
    const QString name = QString("Zoom") + QChar(0x202E) + "\nPan\t" + QChar(0x2029) + "x";
    EXPECT_EQ(plainText::paintedName(name, metrics, 400), QChar(0x2068) + QStringLiteral("Zoom\\u{202E}\\nPan\\t\\u{2029}x") + QChar(0x2069));

    const QString shown = plainText::paintedName(name + QString(10'000, 'w'), metrics, 300);
    EXPECT_TRUE(shown.startsWith(QChar(0x2068) + QStringLiteral("Zoom\\u{202E}"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QString(QChar(0x2026)) + QChar(0x2069)));
    EXPECT_LE(metrics.horizontalAdvance(shown), 300);
    for (const QChar c : shown)
        EXPECT_FALSE(c == '\n' || c == '\t' || c == QChar(0x202E) || c == QChar(0x2029)) << int(c.unicode());
}
