#include "platform/ui/Presentation.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QPainter>
#include <QShortcut>
#include <QTransform>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "platform/ui/Device.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace {

const int kSlideMs = 300;
const int kFlipMs = 500;

QWidget *firstFocusable(QWidget *root)
{
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(root) && w->isEnabled())
            return w;
    }
    return nullptr;
}

// Paints the turn of a card: the old picture rotates away about the vertical axis, the new
// one rotates in from behind.
class FlipView : public QWidget {
public:
    FlipView(QWidget *parent, QPixmap from, QPixmap to)
        : QWidget(parent), from_(std::move(from)), to_(std::move(to))
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setProgress(double p)
    {
        progress_ = p;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const double angle = progress_ * 180.0;
        const QPixmap &side = angle < 90.0 ? from_ : to_;
        QTransform t;
        t.translate(width() / 2.0, height() / 2.0);
        t.rotate(angle < 90.0 ? angle : angle - 180.0, Qt::YAxis);
        t.translate(-width() / 2.0, -height() / 2.0);
        painter.setTransform(t);
        painter.drawPixmap(rect(), side);
    }

private:
    QPixmap from_, to_;
    double progress_ = 0;
};

}  // namespace

Presentation::Presentation(QWidget *host, Kind kind) : QObject(host), host_(host), kind_(kind)
{
    host->installEventFilter(this);
}

Presentation::~Presentation()
{
    delete animation_;
}

QList<Presentation *> Presentation::presentationsIn(QWidget *host)
{
    return host->findChildren<Presentation *>(Qt::FindDirectChildrenOnly);
}

Presentation *Presentation::of(ViewController *screen)
{
    if (!screen || !screen->presenting_)
        return nullptr;
    for (Presentation *p : presentationsIn(screen->window()))
        if (p->screen_ == screen && !p->leaving_)
            return p;
    return nullptr;
}

void Presentation::present(ViewController *presenter, ViewController *screen, Kind kind,
                           QWidget *anchor, bool animated)
{
    if (!presenter || !screen || screen == presenter || screen->presenting_ || presenter->presented_)
        return;
    QWidget *host = presenter->window();
    for (Presentation *p : presentationsIn(host))
        p->complete();

    auto *self = new Presentation(host, kind);
    self->presenter_ = presenter;
    self->screen_ = screen;
    self->anchor_ = anchor;
    self->previousFocus_ = QApplication::focusWidget();
    self->formerParent_ = screen->parentWidget();
    self->ownsScreen_ = !screen->parentWidget();
    presenter->presented_ = screen;
    screen->presenting_ = presenter;
    connect(screen, &QObject::destroyed, self, [self] {
        if (!self->leaving_)
            self->finish(false);
    });

    if (self->fullScreen()) {
        // What disappears: the topmost full-screen presentation, else the window's root.
        for (Presentation *p : presentationsIn(host)) {
            if (p != self && p->fullScreen() && !p->leaving_) {
                self->covered_ = p->screen_;
                self->coveredWidget_ = p->frame_;
            }
        }
        if (!self->covered_) {
            if (auto *window = qobject_cast<Window *>(host))
                self->covered_ = window->rootViewController();
            else
                self->covered_ = qobject_cast<ViewController *>(host);
            self->coveredWidget_ = self->covered_.data();
        }
    }

    screen->loadViewIfNeeded();
    self->frame_ = new QWidget(host);
    auto *frameLayout = new QVBoxLayout(self->frame_);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    if (self->fullScreen()) {
        self->frame_->setAutoFillBackground(true);
        frameLayout->addWidget(screen);
    } else {
        // A dimmed backdrop for a sheet; a popover's backdrop only catches the click outside.
        self->frame_->setAutoFillBackground(kind == FormSheet);
        if (kind == FormSheet) {
            QPalette p = self->frame_->palette();
            p.setColor(QPalette::Window, QColor(0, 0, 0, 100));
            self->frame_->setPalette(p);
        }
        self->frame_->installEventFilter(self);
        auto *panel = new QFrame(self->frame_);
        panel->setObjectName(QStringLiteral("presentationPanel"));
        panel->setFrameShape(QFrame::Box);
        panel->setAutoFillBackground(true);
        self->panel_ = panel;
        auto *panelLayout = new QVBoxLayout(self->panel_);
        panelLayout->setContentsMargins(1, 1, 1, 1);
        panelLayout->addWidget(screen);
        if (kind == Popover) {
            auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), self->panel_);
            escape->setContext(Qt::WidgetWithChildrenShortcut);
            connect(escape, &QShortcut::activated, self,
                    [screen] { Presentation::dismiss(screen, true); });
        }
    }
    // Will-appear before anything of the screen is shown, as tables read their rows then.
    if (self->covered_)
        self->covered_->sendAppearance(Phase::WillDisappear);
    screen->sendAppearance(Phase::WillAppear);
    screen->show();
    self->layoutFrame();
    self->frame_->show();
    self->frame_->raise();
    self->start(animated && Device::animationsEnabled());
}

