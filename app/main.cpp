// sonavel [FILE...]: the music player. Files named on the command line are brought into the
// library's Inbox; when Sonavel already runs, they are handed to it and this process ends.
#include <QApplication>
#include <QDir>

#include <cstdio>

#include "app/Launcher.h"
#include "platform/Localization.h"
#include "platform/SingleInstance.h"

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);

    SingleInstance instance;
    if (instance.start(files) == SingleInstance::HandedOver)
        return 0;

    // A program moved away from its share/sonavel would come up without icons, themes or
    // translations and never say why.
    if (!QDir(SVResourcesPath()).exists())
        fprintf(stderr, "Sonavel: no resources in %s\n", qPrintable(QDir::cleanPath(SVResourcesPath())));

    Launcher launcher;
    launcher.launch(files, &instance);
    return app.exec();
}
