// zavekctl: libzavek's command-line demo and inspection tool.
//   zavekctl session [--mailbox DIR | --account NAME] [--idle-interval MS] [--step-delay MS]
//   zavekctl account list | add NAME --server HOST --user USER [...]
//   zavekctl inspect FILE.eml [--save-attachments]
//   zavekctl settings list | get KEY | set KEY VALUE | watch [--count N] [--timeout MS]

#include "accountcommand.h"
#include "catalogue.h"
#include "messagefilecommand.h"
#include "sessioncommand.h"
#include "settingscommand.h"

#include <qmailstore.h>

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

namespace {

const char usage[] =
    "usage: zavekctl session [--mailbox DIR | --account NAME] [--idle-interval MS] [--step-delay MS]\n"
    "       zavekctl account list | add NAME --server HOST --user USER [--port N] [--encryption none|ssl|starttls]\n"
    "                                       [--password-file FILE]\n"
    "       zavekctl inspect FILE.eml [--save-attachments]\n"
    "       zavekctl settings list | get KEY | set KEY VALUE | watch [--count N] [--timeout MS]\n";

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zavekctl"));
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream err(stderr);

    if (arguments.isEmpty()) {
        err << usage;
        return 2;
    }
    if (arguments.first() == QLatin1String("--help") || arguments.first() == QLatin1String("-h")) {
        QTextStream(stdout) << usage;
        return 0;
    }

    installEnglishCatalogue(&app);
    const QString command = arguments.takeFirst();
    // An installed QMF gives the status flags their values only when the store first opens.
    if (command != QLatin1String("settings"))
        QMailStore::instance();
    if (command == QLatin1String("session"))
        return runSessionCommand(arguments);
    if (command == QLatin1String("inspect"))
        return runInspectCommand(arguments);
    if (command == QLatin1String("account"))
        return runAccountCommand(arguments);
    if (command == QLatin1String("settings"))
        return runSettingsCommand(arguments);

    err << "zavekctl: unknown command \"" << command << "\"\n" << usage;
    return 2;
}
