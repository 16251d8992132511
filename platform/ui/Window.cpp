#include "platform/ui/Window.h"

#include <QResizeEvent>
#include <QVBoxLayout>

#include "platform/ui/Device.h"
#include "platform/ui/ViewController.h"

Window::Window(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    resize(Device::defaultWindowSize());
}

void Window::setRootViewController(ViewController *root)
{
    if (root_ == root)
        return;
    const bool shown = isVisible();
    if (root_) {
        if (shown) {
            root_->sendAppearance(ViewController::Phase::WillDisappear);
            root_->sendAppearance(ViewController::Phase::DidDisappear);
        }
        delete root_;
    }
    root_ = root;
    if (!root)
        return;
    root->loadViewIfNeeded();
    layout()->addWidget(root);
    if (shown) {
        root->sendAppearance(ViewController::Phase::WillAppear);
        root->show();
        root->sendAppearance(ViewController::Phase::DidAppear);
    }
}

void Window::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // A window restored from the task bar was never gone for its screens.
    if (event->spontaneous() || !root_)
        return;
    root_->sendAppearance(ViewController::Phase::WillAppear);
    root_->sendAppearance(ViewController::Phase::DidAppear);
}

void Window::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous() || !root_)
        return;
    root_->sendAppearance(ViewController::Phase::WillDisappear);
    root_->sendAppearance(ViewController::Phase::DidDisappear);
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Device::windowResized(event->size());
}
