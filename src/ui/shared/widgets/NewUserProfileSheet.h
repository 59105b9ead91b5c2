#pragma once

#include "ui/shared/NewUserProfileForm.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

namespace velmor {

// The "New User Profile" sheet over a NewUserProfileForm. Widgets: the name field
// "name", the pickers "pacs" and "device", the buttons "cancel" and "create".
// Return in the name field confirms nothing.
class NewUserProfileSheet : public QWidget {
public:
    explicit NewUserProfileSheet(NewUserProfileForm form, QWidget* parent = nullptr);

    // Shows the bound values again after the presenter changed them.
    void refresh();

private:
    NewUserProfileForm form_;
    QLineEdit* name_;
    QComboBox* pacs_;
    QComboBox* device_;
};

} // namespace velmor
