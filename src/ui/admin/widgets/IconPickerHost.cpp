#include "ui/admin/widgets/IconPickerHost.h"

#include "ui/admin/widgets/SFSymbolPicker.h"
#include "ui/shared/widgets/SheetHost.h"

#include <utility>

namespace velmor {

IconPickerHost::~IconPickerHost() { delete sheet_; }

void IconPickerHost::open(const ToolIconSelection& selected, std::function<void(const ToolIconSelection&)> onSelect)
{
    if (sheet_)
        return;
    auto* picker = new SFSymbolPicker(selected);
    picker->controller().onSelect = [this, onSelect = std::move(onSelect)](const ToolIconSelection& chosen) {
        if (onSelect)
            onSelect(chosen);
        close();
    };
    picker->controller().onCancel = [this] { close(); };
    sheet_ = new SheetHost(picker, [this] { close(); }, &owner_);
    sheet_->setWindowTitle(QObject::tr("Icons"));
    sheet_->show();
}

void IconPickerHost::close()
{
    if (sheet_)
        std::exchange(sheet_, nullptr)->deleteLater();
}

QWidget* IconPickerHost::picker() const { return sheet_ ? sheet_->sheet() : nullptr; }

} // namespace velmor
