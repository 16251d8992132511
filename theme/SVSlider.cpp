#include "theme/SVSlider.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>

#include "platform/Localization.h"
#include "platform/ui/Device.h"
#include "platform/ui/Images.h"

namespace {

const float kKeyStep = 0.05f;
const float kPageStep = 0.1f;
const QSize kKnob(40, 40);

// The slider to a screen reader: a value from 0 to 1 it can read and set, and the
// increase and decrease actions.
class SVSliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SVSliderAccessible(QWidget *w) : QAccessibleWidget(w, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QStringLiteral("%1%").arg(std::lround(slider()->value() * 100));
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return double(slider()->value()); }
    void setCurrentValue(const QVariant &value) override
    {
        slider()->setValueByUser(float(value.toDouble()));
    }
    QVariant maximumValue() const override { return 1.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return double(kKeyStep); }

    QStringList actionNames() const override
    {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == increaseAction())
            slider()->setValueByUser(slider()->value() + kKeyStep);
        else if (name == decreaseAction())
            slider()->setValueByUser(slider()->value() - kKeyStep);
        else
            QAccessibleWidget::doAction(name);
    }

private:
    SVSlider *slider() const { return static_cast<SVSlider *>(widget()); }
};

QAccessibleInterface *sliderAccessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("SVSlider") && object && object->isWidgetType())
        return new SVSliderAccessible(static_cast<QWidget *>(object));
    return nullptr;
}

}  // namespace

SVSlider::SVSlider(QWidget *parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(sliderAccessibleFactory);
        return true;
    }();
    (void)factoryInstalled;
    track_ = imageNamed(Device::isTablet() ? QStringLiteral("track~ipad.png")
                                           : QStringLiteral("track.png"));
    knob_ = imageNamed(QStringLiteral("knob.png"));
    setAccessibleName(SVLocalized("Seek bar"));
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(kKnob.height());
}

QSize SVSlider::sizeHint() const
{
    return QSize(240, kKnob.height());
}

QPointF SVSlider::knobCenter() const
{
    return QPointF(margin_ + (width() - 2 * margin_) * value_, height() / 2.0);
}

void SVSlider::setValuePrivate(float value)
{
    // NaN from a screen reader's odd value counts as the start.
    value = std::isnan(value) ? 0.0f : std::clamp(value, 0.0f, 1.0f);
    if (value == value_)
        return;
    value_ = value;
    update();
    QAccessibleValueChangeEvent event(this, double(value_));
    QAccessible::updateAccessibility(&event);
}

void SVSlider::setValue(float value)
{
    if (manualSeeking_)
        return;
    setValuePrivate(value);
}

void SVSlider::setValueByUser(float value)
{
    setValuePrivate(value);
    if (listener_)
        listener_();
}

void SVSlider::addListener(std::function<void()> action)
{
    listener_ = std::move(action);
}

void SVSlider::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!track_.isNull())
        p.drawImage(rect(), track_);
    const QPointF c = knobCenter();
    const QRectF knob(c.x() - kKnob.width() / 2.0, c.y() - kKnob.height() / 2.0, kKnob.width(),
                      kKnob.height());
    if (!knob_.isNull())
        p.drawImage(knob, knob_);
    if (hasFocus()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.drawEllipse(knob.adjusted(2, 2, -2, -2));
    }
}

void SVSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    lastX_ = event->position().x();
}

void SVSlider::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || width() <= 0)
        return QWidget::mouseMoveEvent(event);
    const double x = event->position().x();
    setValuePrivate(value_ + float((x - lastX_) / width()));
    lastX_ = x;
    manualSeeking_ = true;
}

void SVSlider::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    if (manualSeeking_ && listener_)
        listener_();
    manualSeeking_ = false;
}

void SVSlider::keyPressEvent(QKeyEvent *event)
{
    float target;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Down:
        target = value_ - kKeyStep;
        break;
    case Qt::Key_Right:
    case Qt::Key_Up:
        target = value_ + kKeyStep;
        break;
    case Qt::Key_PageDown:
        target = value_ - kPageStep;
        break;
    case Qt::Key_PageUp:
        target = value_ + kPageStep;
        break;
    case Qt::Key_Home:
        target = 0;
        break;
    case Qt::Key_End:
        target = 1;
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    setValueByUser(target);
}
