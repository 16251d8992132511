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
    if (shown)
        root->sendAppearance(ViewController::Phase::WillAppear);
    layout()->addWidget(root);
    if (shown) {
        root->show();
        root->sendAppearance(ViewController::Phase::DidAppear);
    }
}

void Window::setVisible(bool visible)
{
    const bool changes = visible != isVisible();
    if (changes && root_)
        root_->sendAppearance(visible ? ViewController::Phase::WillAppear
                                      : ViewController::Phase::WillDisappear);
    QWidget::setVisible(visible);
    if (changes && root_)
        root_->sendAppearance(visible ? ViewController::Phase::DidAppear
                                      : ViewController::Phase::DidDisappear);
}

void Window::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Device::windowResized(event->size());
}
