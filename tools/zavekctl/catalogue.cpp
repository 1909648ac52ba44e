#include "catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

bool installEnglishCatalogue(QCoreApplication *application)
{
    const QStringList directories = {
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zavek/translations"),
        QStringLiteral(ZAVEKCTL_INSTALLED_TRANSLATIONS),
        QStringLiteral(ZAVEKCTL_BUILD_TRANSLATIONS),
    };
    auto *translator = new QTranslator(application);
    for (const QString &directory : directories) {
        if (translator->load(QStringLiteral("zavek_en"), directory)) {
            QCoreApplication::installTranslator(translator);
            return true;
        }
    }
    delete translator;
    return false;
}
