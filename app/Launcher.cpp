#include "app/Launcher.h"

#include <QApplication>

#include "app/AppDelegate.h"
#include "files/AlertMessage.h"
#include "platform/Localization.h"
#include "platform/RemoteControl.h"
#include "platform/SingleInstance.h"
#include "platform/ui/Images.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/RemoteControlCenter.h"
#include "platform/ui/Window.h"
#include "playback/RootViewController.h"
#include "theme/ThemeChooser.h"

namespace {

RemoteCommand commandFor(RemoteControl::Event event)
{
    switch (event) {
    case RemoteControl::Event::NextTrack:
        return RemoteCommand::NextTrack;
    case RemoteControl::Event::PreviousTrack:
        return RemoteCommand::PreviousTrack;
    case RemoteControl::Event::TogglePlayPause:
        break;
    }
    return RemoteCommand::TogglePlayPause;
}

}  // namespace

Launcher::Launcher(UniPlayer *player, QObject *parent) : QObject(parent)
{
    AppDelegate::prepareProcess();
    SVInstallTranslations();
    QGuiApplication::setDesktopFileName(QStringLiteral("org.sonavel.Sonavel"));

    delegate_ = std::make_unique<AppDelegate>(player);
    AppDelegate *delegate = delegate_.get();
    delegate->setMessageHook([](const QString &title, const QString &message) { AlertMessage::show(title, message); });

    window_ = std::make_unique<Window>();
    window_->setWindowTitle(QStringLiteral("Sonavel"));
    window_->setWindowIcon(iconNamed(QStringLiteral("org.sonavel.Sonavel.png")));
    root_ = new RootViewController(delegate->playListController());
    window_->setRootViewController(new NavigationController(root_));

    // A theme chosen anywhere re-themes the screens.
    ThemeChooser::setThemeChangeHandler([delegate] { delegate->onThemeChange(); });
    connect(delegate, &AppDelegate::themeChanged, root_, &RootViewController::onThemeChange);

    // Media keys and desktop panels reach the screen in view.
    remote_ = std::make_unique<RemoteControl>();
    connect(remote_.get(), &RemoteControl::remoteControlEvent, this,
            [](RemoteControl::Event event) { RemoteControlCenter::deliver(commandFor(event)); });
    connect(remote_.get(), &RemoteControl::raiseRequested, this, &Launcher::raise);
    connect(remote_.get(), &RemoteControl::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    // What plays is not published to the clients yet: until it is, they see a stopped player,
    // so PlayPause and Play toggle and Pause is ignored.
}

Launcher::~Launcher()
{
    ThemeChooser::setThemeChangeHandler(nullptr);
    window_.reset();
    remote_.reset();
    delegate_.reset();
}

void Launcher::launch(const QStringList &files, SingleInstance *instance)
{
    if (instance) {
        connect(instance, &SingleInstance::filesReceived, delegate_.get(), [this](const QStringList &paths) {
            delegate_->openFiles(paths);
            raise();
        });
        connect(instance, &SingleInstance::activateRequested, this, &Launcher::raise);
    }
    window_->show();
    delegate_->didFinishLaunching(files);
}

void Launcher::raise()
{
    window_->show();
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->raise();
    window_->activateWindow();
}
