#include "app/AppCommands.h"

#include <QAction>

namespace velmor {

namespace {

QAction* command(QObject* owner, const QString& text, const QKeySequence& keys, std::function<void()> run)
{
    auto* action = new QAction(text, owner);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    QObject::connect(action, &QAction::triggered, owner, [run = std::move(run)] { run(); });
    return action;
}

} // namespace

AppCommands::AppCommands(std::function<void()> manageTools, std::function<void()> showHIDInspector)
    : manageTools_(command(this, QStringLiteral("Manage Tools…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Comma),
                           std::move(manageTools)))
    , hidInspector_(command(this, QStringLiteral("HID Inspector…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_I),
                            std::move(showHIDInspector)))
{
}

} // namespace velmor
