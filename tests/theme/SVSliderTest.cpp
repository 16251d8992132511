#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QMouseEvent>
#include <QTest>

#include "theme/SVSlider.h"

namespace {

void drag(SVSlider *slider, QList<double> xs)
{
    const double y = slider->height() / 2.0;
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(int(xs.first()), int(y)));
    for (double x : xs.mid(1)) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), slider->mapToGlobal(QPointF(x, y)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &move);
    }
}

}  // namespace

// Dragging moves by the pointer's movement and stays within 0 and 1; progress does not
// move the knob during a drag; the listener hears each release after a move.
TEST(SVSlider, DragClampAndRelease)
{
    SVSlider slider;
    slider.resize(224, 40);  // 200 between the margins
    slider.show();
    int releases = 0;
    slider.addListener([&] { releases++; });
    EXPECT_EQ(slider.margin(), 12);

    struct Row {
        const char *name;
        float start;
        QList<double> xs;
        float value;
    };
    const Row rows[] = {
        {"relative move", 0.5f, {10, 66}, 0.75f},
        {"past the right end", 0.5f, {10, 300, 400}, 1.0f},
        {"past the left end", 0.5f, {200, -300}, 0.0f},
        {"back from beyond the end", 0.5f, {0, 500, 444}, 0.75f},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        slider.setValue(row.start);
        drag(&slider, row.xs);
        EXPECT_TRUE(slider.isManualSeeking());
        slider.setValue(0.1f);
        EXPECT_FLOAT_EQ(slider.value(), row.value) << "progress is ignored while dragging";
        const int before = releases;
        QTest::mouseRelease(&slider, Qt::LeftButton, {}, QPoint(0, 20));
        EXPECT_EQ(releases, before + 1);
        EXPECT_FALSE(slider.isManualSeeking());
    }
    EXPECT_NEAR(slider.knobCenter().x(), 12 + 200 * slider.value(), 1e-3);

    // A click without a move is no seek.
    QTest::mouseClick(&slider, Qt::LeftButton, {}, QPoint(50, 20));
    EXPECT_EQ(releases, int(std::size(rows)));
    slider.setValue(1.5f);
    EXPECT_EQ(slider.value(), 1.0f);
}

// Keys and screen readers adjust the value like a drag and a release.
TEST(SVSlider, KeysAndScreenReaders)
{
    SVSlider slider;
    slider.resize(224, 40);
    slider.show();
    int releases = 0;
    slider.addListener([&] { releases++; });
    slider.setValue(0.5f);

    QTest::keyClick(&slider, Qt::Key_Right);
    EXPECT_FLOAT_EQ(slider.value(), 0.55f);
    QTest::keyClick(&slider, Qt::Key_Home);
    EXPECT_FLOAT_EQ(slider.value(), 0.0f);
    EXPECT_EQ(releases, 2);

    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(&slider);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->role(), QAccessible::Slider);
    EXPECT_EQ(a->text(QAccessible::Name), "Seek bar");
    QAccessibleValueInterface *value = a->valueInterface();
    ASSERT_TRUE(value);
    EXPECT_EQ(value->minimumValue().toDouble(), 0.0);
    EXPECT_EQ(value->maximumValue().toDouble(), 1.0);
    value->setCurrentValue(0.25);
    EXPECT_FLOAT_EQ(slider.value(), 0.25f);
    EXPECT_EQ(value->currentValue().toDouble(), 0.25);
    EXPECT_EQ(a->text(QAccessible::Value), "25%");
    value->setCurrentValue(7.0);
    EXPECT_FLOAT_EQ(slider.value(), 1.0f);
    a->actionInterface()->doAction(QAccessibleActionInterface::decreaseAction());
    EXPECT_FLOAT_EQ(slider.value(), 0.95f);
    EXPECT_EQ(releases, 5);
}
