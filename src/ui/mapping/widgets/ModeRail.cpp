#include "ui/mapping/widgets/ModeRail.h"

#include "ui/mapping/widgets/ViewParts.h"
#include "ui/shared/SymbolIcons.h"

#include <QAbstractButton>
#include <QPainter>
#include <QVBoxLayout>

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

} // namespace

// A 40 × 40 rail button: a symbol on a rounded plate, purple while selected.
class RailButton : public QAbstractButton {
public:
    RailButton(QString symbol, const QString& help, QWidget* parent = nullptr)
        : QAbstractButton(parent), symbol_(std::move(symbol))
    {
        setToolTip(help);
        setFixedSize(40, 40);
        setCursor(Qt::PointingHandCursor);
    }

    void setSelected(bool selected)
    {
        if (selected_ == selected)
            return;
        selected_ = selected;
        update();
    }
    bool selected() const { return selected_; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isDown() ? 0.75 : 1.0);
        const qreal line = selected_ ? 2 : 1;
        const QRectF plate = QRectF(rect()).adjusted(line / 2, line / 2, -line / 2, -line / 2);
        painter.setBrush(selected_ ? Theme::withOpacity(Theme::accentPurple(), 0.2)
                                   : Theme::withOpacity(Theme::surface(), 0.7));
        painter.setPen(QPen(selected_ ? Theme::accentPurple() : Theme::border(), line));
        painter.drawRoundedRect(plate, 12, 12);
        SymbolIcons::instance().paint(painter, QRectF(11, 11, 18, 18), symbol_,
                                      selected_ ? Theme::accentPurple() : QColor(Qt::white));
    }

private:
    QString symbol_;
    bool selected_ = false;
};

ModeRail::ModeRail(MappingController& controller, QWidget* parent) : QWidget(parent), controller_(controller)
{
    setFixedWidth(80);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 12, 8, 12);
    layout->setSpacing(12);
    auto addMode = [&](MappingMode mode) {
        const ModeLook look = lookOf(mode);
        auto* button = new RailButton(QString::fromLatin1(look.symbol), QString::fromLatin1(look.title));
        button->setObjectName(QStringLiteral("mode-") + toText(mode));
        QObject::connect(button, &QAbstractButton::clicked, this, [this, mode] { controller_.setSelectedMode(mode); });
        layout->addWidget(button, 0, Qt::AlignHCenter);
        modeButtons_.append(button);
    };
    addMode(MappingMode::profiles);
    addMode(MappingMode::devices);
    addMode(MappingMode::mappings);
    auto* tools = new RailButton(QStringLiteral("wrench.and.screwdriver.fill"), QStringLiteral("Tools"));
    tools->setObjectName(QStringLiteral("tools"));
    QObject::connect(tools, &QAbstractButton::clicked, this, [this] { controller_.openAdmin(); });
    layout->addWidget(tools, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    addMode(MappingMode::system);

    subscription_ = controller_.state().subscribe([this](const MappingController::State& state) { render(state); });
}

void ModeRail::render(const MappingController::State& state)
{
    for (RailButton* button : modeButtons_)
        button->setSelected(button->objectName() == QStringLiteral("mode-") + toText(state.selectedMode));
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
