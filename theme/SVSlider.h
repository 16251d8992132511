// The seek slider: a track stretched across the view and a 40 x 40 knob whose centre sits at
// margin + (width - 2 x margin) x value, value from 0 to 1. Dragging moves the knob by the
// pointer's movement (not to the pointer) and tells the listener on release; while the user
// drags, setValue from playback progress is ignored. Arrow keys (and Page Up/Down, Home,
// End) and a screen reader's value change act like a drag and a release at once.
// Accessible as the adjustable "Seek bar". Main thread.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

class SVSlider : public QWidget {
    Q_OBJECT
public:
    explicit SVSlider(QWidget *parent = nullptr);

    float value() const { return value_; }
    // Ignored while the user is dragging.
    void setValue(float value);
    float margin() const { return margin_; }
    bool isManualSeeking() const { return manualSeeking_; }
    // The knob's centre in the view's coordinates.
    QPointF knobCenter() const;

    // `action` runs on the main thread when the user let go of the knob after moving it, or
    // set a value by key or screen reader. One listener: a new one replaces the old.
    void addListener(std::function<void()> action);

    // A value set by the user: clamped, shown, and the listener told.
    void setValueByUser(float value);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Clamps to 0-1, stores, moves the knob.
    void setValuePrivate(float value);

    QImage track_, knob_;
    float value_ = 0;
    float margin_ = 12;
    bool manualSeeking_ = false;
    double lastX_ = 0;
    std::function<void()> listener_;
};
