#pragma once

#include "platform/Published.h"
#include "ui/admin/IconGridModel.h"
#include "ui/admin/SFSymbolPickerController.h"
#include "ui/shared/CustomIconFeed.h"

#include <QHash>
#include <QIcon>
#include <QWidget>

#include <memory>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QStackedWidget;

namespace velmor {

class ToolIconView;

// The icon picker sheet: the current icon, the library switch, the search field
// and a grid of symbols or custom icons. A click on a cell reports it through the
// controller's onSelect; "Cancel" through onCancel. The presenter closes it.
class SFSymbolPicker : public QWidget {
public:
    explicit SFSymbolPicker(ToolIconSelection selected, QWidget* parent = nullptr);
    SFSymbolPicker(std::unique_ptr<SFSymbolPickerController> controller, QWidget* parent = nullptr);
    ~SFSymbolPicker() override;

    SFSymbolPickerController& controller() { return *controller_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateGridSize();
    void render(const SFSymbolPickerController::State& state);
    void fillGrid(const SFSymbolPickerController::State& state);
    void askForIconsOnScreen();
    void iconsArrived(const QList<int>& rows);
    QIcon picture(const IconGridCell& cell);

    std::unique_ptr<SFSymbolPickerController> controller_;
    QPushButton* openFolder_;
    QPushButton* reload_;
    QButtonGroup* scopes_;
    ToolIconView* currentIcon_;
    QLabel* currentName_;
    QLineEdit* search_;
    QStackedWidget* pages_;
    QListView* grid_;
    IconGridModel* cells_;
    QLabel* folderPath_;
    int columns_ = 6;
    // The custom icons' drawings, asked for those on screen first; each row's picture is
    // made again only when its own drawing arrives.
    CustomIconFeed feed_;
    // The one picture of every custom icon not drawn yet.
    QIcon missingIcon_;
    // Each picture is made once, when its cell first shows, and kept across searches: a
    // custom icon's until another drawing of it arrives (or none, the files replaced), even
    // when the library lets the drawing go.
    struct Drawn {
        qint64 image = 0; // the drawing's QImage::cacheKey()
        QIcon icon;
    };
    QHash<QString, Drawn> customPictures_;
    QHash<QString, QIcon> symbolPictures_;
    Subscription subscription_;
};

} // namespace velmor
