// One screen shown over another: its frame inside the window, the screens it covers, the
// transition in and out. Used by ViewController (present*, dismiss); not for screens.
// Main thread.
#pragma once

#include <QObject>
#include <QPixmap>
#include <QPointer>

#include <functional>

#include "platform/ui/ViewController.h"

class QVariantAnimation;
class QWidget;

class Presentation : public QObject {
    Q_OBJECT
public:
    enum Kind { Slide, Flip, FormSheet, Popover };

    static void present(ViewController *presenter, ViewController *screen, Kind kind,
                        QWidget *anchor, bool animated);
    static void dismiss(ViewController *screen, bool animated);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Phase = ViewController::Phase;
    Presentation(QWidget *host, Kind kind);
    ~Presentation() override;

    bool fullScreen() const { return kind_ == Slide || kind_ == Flip; }
    void layoutFrame();
    void start(bool animated);
    void finish(bool animated);
    // Runs the end of a transition in progress at once.
    void complete();
    // Every presentation in `host`, first presented first.
    static QList<Presentation *> presentationsIn(QWidget *host);
    static Presentation *of(ViewController *screen);
    void animate(const std::function<void(double)> &step, int ms, std::function<void()> done);
    void flip(const QPixmap &from, const QPixmap &to, std::function<void()> done);
    void detach();

    QWidget *host_;
    Kind kind_;
    QPointer<ViewController> presenter_, screen_, covered_;
    QPointer<QWidget> coveredWidget_, formerParent_, anchor_, previousFocus_;
    bool ownsScreen_ = false;
    bool leaving_ = false;
    QWidget *frame_ = nullptr;  // the full-screen cover, or the backdrop of a panel
    QWidget *panel_ = nullptr;  // the panel of a form sheet or popover
    QPointer<QVariantAnimation> animation_;
    QPointer<QWidget> flipView_;
    std::function<void()> pending_;
};
