#pragma once

#include "model/CustomIcon.h"
#include "model/CustomIconLibrary.h"
#include "model/ToolIconSelection.h"
#include "platform/Published.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

namespace velmor {

// Which library the icon picker shows.
enum class IconPickerScope { system, custom };

QString toText(IconPickerScope scope); // "system", "custom"
std::optional<IconPickerScope> iconPickerScopeFromText(const QString& text);
QString scopeLabel(IconPickerScope scope); // "SF Symbols", "Custom"

// The icon picker: the symbols or the custom SVG icons, filtered by a search text,
// and the current choice. It changes no tool: the presenter applies what onSelect
// reports and closes the picker.
class SFSymbolPickerController {
public:
    struct State {
        IconPickerScope scope = IconPickerScope::system;
        QString searchText;
        QStringList filteredSymbols;
        QList<CustomIcon> filteredCustomIcons;
        ToolIconSelection selected;
        QString currentName; // beside the current icon
        QString searchPlaceholder;
        QString iconsFolder; // shown when no custom icon is listed
    };

    // Starts on the custom library for a custom icon, else on the symbols, with the
    // custom icons listed now.
    explicit SFSymbolPickerController(ToolIconSelection selected, QStringList symbols = systemSymbols(),
                                      CustomIconLibrary& library = CustomIconLibrary::shared());
    SFSymbolPickerController(const SFSymbolPickerController&) = delete;
    SFSymbolPickerController& operator=(const SFSymbolPickerController&) = delete;

    const Published<State>& state() const { return state_; }

    void setScope(IconPickerScope scope);
    void setSearchText(const QString& text);
    // A symbol cell: (system, name); a custom cell: (custom, file name with extension).
    void select(const ToolIconSelection& selection);
    void cancel();
    // Shows the icons folder in the file manager.
    void openIconsFolder();
    // Forgets the decoded icons, then lists the folder again.
    void reloadCustomIcons();

    std::function<void(const ToolIconSelection&)> onSelect;
    std::function<void()> onCancel;
    // How a folder is shown (the desktop's file manager unless replaced).
    std::function<bool(const QUrl&)> openUrl;

    // The symbol names every picker offers: those the symbol set can draw, in plain
    // code-point order; the built-in list when there are none. Computed once.
    static const QStringList& systemSymbols();
    static QStringList loadSystemSymbolNames();
    // The built-in list, in its own order (two names stand in it twice).
    static const QStringList& fallbackSymbolNames();

private:
    State compute() const;
    void refresh() { state_.set(compute()); }

    QStringList symbols_;
    CustomIconLibrary& library_;
    QList<CustomIcon> customIcons_;
    ToolIconSelection selected_;
    IconPickerScope scope_;
    QString searchText_;
    Published<State> state_;
};

} // namespace velmor
