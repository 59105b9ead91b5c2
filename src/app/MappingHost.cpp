#include "app/MappingHost.h"

#include "ui/mapping/MappingController.h"
#include "ui/mapping/widgets/MappingView.h"

#include <QVBoxLayout>

namespace velmor {

MappingHost::MappingHost(AppModel& model, Prompter& prompter, QWidget* parent)
    : QWidget(parent), controller_(std::make_shared<MappingController>(model, prompter))
{
    setObjectName(QStringLiteral("mappingHost"));
    view_ = new MappingView(*controller_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
}

// The view calls its controller until it goes, so it goes first; then the
// controller, so that what outlasts the window finds it gone.
MappingHost::~MappingHost()
{
    delete view_;
    controller_.reset();
}

} // namespace velmor
