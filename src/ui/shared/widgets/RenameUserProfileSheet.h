#pragma once

#include "ui/shared/Binding.h"

#include <QWidget>

#include <functional>

class QLineEdit;

namespace velmor {

// The "Rename User Profile" sheet: a name behind a binding, "Save" (onSave, then
// onCancel) and "Cancel" (onCancel). Widgets: "name", "cancel", "save". Return in
// the name field confirms nothing.
class RenameUserProfileSheet : public QWidget {
public:
    RenameUserProfileSheet(Binding<QString> name, std::function<void()> onSave, std::function<void()> onCancel,
                           QWidget* parent = nullptr);

    // Shows the bound name again after the presenter changed it.
    void refresh();

private:
    Binding<QString> name_;
    std::function<void()> onSave_;
    std::function<void()> onCancel_;
    QLineEdit* field_;
};

} // namespace velmor
