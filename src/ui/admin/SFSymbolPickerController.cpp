#include "ui/admin/SFSymbolPickerController.h"

#include "ui/shared/SymbolIcons.h"

#include <QDesktopServices>
#include <QFileInfo>

#include <algorithm>

namespace velmor {

namespace {

bool matches(const QString& name, const QString& search)
{
    return search.isEmpty() || name.contains(search, Qt::CaseInsensitive);
}

} // namespace

QString toText(IconPickerScope scope)
{
    return scope == IconPickerScope::custom ? QStringLiteral("custom") : QStringLiteral("system");
}

std::optional<IconPickerScope> iconPickerScopeFromText(const QString& text)
{
    if (text == QLatin1String("system"))
        return IconPickerScope::system;
    if (text == QLatin1String("custom"))
        return IconPickerScope::custom;
    return std::nullopt;
}

QString scopeLabel(IconPickerScope scope)
{
    return scope == IconPickerScope::custom ? QStringLiteral("Custom") : QStringLiteral("SF Symbols");
}

SFSymbolPickerController::SFSymbolPickerController(ToolIconSelection selected, QStringList symbols,
                                                   CustomIconLibrary& library)
    : openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }),
      symbols_(std::move(symbols)),
      library_(library),
      customIcons_(library_.loadCustomIcons()),
      selected_(std::move(selected)),
      scope_(selected_.source == ToolIconSource::custom ? IconPickerScope::custom : IconPickerScope::system),
      state_(compute())
{
}

SFSymbolPickerController::State SFSymbolPickerController::compute() const
{
    State state;
    state.scope = scope_;
    state.searchText = searchText_;
    state.selected = selected_;
    for (const QString& name : symbols_)
        if (matches(name, searchText_))
            state.filteredSymbols.append(name);
    for (const CustomIcon& icon : customIcons_)
        if (matches(icon.displayName(), searchText_))
            state.filteredCustomIcons.append(icon);
    state.currentName = selected_.source == ToolIconSource::custom ? QFileInfo(selected_.name).completeBaseName()
                                                                   : selected_.name;
    state.searchPlaceholder =
        scope_ == IconPickerScope::custom ? QStringLiteral("Search icons") : QStringLiteral("Search symbols");
    state.iconsFolder = customIconsDirectory();
    return state;
}

void SFSymbolPickerController::setScope(IconPickerScope scope)
{
    scope_ = scope;
    refresh();
}

void SFSymbolPickerController::setSearchText(const QString& text)
{
    searchText_ = text;
    refresh();
}

void SFSymbolPickerController::select(const ToolIconSelection& selection)
{
    // The presenter may close the picker from the callback: call a copy.
    if (const auto callback = onSelect)
        callback(selection);
}

void SFSymbolPickerController::cancel()
{
    if (const auto callback = onCancel)
        callback();
}

void SFSymbolPickerController::openIconsFolder()
{
    if (openUrl)
        openUrl(QUrl::fromLocalFile(customIconsDirectory()));
}

void SFSymbolPickerController::reloadCustomIcons()
{
    library_.imageCache().removeAll();
    customIcons_ = library_.loadCustomIcons();
    refresh();
}

const QStringList& SFSymbolPickerController::systemSymbols()
{
    static const QStringList symbols = [] {
        QStringList names = loadSystemSymbolNames();
        return names.isEmpty() ? fallbackSymbolNames() : names;
    }();
    return symbols;
}

QStringList SFSymbolPickerController::loadSystemSymbolNames()
{
    QStringList names = SymbolIcons::instance().names();
    std::sort(names.begin(), names.end()); // UTF-16 code units: plain, not locale-aware
    return names;
}

const QStringList& SFSymbolPickerController::fallbackSymbolNames()
{
    static const QStringList names{
        "hand.draw", "hand.point.up.left.fill", "arrow.left.arrow.right", "arrow.2.squarepath",
        "wrench.and.screwdriver", "slider.horizontal.3", "wand.and.rays", "wand.and.stars", "bolt.circle",
        "hand.raised", "rectangle.and.pencil.and.ellipsis", "pencil.and.outline", "scope", "arrow.up.right",
        "arrow.triangle.2.circlepath", "play.circle", "pause.circle", "forward.fill", "backward.fill",
        "magnifyingglass", "hand.tap", "plus", "minus", "checkmark", "checkmark.circle", "trash", "trash.circle",
        "doc.text", "doc.badge.plus", "folder", "link", "paperclip", "photo", "square.grid.2x2",
        "rectangle.stack.badge.minus", "cube.transparent", "arrow.down.doc", "square.grid.3x2", "square.grid.3x3",
        "square.split.2x2", "square.split.2x1", "square", "circle.grid.cross", "gauge", "highlighter",
        "text.badge.star", "ruler", "brain.head.profile", "mic.fill", "mic.slash", "speaker.wave.2.fill",
        "bolt.fill", "bolt.slash", "gear", "gearshape.fill", "list.bullet", "ellipsis", "info.circle",
        "questionmark.circle", "lock", "lock.open", "lock.slash", "arrow.clockwise", "rectangle.expand.vertical",
        "rectangle.on.rectangle", "rectangle.on.rectangle.slash", "arrow.up.left.and.arrow.down.right",
        "circle.grid.3x3", "rectangle.grid.2x2", "arrow.left", "arrow.right", "arrow.up", "arrow.down",
        "arrowshape.turn.up.left", "arrowshape.turn.up.right", "arrow.forward", "arrow.backward", "eye",
        "eye.fill", "eye.slash", "hand.point.up.left", "hand.thumbsdown", "hand.thumbsup", "highlighter", "lasso",
        "lasso.and.sparkles", "scribble", "pencil", "pencil.tip", "pencil.circle", "scribble.variable",
        "signature", "flag", "flag.fill", "star", "star.fill", "circle", "circle.fill", "square", "square.fill",
        "triangle", "triangle.fill", "diamond", "diamond.fill", "octagon", "octagon.fill",
    };
    return names;
}

} // namespace velmor
