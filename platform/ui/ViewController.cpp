#include "platform/ui/ViewController.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/Localization.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Presentation.h"

ViewController::ViewController(QWidget *parent) : QWidget(parent)
{
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(0);
    layout_->addStretch(1);

    toolbar_ = new QWidget(this);
    toolbar_->setObjectName(QStringLiteral("toolbar"));
    toolbar_->setAccessibleName(SVLocalized("Toolbar"));
    toolbar_->setFixedHeight(44);
    toolbar_->setAutoFillBackground(true);
    QPalette p = toolbar_->palette();
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::ButtonText, Qt::white);
    toolbar_->setPalette(p);
    toolbarLayout_ = new QHBoxLayout(toolbar_);
    toolbarLayout_->setContentsMargins(6, 0, 6, 0);
    toolbar_->hide();
    layout_->addWidget(toolbar_);

    connect(Device::instance(), &Device::orientationChanged, this, [this](Device::Orientation o) {
        if (loaded_)
            orientationDidChange(o);
    });
}

ViewController::~ViewController()
{
    // Our bar widgets may be living in a navigation bar just now.
    delete titleView_;
    delete left_;
    delete right_;
    if (presented_)
        Presentation::dismiss(presented_, false);
}

NavigationController *ViewController::navigationController() const
{
    return nav_;
}

void ViewController::loadViewIfNeeded()
{
    if (loaded_)
        return;
    loaded_ = true;
    viewDidLoad();
}

void ViewController::setContentWidget(QWidget *content)
{
    if (content_ == content)
        return;
    if (content_) {
        layout_->removeWidget(content_);
        // A screen may have moved its old content into the new one (a table into a
        // background view); only content still standing here goes.
        if (content_->parentWidget() == this)
            content_->hide();
    } else {
        delete layout_->takeAt(0);  // the stretch that stands in for no content
    }
    content_ = content;
    if (content) {
        layout_->insertWidget(0, content, 1);
        content->show();
    } else {
        layout_->insertStretch(0, 1);
    }
}

void ViewController::setTitle(const QString &title)
{
    if (title_ == title)
        return;
    title_ = title;
    emit navigationItemChanged();
}

void ViewController::setPrompt(const QString &prompt)
{
    if (prompt_ == prompt)
        return;
    prompt_ = prompt;
    emit navigationItemChanged();
}

template <typename T>
void ViewController::replaceOwned(QPointer<T> &slot, T *widget)
{
    if (slot == widget)
        return;
    if (slot) {
        slot->hide();
        slot->setParent(this);
    }
    slot = widget;
    if (widget) {
        widget->hide();
        widget->setParent(this);
    }
    emit navigationItemChanged();
}

void ViewController::setTitleView(QWidget *view)
{
    replaceOwned(titleView_, view);
}

void ViewController::setLeftBarButton(QAbstractButton *button)
{
    replaceOwned(left_, button);
}

void ViewController::setRightBarButton(QAbstractButton *button)
{
    replaceOwned(right_, button);
}

void ViewController::setToolbarItems(const QList<QWidget *> &items)
{
    while (QLayoutItem *item = toolbarLayout_->takeAt(0)) {
        if (QWidget *w = item->widget())
            w->hide();
        delete item;
    }
    for (QWidget *w : items) {
        if (w) {
            toolbarLayout_->addWidget(w);
            w->show();
        } else {
            toolbarLayout_->addStretch(1);
        }
    }
    toolbar_->setVisible(!items.isEmpty());
}

void ViewController::presentModally(ViewController *screen, ModalTransition transition, bool animated)
{
    Presentation::present(this, screen,
                          transition == ModalTransition::FlipHorizontal ? Presentation::Flip
                                                                        : Presentation::Slide,
                          nullptr, animated);
}

void ViewController::presentAsFormSheet(ViewController *screen, bool animated)
{
    Presentation::present(this, screen, Presentation::FormSheet, nullptr, animated);
}

void ViewController::presentAsPopover(ViewController *screen, QWidget *anchor, bool animated)
{
    Presentation::present(this, screen, Presentation::Popover, anchor, animated);
}

void ViewController::dismiss(bool animated)
{
    if (presented_) {
        Presentation::dismiss(presented_, animated);
        return;
    }
    // The presentation this screen is shown in: its own, or its navigation stack's.
    for (ViewController *vc = this; vc; vc = vc->nav_) {
        if (vc->presenting_) {
            Presentation::dismiss(vc, animated);
            return;
        }
    }
}

void ViewController::sendAppearance(Phase phase)
{
    loadViewIfNeeded();
    switch (phase) {
    case Phase::WillAppear:
        if (isAppearing())
            return;
        state_ = State::Appearing;
        viewWillAppear();
        break;
    case Phase::DidAppear:
        if (state_ == State::Appeared)
            return;
        if (state_ != State::Appearing)
            sendAppearance(Phase::WillAppear);
        state_ = State::Appeared;
        viewDidAppear();
        break;
    case Phase::WillDisappear:
        if (!isAppearing())
            return;
        state_ = State::Disappearing;
        viewWillDisappear();
        break;
    case Phase::DidDisappear:
        if (state_ == State::Disappeared)
            return;
        if (state_ != State::Disappearing)
            sendAppearance(Phase::WillDisappear);
        state_ = State::Disappeared;
        viewDidDisappear();
        break;
    }
    if (ViewController *child = appearanceChild())
        child->sendAppearance(phase);
}

void ViewController::showEvent(QShowEvent *event)
{
    // A screen shown without a container still gets its viewDidLoad.
    loadViewIfNeeded();
    QWidget::showEvent(event);
}

QToolButton *makeBarButton(const QString &text, const QImage &image)
{
    auto *button = new QToolButton;
    button->setText(text);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::StrongFocus);
    if (!image.isNull()) {
        button->setIcon(QIcon(QPixmap::fromImage(image)));
        button->setIconSize(image.size().boundedTo(QSize(32, 32)));
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    } else {
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    button->setMinimumHeight(36);
    return button;
}

QToolButton *makeToolbarButton(const char *title, int minimumWidth)
{
    QToolButton *button = makeBarButton(SVLocalized(title));
    button->setMinimumWidth(minimumWidth);
    return button;
}
