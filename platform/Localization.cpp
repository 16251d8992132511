#include "platform/Localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

void SVInstallTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(), QStringLiteral("sonavel"), QStringLiteral("_"),
                         SVResourcesPath() + QStringLiteral("/translations")))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}

QString SVLocalized(const char *english)
{
    // translate() hands back the source text when no catalogue has it.
    return QCoreApplication::translate("Sonavel", english);
}

QString SVResourcesPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../share/sonavel");
}
