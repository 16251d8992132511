#include "platform/ui/NavigationController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/Localization.h"

NavigationController::NavigationController(ViewController *root, QWidget *parent)
    : ViewController(parent)
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    bar_ = new QWidget;
    bar_->setObjectName(QStringLiteral("navigationBar"));
    bar_->setAccessibleName(SVLocalized("Navigation bar"));
    bar_->setAutoFillBackground(true);
    QPalette p = bar_->palette();
    p.setColor(QPalette::Window, QColor(20, 20, 20));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::ButtonText, Qt::white);
    bar_->setPalette(p);
    barLayout_ = new QGridLayout(bar_);
    barLayout_->setContentsMargins(6, 2, 6, 2);
    barLayout_->setVerticalSpacing(0);
    barLayout_->setColumnStretch(1, 1);

    prompt_ = new QLabel;
    prompt_->setObjectName(QStringLiteral("navigationPrompt"));
    prompt_->setAlignment(Qt::AlignCenter);
    prompt_->hide();
    barLayout_->addWidget(prompt_, 0, 0, 1, 3);

    title_ = new QLabel;
    title_->setObjectName(QStringLiteral("navigationTitle"));
    title_->setAlignment(Qt::AlignCenter);
    title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.15);
    title_->setFont(bold);
    title_->setMinimumHeight(40);
    barLayout_->addWidget(title_, 1, 1);

    back_ = makeBarButton(QStringLiteral("\u2039 ") + SVLocalized("Back"));
    back_->setObjectName(QStringLiteral("backButton"));
    back_->setAccessibleName(SVLocalized("Back"));
    back_->setParent(bar_);
    back_->hide();
    connect(back_, &QToolButton::clicked, this, &NavigationController::popViewController);

    stack_ = new QStackedWidget;
    layout->addWidget(bar_);
    layout->addWidget(stack_, 1);
    setContentWidget(content);

    if (root)
        pushViewController(root);
}

NavigationController::~NavigationController()
{
    // Screens kept by someone else go back to them with their bar buttons; ours go with us.
    returnBarWidgets();
    for (const Entry &e : entries_) {
        if (!e.screen)
            continue;
        if (e.formerParent) {
            e.screen->nav_ = nullptr;
            e.screen->hide();
            e.screen->setParent(e.formerParent);
        } else {
            delete e.screen;
        }
    }
}

ViewController *NavigationController::topViewController() const
{
    for (int i = entries_.size() - 1; i >= 0; i--)
        if (entries_[i].screen)
            return entries_[i].screen;
    return nullptr;
}

ViewController *NavigationController::rootViewController() const
{
    return entries_.isEmpty() ? nullptr : entries_.first().screen.data();
}

QList<ViewController *> NavigationController::viewControllers() const
{
    QList<ViewController *> list;
    for (const Entry &e : entries_)
        if (e.screen)
            list.append(e.screen);
    return list;
}

void NavigationController::pushViewController(ViewController *screen)
{
    if (!screen || screen == this || viewControllers().contains(screen) || screen->nav_)
        return;
    ViewController *old = topViewController();
    const bool inView = isAppearing();
    screen->loadViewIfNeeded();
    if (inView && old)
        old->sendAppearance(Phase::WillDisappear);
    if (inView)
        screen->sendAppearance(Phase::WillAppear);

    entries_.append({screen, screen->parentWidget()});
    screen->nav_ = this;
    stack_->addWidget(screen);
    stack_->setCurrentWidget(screen);
    connect(screen, &ViewController::navigationItemChanged, this, [this, screen] {
        if (screen == topViewController())
            updateBar();
    });
    updateBar();

    if (inView && old)
        old->sendAppearance(Phase::DidDisappear);
    if (inView)
        screen->sendAppearance(Phase::DidAppear);
    focusTop();
}