void Presentation::layoutFrame()
{
    const QRect area = host_->rect();
    frame_->setGeometry(area);
    if (!panel_ || !screen_)
        return;
    QSize size = screen_->preferredContentSize();
    if (!size.isValid() || size.isEmpty())
        size = QSize(320, 480);
    size = size.boundedTo(area.size() - QSize(20, 20)).expandedTo(QSize(100, 100));
    QRect r(QPoint(), size);
    r.moveCenter(area.center());
    if (kind_ == Popover && anchor_ && anchor_->isVisible()) {
        // Below the anchor when it fits, else above it, else as low as the window allows.
        const QRect a(anchor_->mapTo(host_, QPoint(0, 0)), anchor_->size());
        r.moveLeft(a.center().x() - size.width() / 2);
        if (a.bottom() + 6 + size.height() <= area.bottom() - 10)
            r.moveTop(a.bottom() + 6);
        else if (a.top() - 6 - size.height() >= 10)
            r.moveBottom(a.top() - 6);
        else
            r.moveBottom(area.bottom() - 10);
        r.moveLeft(qBound(10, r.left(), area.right() - 10 - size.width()));
        r.moveTop(qMax(10, r.top()));
    }
    panel_->setGeometry(r);
}

void Presentation::start(bool animated)
{
    auto done = [this] {
        if (coveredWidget_)
            coveredWidget_->hide();
        if (covered_)
            covered_->sendAppearance(Phase::DidDisappear);
        if (screen_) {
            screen_->sendAppearance(Phase::DidAppear);
            if (QWidget *w = firstFocusable(screen_))
                w->setFocus(Qt::OtherFocusReason);
        }
    };
    if (!animated || !fullScreen()) {
        done();
        return;
    }
    if (kind_ == Flip) {
        frame_->hide();
        const QPixmap from = host_->grab();
        frame_->show();
        flip(from, host_->grab(), done);
        return;
    }
    const int h = host_->height();
    frame_->move(0, h);
    animate([this, h](double p) { frame_->move(0, int(h * (1.0 - p))); }, kSlideMs, done);
}

void Presentation::dismiss(ViewController *screen, bool animated)
{
    Presentation *self = of(screen);
    if (!self)
        return;
    // What it presented goes first, at once.
    if (screen->presented_)
        dismiss(screen->presented_, false);
    for (Presentation *p : presentationsIn(self->host_))
        p->complete();
    self->finish(animated && Device::animationsEnabled());
}

void Presentation::finish(bool animated)
{
    if (leaving_)
        return;
    leaving_ = true;
    if (presenter_)
        presenter_->presented_ = nullptr;
    if (screen_) {
        screen_->presenting_ = nullptr;
        screen_->sendAppearance(Phase::WillDisappear);
    }
    if (covered_)
        covered_->sendAppearance(Phase::WillAppear);
    if (coveredWidget_)
        coveredWidget_->show();
    auto done = [this] {
        if (screen_)
            screen_->sendAppearance(Phase::DidDisappear);
        if (covered_)
            covered_->sendAppearance(Phase::DidAppear);
        if (previousFocus_ && previousFocus_->isVisible())
            previousFocus_->setFocus(Qt::OtherFocusReason);
        detach();
    };
    if (!animated || !fullScreen() || !screen_) {
        done();
        return;
    }
    if (kind_ == Flip) {
        const QPixmap from = frame_->grab();
        frame_->hide();
        flip(from, host_->grab(), done);
        return;
    }
    const int h = host_->height();
    frame_->raise();
    animate([this, h](double p) { frame_->move(0, int(h * p)); }, kSlideMs, done);
}

void Presentation::detach()
{
    if (screen_) {
        screen_->hide();
        // A keeper that went away in the meantime leaves the screen to us.
        if (ownsScreen_ || !formerParent_) {
            screen_->setParent(nullptr);
            screen_->deleteLater();
        } else {
            screen_->setParent(formerParent_);
        }
    }
    frame_->hide();
    frame_->deleteLater();
    deleteLater();
}

void Presentation::animate(const std::function<void(double)> &step, int ms,
                           std::function<void()> done)
{
    auto *animation = new QVariantAnimation(this);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(ms);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(animation, &QVariantAnimation::valueChanged, this,
            [step](const QVariant &v) { step(v.toDouble()); });
    connect(animation, &QVariantAnimation::finished, this, [this] { complete(); });
    animation_ = animation;
    pending_ = [step, done] {
        step(1.0);
        done();
    };
    animation->start();
}

void Presentation::flip(const QPixmap &from, const QPixmap &to, std::function<void()> done)
{
    auto *view = new FlipView(host_, from, to);
    view->setGeometry(host_->rect());
    view->show();
    view->raise();
    flipView_ = view;
    animate([view](double p) { view->setProgress(p); }, kFlipMs, [this, done] {
        delete flipView_;
        done();
    });
}

void Presentation::complete()
{
    if (animation_) {
        animation_->disconnect(this);
        animation_->stop();
        animation_->deleteLater();
        animation_ = nullptr;
    }
    if (pending_) {
        auto run = std::move(pending_);
        pending_ = nullptr;
        run();
    }
}

bool Presentation::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == host_ && event->type() == QEvent::Resize && frame_) {
        layoutFrame();
        if (flipView_)
            flipView_->setGeometry(host_->rect());
    } else if (watched == frame_ && kind_ == Popover && !leaving_ &&
               event->type() == QEvent::MouseButtonPress) {
        // Presses inside the panel that nothing took arrive here too.
        const QPoint at = static_cast<QMouseEvent *>(event)->position().toPoint();
        if (!panel_->geometry().contains(at) && screen_) {
            dismiss(screen_, true);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
