#include "sessioncommand.h"

#include "mailsession.h"
#include "sessionaccount.h"

#include <zaveknetworkscripted.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace {

QString defaultMailbox()
{
    // Next to an installed binary, else the sample mailbox of the source tree.
    const QString installed = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zavek/mailbox");
    return QFileInfo(installed).isDir() ? QDir::cleanPath(installed) : QStringLiteral(ZAVEKCTL_SAMPLE_MAILBOX);
}

QTextStream *logStream = nullptr;

// The library logs through Qt's message handler; in the session those lines belong in
// the story, in order, so they go to the same stream marked as log lines.
void logToSession(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (logStream) {
        *logStream << "     log: " << message << '\n';
        logStream->flush();
    }
}

bool takeNumber(const QStringList &arguments, int *index, int *value)
{
    bool ok = *index + 1 < arguments.size();
    if (ok)
        *value = arguments.at(++*index).toInt(&ok);
    return ok && *value >= 0;
}

} // namespace

int runSessionCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    MailSession::Options options;
    options.account.mailbox = defaultMailbox();
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &name = arguments.at(i);
        bool ok = true;
        if (name == QLatin1String("--mailbox")) {
            ok = i + 1 < arguments.size();
            if (ok)
                options.account.mailbox = arguments.at(++i);
        } else if (name == QLatin1String("--account")) {
            ok = i + 1 < arguments.size();
            if (ok)
                options.account.accountName = arguments.at(++i);
        } else if (name == QLatin1String("--idle-interval")) {
            ok = takeNumber(arguments, &i, &options.idleInterval);
        } else if (name == QLatin1String("--step-delay")) {
            ok = takeNumber(arguments, &i, &options.account.stepDelay);
        } else if (name == QLatin1String("--link-delay")) {
            ok = takeNumber(arguments, &i, &options.linkDelay);
        } else {
            ok = false;
        }
        if (!ok) {
            err << "zavekctl session: bad argument \"" << name << "\"\n"
                << "usage: zavekctl session [--mailbox DIR | --account NAME] [--idle-interval MS] [--step-delay MS] "
                   "[--link-delay MS]\n";
            return 2;
        }
    }
    if (!sessionUsesInstalledQmf()) {
        const QFileInfo mailbox(options.account.mailbox);
        if (!mailbox.isDir() || !mailbox.isReadable()) {
            err << "zavekctl session: mailbox \"" << options.account.mailbox << "\" is not a readable directory\n";
            return 1;
        }
        options.account.mailbox = mailbox.absoluteFilePath();
    }

    // Installed before the manager exists, so the manager's network is the scripted one.
    ZavekScriptedNetwork network;
    MailSession session(options, &network, out);
    logStream = &out;
    const QtMessageHandler previousHandler = qInstallMessageHandler(logToSession);
    const int status = session.run();
    qInstallMessageHandler(previousHandler);
    logStream = nullptr;
    return status;
}
