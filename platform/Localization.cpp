#include "platform/Localization.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

void SVInstallTranslations()
{
    const QString folder = SVResourcesPath() + QStringLiteral("/translations");
    auto *translator = new QTranslator(QCoreApplication::instance());
    // The user's languages in their order (LANGUAGE, else LC_ALL, LC_MESSAGES, LANG); the first
    // with a catalogue wins, so English ranked first stays English.
    for (const QString &name : QLocale().uiLanguages()) {
        QLocale locale(name);
        // The Chinese catalogues differ by script: Hong Kong and Macau read the traditional
        // one, Singapore the simplified one.
        if (locale.language() == QLocale::Chinese)
            locale = QLocale(QLocale::Chinese, locale.script() == QLocale::TraditionalHanScript
                                                   ? QLocale::Taiwan
                                                   : QLocale::China);
        if (translator->load(locale, QStringLiteral("sonavel"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator);
            return;
        }
    }
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
