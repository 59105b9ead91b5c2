#pragma once

#include "MappingControllerFixture.h"

#include "ui/mapping/widgets/MappingView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>

#include <memory>

namespace velmor::test {

// The real mapping window over the test application model, shown offscreen.
class MappingViewFixture : public MappingControllerFixture {
protected:
    MappingViewFixture()
    {
        view = std::make_unique<MappingView>(*controller);
        view->resize(1500, 950);
        view->show();
        settle();
    }
    ~MappingViewFixture() override { view.reset(); }

    // Runs the main queue and Qt's pending events until both are idle.
    void settle()
    {
        for (int round = 0; round < 10; ++round) {
            const int ran = queue->runUntilIdle();
            QApplication::processEvents();
            if (ran == 0 && queue->runUntilIdle() == 0)
                return;
        }
    }

    template <typename T = QWidget>
    T* find(const QString& name) const
    {
        T* widget = view->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }

    void click(const QString& name)
    {
        auto* button = find<QAbstractButton>(name);
        ASSERT_TRUE(button);
        QTest::mouseClick(button, Qt::LeftButton);
        settle();
    }

    std::unique_ptr<MappingView> view;
};

} // namespace velmor::test
