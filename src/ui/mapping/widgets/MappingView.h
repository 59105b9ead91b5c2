#pragma once

#include "ui/mapping/MappingController.h"

#include <QPointer>
#include <QWidget>

class QStackedWidget;

namespace velmor {

class AlertBanner;
class CenterColumn;
class SheetHost;
class ToastView;

// The mapping window's content: the mode rail, the context panel of the current
// mode in a card, the centre column with the device canvas, the right column
// with the current mappings and the event log; over them the alert banner and
// the toast; the new-profile, rename and permission-help sheets while the
// controller wants them. The application makes one controller per window and
// sets its requests; this view calls appear() whenever it is shown.
class MappingView : public QWidget {
public:
    explicit MappingView(MappingController& controller, QWidget* parent = nullptr);
    ~MappingView() override;

    MappingController& controller() const { return controller_; }
    CenterColumn* centerColumn() const { return center_; }

    // The window's default size (1920 × 1080), fitted into the available screen area.
    static QSize defaultSize(const QSize& available);
    QSize sizeHint() const override { return {1920, 1080}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void render(const MappingController::State& state);
    void renderSheets(const MappingController::State& state);
    void placeOverlays();

    MappingController& controller_;
    QStackedWidget* panels_;
    CenterColumn* center_;
    AlertBanner* banner_;
    ToastView* toast_;
    QPointer<SheetHost> newUserSheet_;
    QPointer<SheetHost> renameSheet_;
    QPointer<SheetHost> permissionSheet_;
    Subscription subscription_;
};

} // namespace velmor