void NavigationController::popViewController()
{
    if (entries_.size() < 2)
        return;
    ViewController *top = topViewController();
    const bool inView = isAppearing();
    Entry gone = entries_.takeLast();
    ViewController *below = topViewController();
    if (inView && top)
        top->sendAppearance(Phase::WillDisappear);
    if (inView && below)
        below->sendAppearance(Phase::WillAppear);
    if (below)
        stack_->setCurrentWidget(below);
    updateBar();
    if (inView && top)
        top->sendAppearance(Phase::DidDisappear);
    if (inView && below)
        below->sendAppearance(Phase::DidAppear);
    focusTop();
    if (gone.screen) {
        gone.screen->nav_ = nullptr;
        gone.screen->disconnect(this);
        stack_->removeWidget(gone.screen);
        gone.screen->hide();
        if (gone.formerParent) {
            gone.screen->setParent(gone.formerParent);
        } else {
            gone.screen->setParent(nullptr);
            gone.screen->deleteLater();
        }
    }
}

void NavigationController::popToRootViewController()
{
    // The screens between go without lifecycle calls: they are not in view.
    while (entries_.size() > 2) {
        Entry e = entries_.takeAt(entries_.size() - 2);
        if (e.screen) {
            e.screen->nav_ = nullptr;
            e.screen->disconnect(this);
            stack_->removeWidget(e.screen);
            e.screen->hide();
            e.screen->setParent(e.formerParent);
            if (!e.formerParent)
                e.screen->deleteLater();
        }
    }
    popViewController();
}

void NavigationController::focusTop()
{
    // Keyboard and screen-reader users go on in the screen now on top, unless the focus is
    // somewhere else (a popover, another window).
    QWidget *focus = QApplication::focusWidget();
    ViewController *top = topViewController();
    if (!top || !isVisible() || (focus && !isAncestorOf(focus)))
        return;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(top) && w->isEnabled()) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

void NavigationController::setNavigationBarHidden(bool hidden)
{
    bar_->setVisible(!hidden);
}

void NavigationController::returnBarWidgets()
{
    for (const QPointer<QWidget> &w : shown_) {
        if (!w)
            continue;
        barLayout_->removeWidget(w);
        w->hide();
        w->setParent(shownFor_ ? static_cast<QWidget *>(shownFor_.data()) : nullptr);
        if (!shownFor_)
            w->deleteLater();
    }
    shown_.clear();
}

void NavigationController::updateBar()
{
    // The widgets of the screen that was on top go back to it.
    returnBarWidgets();
    barLayout_->removeWidget(back_);
    back_->hide();

    ViewController *top = topViewController();
    shownFor_ = top;
    if (!top) {
        title_->clear();
        prompt_->hide();
        return;
    }
    auto place = [this](QWidget *w, int column) {
        barLayout_->addWidget(w, 1, column);
        w->show();
        shown_.append(w);
    };
    if (top->titleView()) {
        title_->hide();
        place(top->titleView(), 1);
    } else {
        title_->setText(top->title());
        title_->show();
    }
    prompt_->setText(top->prompt());
    prompt_->setVisible(!top->prompt().isEmpty());
    if (top->leftBarButton()) {
        place(top->leftBarButton(), 0);
    } else if (entries_.size() > 1) {
        barLayout_->addWidget(back_, 1, 0);
        back_->show();
    }
    if (top->rightBarButton())
        place(top->rightBarButton(), 2);
    // The two sides take the same width, so the title stays in the middle of the bar whatever
    // buttons stand beside it.
    auto sideWidth = [this](int column) {
        QLayoutItem *item = barLayout_->itemAtPosition(1, column);
        return item && item->widget() && !item->widget()->isHidden() ? item->widget()->sizeHint().width() : 0;
    };
    const int side = std::max(sideWidth(0), sideWidth(2));
    barLayout_->setColumnMinimumWidth(0, side);
    barLayout_->setColumnMinimumWidth(2, side);
}
