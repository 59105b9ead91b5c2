// Shots of the shared pieces: cards, buttons, toast, permission help, profile
// sheets, and a table of every symbol.

#include "Screenshots.h"

#include "model/Device.h"
#include "model/PacsProfile.h"
#include "output/ShortcutExecutor.h"
#include "ui/shared/SymbolIcons.h"
#include "ui/shared/Theme.h"
#include "ui/shared/widgets/GlassCard.h"
#include "ui/shared/widgets/NewUserProfileSheet.h"
#include "ui/shared/widgets/NiceButton.h"
#include "ui/shared/widgets/PermissionHelpView.h"
#include "ui/shared/widgets/RenameUserProfileSheet.h"
#include "ui/shared/widgets/SymbolLabel.h"
#include "ui/shared/widgets/ToastView.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace velmor::screenshots {

namespace {

using Style = Theme::TextStyle;

QLabel* text(const QString& content, Style style, const QColor& colour = Theme::textPrimary())
{
    auto* label = new QLabel(content);
    label->setFont(Theme::font(style));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    return label;
}

QWidget* cardContent()
{
    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text(QStringLiteral("Current Mappings"), Style::headline));
    layout->addWidget(text(QStringLiteral("K1 → Window/Level\nK2 → Pan\nK3 → Magnify"), Style::callout,
                           Theme::secondaryText()));
    layout->addStretch();
    return content;
}

std::unique_ptr<QWidget> cards()
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(24);
    auto* padded = new GlassCard(16);
    padded->setContent(cardContent());
    auto* flush = new GlassCard(0);
    auto* edge = new QLabel(QStringLiteral(" padding 0: content flush with the edge"));
    edge->setAutoFillBackground(true);
    QPalette palette = edge->palette();
    palette.setColor(QPalette::Window, Theme::withOpacity(Theme::accentPurple(), 0.5));
    palette.setColor(QPalette::WindowText, Qt::white);
    edge->setPalette(palette);
    flush->setContent(edge);
    layout->addWidget(padded);
    layout->addWidget(flush);
    auto backdrop = Scene::onBackdrop(row, 32);
    backdrop->resize(640, 220);
    return backdrop;
}

std::unique_ptr<QWidget> buttons(bool pressed)
{
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    const struct {
        const char* symbol;
        const char* title;
        QColor tint;
    } rows[] = {
        {"person.crop.circle.badge.plus", "New Profile", Theme::accentCyan()},
        {"arrow.up.arrow.down", "Import/Export", Theme::surface()},
        {"arrow.triangle.2.circlepath", "Sync Now", Theme::withOpacity(Theme::accentGreen(), 0.9)},
        {"trash", "Clear", Theme::withOpacity(Theme::accentRed(), 0.8)},
        {"lock.slash", "Permissions", Theme::accentCyan()},
        {"", "Save", Theme::accentPurple()},
    };
    int index = 0;
    for (const auto& row : rows) {
        auto* button = new NiceButton(QString::fromLatin1(row.symbol), QString::fromLatin1(row.title), {row.tint});
        button->setDown(pressed);
        layout->addWidget(button, index / 3, index % 3, Qt::AlignLeft);
        ++index;
    }
    auto* disabled = new NiceButton(QStringLiteral("square.and.arrow.down"), QStringLiteral("Disabled"),
                                    {Theme::accentCyan()});
    disabled->setEnabled(false);
    layout->addWidget(disabled, 2, 0, Qt::AlignLeft);
    return Scene::onBackdrop(grid);
}

std::unique_ptr<QWidget> toast(const QString& message)
{
    auto* toast = new ToastView(message);
    auto* holder = new QWidget;
    auto* layout = new QHBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(toast, 0, Qt::AlignCenter);
    return Scene::onBackdrop(holder);
}

std::unique_ptr<QWidget> permissionHelp(Scene& scene, bool accessibility, bool inputMonitoring)
{
    auto& platform = scene.make<ScriptedPlatform>(accessibility, inputMonitoring);
    auto& executor = scene.make<ShortcutExecutor>(platform.output, platform.permissions);
    auto view = std::make_unique<PermissionHelpView>(executor, [] {});
    view->resize(600, 460);
    return view;
}

