#pragma once

#include "ui/shared/widgets/FocusRing.h"

#include <QApplication>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace velmor::test {

// Walks `window` with Tab until the focus comes back to a stop it had: each stop
// must show the focus (the ring is on it, and its picture differs from the same
// widget's without the focus). Gives back the stops in order.
inline QList<QWidget*> expectEveryTabStopShowsFocus(QWidget& window, const FocusRing& ring, int most = 80)
{
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    QList<QWidget*> stops;
    for (int tab = 0; tab < most; ++tab) {
        QWidget* from = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(from, Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        if (!focused || stops.contains(focused))
            break;
        stops.append(focused);
        const std::string name =
            (focused->objectName() + " (" + focused->metaObject()->className() + ")").toStdString();
        EXPECT_EQ(ring.ringed(), focused) << name;
        const QImage shown = focused->grab().toImage();
        focused->clearFocus();
        EXPECT_NE(focused->grab().toImage(), shown) << name << " shows no focus";
        focused->setFocus(Qt::TabFocusReason);
    }
    return stops;
}

} // namespace velmor::test
