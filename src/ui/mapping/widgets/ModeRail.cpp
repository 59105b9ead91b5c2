#include "ui/mapping/widgets/ModeRail.h"

#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>

#include <functional>

namespace velmor {

namespace {

struct ModeLook {
    const char* title;
    const char* symbol;
};

ModeLook lookOf(MappingMode mode)
{
    switch (mode) {
    case MappingMode::profiles:
        return {"Profiles", "person.2.fill"};
    case MappingMode::devices:
        return {"Devices", "gamecontroller.fill"};
    case MappingMode::mappings:
        return {"Mappings", "square.grid.3x2.fill"};
    case MappingMode::system:
        break;
    }
    return {"System", "gearshape.fill"};
}

// The 40 × 40 plate both rail buttons draw: a symbol on a rounded rectangle,
// purple while selected.
void paintRailPlate(QAbstractButton& button, const QString& symbol, bool selected)
{
    QPainter painter(&button);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(button.isDown() ? 0.75 : 1.0);
    const qreal line = selected ? 2 : 1;
    const QRectF plate = QRectF(button.rect()).adjusted(line / 2, line / 2, -line / 2, -line / 2);
    painter.setBrush(selected ? Theme::withOpacity(Theme::accentPurple(), 0.2) : Theme::withOpacity(Theme::surface(), 0.7));
    painter.setPen(QPen(selected ? Theme::accentPurple() : Theme::border(), line));
    painter.drawRoundedRect(plate, 12, 12);
    SymbolIcons::instance().paint(painter, QRectF(11, 11, 18, 18), symbol, selected ? Theme::accentPurple() : QColor(Qt::white));
}

void setUpRailButton(QAbstractButton& button, const QString& help)
{
    button.setToolTip(help);
    button.setFixedSize(40, 40);
    button.setCursor(Qt::PointingHandCursor);
}

} // namespace

// One mode's button: the mode's symbol, its title as the tooltip; a click
// calls onSelect.
class ModeRailButton : public QAbstractButton {
public:
    ModeRailButton(MappingMode mode, std::function<void()> onSelect, QWidget* parent = nullptr)
        : QAbstractButton(parent), mode_(mode)
    {
        setUpRailButton(*this, QString::fromLatin1(lookOf(mode).title));
        setObjectName(QStringLiteral("mode-") + toText(mode));
        QObject::connect(this, &QAbstractButton::clicked, this, std::move(onSelect));
    }

    MappingMode mode() const { return mode_; }
    void setSelected(bool isSelected)
    {
        if (isSelected_ == isSelected)
            return;
        isSelected_ = isSelected;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override { paintRailPlate(*this, QString::fromLatin1(lookOf(mode_).symbol), isSelected_); }

private:
    MappingMode mode_;
    bool isSelected_ = false;
};

// A button of the rail that runs an action instead of choosing a mode; it
// never looks selected.
class ModeRailActionButton : public QAbstractButton {
public:
    ModeRailActionButton(QString iconName, const QString& helpText, std::function<void()> action,
                         QWidget* parent = nullptr)
        : QAbstractButton(parent), iconName_(std::move(iconName))
    {
        setUpRailButton(*this, helpText);
        QObject::connect(this, &QAbstractButton::clicked, this, std::move(action));
    }

protected:
    void paintEvent(QPaintEvent*) override { paintRailPlate(*this, iconName_, false); }

private:
    QString iconName_;
};

ModeRail::ModeRail(MappingController& controller, QWidget* parent) : QWidget(parent), controller_(controller)
{
    setFixedWidth(80);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 12, 8, 12);
    layout->setSpacing(12);
    auto addMode = [&](MappingMode mode) {
        auto* button = new ModeRailButton(mode, [this, mode] { controller_.setSelectedMode(mode); });
        layout->addWidget(button, 0, Qt::AlignHCenter);
        modeButtons_.append(button);
    };
    addMode(MappingMode::profiles);
    addMode(MappingMode::devices);
    addMode(MappingMode::mappings);
    auto* tools = new ModeRailActionButton(QStringLiteral("wrench.and.screwdriver.fill"), QStringLiteral("Tools"),
                                           [this] { controller_.openAdmin(); });
    tools->setObjectName(QStringLiteral("tools"));
    layout->addWidget(tools, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    addMode(MappingMode::system);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void ModeRail::render(const MappingController::State& state)
{
    for (ModeRailButton* button : modeButtons_)
        button->setSelected(button->mode() == state.selectedMode);
}

void ModeRail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Theme::panelGradient());
    painter.setPen(QPen(Theme::withOpacity(Theme::border(), 0.8), 1));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 16, 16);
}

} // namespace velmor