QList<PacsProfile> examplePacs()
{
    QList<PacsProfile> profiles;
    for (const char* name : {"Intelerad", "eUnity", "Change Healthcare", "Synthesis"}) {
        PacsProfile profile;
        profile.id = QUuid::createUuid();
        profile.name = QString::fromLatin1(name);
        profiles << profile;
    }
    return profiles;
}

QList<Device> exampleDevices()
{
    QList<Device> devices;
    for (const auto& [id, name] : {std::pair{"tartarus_v2", "Razer Tartarus V2"},
                                   std::pair{"mouse_5_button", "5-Button Mouse"},
                                   std::pair{"speechmike_smp3700", "Philips SpeechMike"}}) {
        Device device;
        device.id = QString::fromLatin1(id);
        device.name = QString::fromLatin1(name);
        devices << device;
    }
    return devices;
}

struct NewProfileValues {
    QString name;
    std::optional<QUuid> pacsId;
    std::optional<QString> deviceId;
};

std::unique_ptr<QWidget> newUserProfile(Scene& scene, bool chosen)
{
    const QList<PacsProfile> pacs = examplePacs();
    const QList<Device> devices = exampleDevices();
    auto& values = scene.make<NewProfileValues>();
    if (chosen) {
        values = {QStringLiteral("Neuro Reading Room"), pacs[1].id, devices[2].id};
    }
    NewUserProfileForm form(Binding<QString>::of(values.name), Binding<std::optional<QUuid>>::of(values.pacsId),
                            Binding<std::optional<QString>>::of(values.deviceId), pacs, devices, [] {}, [] {});
    return std::make_unique<NewUserProfileSheet>(std::move(form));
}

std::unique_ptr<QWidget> symbolTable()
{
    const SymbolIcons& icons = SymbolIcons::instance();
    auto* grid = new QWidget;
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(18);
    layout->setVerticalSpacing(4);
    const QStringList names = QStringList(icons.names()) << QStringLiteral("unknown.symbol");
    const int rows = (names.size() + 3) / 4;
    for (qsizetype index = 0; index < names.size(); ++index) {
        auto* label = new SymbolLabel(names[index], names[index] + QStringLiteral(" · ") + icons.glyphName(names[index]),
                                      index + 1 == names.size() ? Theme::accentAmber() : Theme::textPrimary());
        label->setFont(Theme::font(Style::callout));
        layout->addWidget(label, static_cast<int>(index % rows), static_cast<int>(index / rows));
    }
    return Scene::onBackdrop(grid, 16);
}

const Shot cardShot("card-padded-and-flush", [](Scene&) { return cards(); });
const Shot buttonIdle("button-idle", [](Scene&) { return buttons(false); });
const Shot buttonPressed("button-pressed", [](Scene&) { return buttons(true); });
const Shot toastSaved("toast-saved", [](Scene&) { return toast(QStringLiteral("Mapping saved for K4")); });
const Shot toastEmpty("toast-empty", [](Scene&) { return toast(QString()); });
const Shot helpGranted("permission-help-granted", [](Scene& scene) { return permissionHelp(scene, true, true); });
const Shot helpHalf("permission-help-half", [](Scene& scene) { return permissionHelp(scene, true, false); });
const Shot helpNone("permission-help-none", [](Scene& scene) { return permissionHelp(scene, false, false); });
const Shot newProfileFallback("new-user-profile-first-entries", [](Scene& scene) { return newUserProfile(scene, false); });
const Shot newProfileChosen("new-user-profile-chosen", [](Scene& scene) { return newUserProfile(scene, true); });
const Shot renameProfile("rename-user-profile", [](Scene& scene) {
    auto& name = scene.make<QString>(QStringLiteral("Radiologist - General"));
    return std::make_unique<RenameUserProfileSheet>(Binding<QString>::of(name), [] {}, [] {});
});
const Shot symbols("symbols-table", [](Scene&) { return symbolTable(); });

} // namespace

} // namespace velmor::screenshots
