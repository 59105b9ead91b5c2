// The built-in tool catalogue: the default shortcuts of the supported PACS
// software, used wherever no other tool list is available.

#include "model/RadiologyTool.h"
#include "model/SpecialKey.h"

#include <variant>

namespace velmor {

namespace {

using Mods = KeyboardShortcut::Modifiers;

// A catalogue key: a name of keyCodesByName() or a special key.
using Key = std::variant<const char*, SpecialKey>;

struct Row {
    const char* name;
    const char* symbol;
    ToolCategory category;
    Key key;
    Mods modifiers;
};

std::optional<KeyboardShortcut> shortcutFor(const Key& key, Mods modifiers)
{
    if (const auto* name = std::get_if<const char*>(&key))
        return KeyboardShortcut::fromKeyName(QString::fromUtf8(*name), modifiers);
    return KeyboardShortcut::fromSpecialKey(std::get<SpecialKey>(key), modifiers);
}

QList<RadiologyTool> buildCatalogue()
{
    constexpr auto Viewer = ToolCategory::viewer;
    constexpr auto Reporting = ToolCategory::reporting;
    constexpr auto Mammo = ToolCategory::mammo;
    const Mods none;
    const Mods shift = Mods::shift;
    const Mods controlShift{Mods::control, Mods::shift};
    const Mods optionShift{Mods::option, Mods::shift};
    using K = SpecialKey;

    const Row rows[] = {
        {"Window/Level", "slider.horizontal.3", Viewer, "W", none},
        {"Invert Grayscale", "circle.lefthalf.filled", Viewer, "I", none},
        {"Pan", "hand.draw", Viewer, "N", none},
        {"Magnify", "magnifyingglass", Viewer, "Z", none},
        {"Measure", "ruler", Viewer, "B", none},
        {"Exchange Series", "arrow.left.arrow.right", Viewer, "E", none},
        {"Page", "arrow.down.doc", Viewer, "P", none},
        {"Page Forward", "arrow.up", Viewer, K::arrowUp, none},
        {"Page Back", "arrow.down", Viewer, K::arrowDown, none},
        {"Page All", "rectangle.on.rectangle", Viewer, "Q", none},
        {"Page Same Plane", "slash.circle", Viewer, "\\", none},
        {"Power wheel", "circle.grid.cross", Viewer, "`", none},
        {"ROI", "square.dashed", Viewer, "R", none},
        {"Annotate", "character.textbox", Viewer, "J", none},
        {"Annotate Spine", "text.badge.star", Viewer, "H", none},
        {"Arrow", "arrow.up.right", Viewer, "G", none},
        {"Target", "scope", Viewer, "X", none},
        {"Rotate", "arrow.triangle.2.circlepath", Viewer, "'", none},
        {"Cine", "play.circle", Viewer, "Y", none},
        {"Increase cine speed", "forward.fill", Viewer, K::arrowUp, none},
        {"Decrease cine speed", "backward.fill", Viewer, K::arrowDown, none},
        {"Forward cine", "arrow.right.to.line", Viewer, K::arrowRight, none},
        {"Reverse cine", "arrow.left.to.line", Viewer, K::arrowLeft, none},
        {"Edge enhancement", "triangle.lefthalf.fill", Viewer, "O", none},
        {"Flicker", "bolt.circle", Viewer, "F", none},
        {"Add to Montage", "rectangle.stack.badge.minus", Viewer, "K", none},
        {"Exam Images", "photo", Viewer, "<", none},
        {"Montage", "rectangle.3.group", Viewer, "M", none},
        {"MPR/3D", "cube.transparent", Viewer, "/", none},
        {"Toolbox", "wrench.and.screwdriver", Viewer, "T", none},
        {"User Annotations", "pencil.and.outline", Viewer, "U", none},
        {"CAD AI", "brain.head.profile", Viewer, "C", none},
        {"Annotations DICOM", "doc.text.viewfinder", Viewer, "A", none},
        {"Mirror", "rectangle.on.rectangle.slash", Viewer, "V", none},
        {"Shrink/Fit", "arrow.up.left.and.arrow.down.right", Viewer, "S", none},
        {"Tomo vs. Standard views", "rectangle.inset.filled.and.person.filled", Mammo, ";", none},
        {"Viewports: 1", "square", Viewer, "1", none},
        {"Viewports: 2", "square.split.2x1", Viewer, "2", none},
        {"Viewports: 4", "square.split.2x2", Viewer, "4", none},
        {"Viewports: 6", "square.grid.3x2", Viewer, "6", none},
        {"Viewports: 8", "square.grid.4x3.fill", Viewer, "8", none},
        {"Viewports: 12", "square.grid.3x3", Viewer, "0", none},
        {"About viewer", "info.circle", Viewer, K::functionKey(1), shift},
        {"DICOM Metafile", "doc.plaintext", Viewer, K::functionKey(2), none},
        {"Refresh/Reload", "arrow.clockwise", Viewer, K::functionKey(5), none},
        {"Full Screen", "rectangle.expand.vertical", Viewer, K::functionKey(11), none},
        {"Localizer Lines", "line.3.crossed.swirl.circle", Viewer, "\\", controlShift},
        {"Thumbnail Bar", "square.grid.2x2", Viewer, "]", controlShift},
        {"Previous Protocol", "chevron.backward.square", Viewer, "[", none},
        {"Next Protocol", "chevron.forward.square", Viewer, "]", none},
        {"Prior Series", "chevron.backward", Viewer, K::pageUp, none},
        {"Next Series", "chevron.forward", Viewer, K::pageDown, none},
        {"Mic On/Off", "mic.fill", Reporting, "S", controlShift},
        {"Speech Organization", "text.quote", Reporting, "O", controlShift},
        {"Submit Speech Organization", "tray.and.arrow.up", Reporting, "H", controlShift},
        {"Auto Impression", "sparkles.rectangle.stack", Reporting, "U", controlShift},
        {"Sign & Next", "checkmark.circle", Reporting, ".", controlShift},
        {"Sign & Close", "checkmark.seal", Reporting, K::returnKey, controlShift},
        {"Exam List", "list.bullet", Reporting, ",", controlShift},
        {"Skip Exam", "forward.end", Reporting, K::space, controlShift},
        {"Apply Custom Template", "doc.badge.gearshape", Reporting, "Y", controlShift},
        {"Apply Default Template", "doc.badge.ellipsis", Reporting, "P", controlShift},
        {"Report Field Down", "arrow.down.to.line.compact", Reporting, K::tab, none},
        {"Report Field Up", "arrow.up.to.line.compact", Reporting, K::tab, shift},
        {"First Highlighted Field", "highlighter", Reporting, "A", optionShift},
        {"First Impression Line", "text.badge.checkmark", Reporting, "L", controlShift},
        {"Toggle: Page / Page All", "arrow.2.squarepath", Viewer, "P", none},
    };

    QList<RadiologyTool> tools;
    tools.reserve(std::size(rows));
    for (const Row& row : rows) {
        RadiologyTool tool;
        tool.id = QUuid::createUuid();
        tool.name = QString::fromUtf8(row.name);
        tool.systemIcon = QString::fromUtf8(row.symbol);
        tool.category = row.category;
        tool.shortcut = shortcutFor(row.key, row.modifiers);
        tools.append(std::move(tool));
    }

    // The one toggle tool alternates between Page and Page All.
    RadiologyTool& toggle = tools.last();
    toggle.toggleShortcuts = QList<KeyboardShortcut>{*KeyboardShortcut::fromKeyName("P"),
                                                     *KeyboardShortcut::fromKeyName("Q")};
    toggle.shortcut = toggle.toggleShortcuts->first();
    return tools;
}

} // namespace

QList<RadiologyTool> RadiologyTool::defaultTools()
{
    static const QList<RadiologyTool> catalogue = buildCatalogue();
    return catalogue;
}

} // namespace velmor
