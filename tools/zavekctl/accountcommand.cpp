#include "accountcommand.h"

#include "sessionaccount.h"

#include <qmailaccount.h>
#include <qmailaccountconfiguration.h>
#include <qmailstore.h>

#include <QFile>
#include <QHash>
#include <QTextStream>

#include <algorithm>

namespace {

const char usage[] =
    "usage: zavekctl account list\n"
    "       zavekctl account add NAME --server HOST --user USER [--port N] [--encryption none|ssl|starttls]\n"
    "                                 [--password-file FILE]   (else the password is read from standard input)\n";

int listAccounts(QTextStream &out)
{
    for (const QMailAccountId &id : QMailStore::instance()->queryAccounts()) {
        const QMailAccount account(id);
        out << id.toULongLong() << '\t' << account.name()
            << ((account.status() & QMailAccount::Enabled) ? "" : "\t(disabled)") << '\n';
    }
    return 0;
}

// The first line of the file, or of standard input; null when it cannot be read.
QString readPassword(const QString &fileName)
{
    QFile file;
    const bool opened = fileName.isEmpty() ? file.open(stdin, QIODevice::ReadOnly)
                                           : (file.setFileName(fileName), file.open(QIODevice::ReadOnly));
    if (!opened)
        return QString();
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

int addAccount(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    QHash<QString, QString> options{ { QStringLiteral("--port"), QStringLiteral("143") },
                                     { QStringLiteral("--encryption"), QStringLiteral("none") } };
    const QStringList known{ QStringLiteral("--server"), QStringLiteral("--user"), QStringLiteral("--port"),
                             QStringLiteral("--encryption"), QStringLiteral("--password-file") };
    const QString name = arguments.value(0);
    bool ok = !name.isEmpty() && !name.startsWith(QLatin1String("--"));
    for (int i = 1; ok && i < arguments.size(); i += 2) {
        ok = known.contains(arguments.at(i)) && i + 1 < arguments.size();
        if (ok)
            options.insert(arguments.at(i), arguments.at(i + 1));
    }
    const QHash<QString, int> encryptions{ { QStringLiteral("none"), 0 }, { QStringLiteral("ssl"), 1 },
                                           { QStringLiteral("starttls"), 2 } };
    const int port = options.value(QStringLiteral("--port")).toInt();
    ok = ok && options.contains(QStringLiteral("--server")) && options.contains(QStringLiteral("--user"))
        && port > 0 && port < 65536 && encryptions.contains(options.value(QStringLiteral("--encryption")));
    if (!ok) {
        err << "zavekctl account add: bad arguments\n" << usage;
        return 2;
    }
    const QString password = readPassword(options.value(QStringLiteral("--password-file")));
    if (password.isNull()) {
        err << "zavekctl account add: cannot read the password\n";
        return 1;
    }
    // The IMAP service reads the password as Latin-1: other characters would turn into '?'
    // and the login would fail later with no hint why.
    if (std::any_of(password.cbegin(), password.cend(), [](QChar c) { return c.unicode() > 0xff; })) {
        err << "zavekctl account add: the password has characters outside Latin-1, which the IMAP service "
               "cannot store\n";
        return 1;
    }

    QMailAccount account;
    account.setName(name);
    account.setMessageType(QMailMessage::Email);
    account.setStatus(QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource, true);
    QMailAccountConfiguration configuration;
    configuration.addServiceConfiguration(QStringLiteral("imap4"));
    QMailAccountConfiguration::ServiceConfiguration &imap = configuration.serviceConfiguration(QStringLiteral("imap4"));
    imap.setValue(QStringLiteral("version"), QStringLiteral("100"));
    imap.setValue(QStringLiteral("servicetype"), QStringLiteral("source"));
    imap.setValue(QStringLiteral("server"), options.value(QStringLiteral("--server")));
    imap.setValue(QStringLiteral("port"), QString::number(port));
    imap.setValue(QStringLiteral("username"), options.value(QStringLiteral("--user")));
    // The IMAP service reads the password as base64 of its Latin-1 bytes.
    imap.setValue(QStringLiteral("password"), QString::fromLatin1(password.toLatin1().toBase64()));
    imap.setValue(QStringLiteral("encryption"), QString::number(encryptions.value(options.value(QStringLiteral("--encryption")))));
    imap.setValue(QStringLiteral("authentication"), QStringLiteral("0"));
    imap.setValue(QStringLiteral("maxSize"), QStringLiteral("0"));
    imap.setValue(QStringLiteral("pushEnabled"), QStringLiteral("0"));
    imap.setValue(QStringLiteral("checkInterval"), QStringLiteral("-1"));
    configuration.addServiceConfiguration(QStringLiteral("qmfstoragemanager"));
    QMailAccountConfiguration::ServiceConfiguration &storage =
        configuration.serviceConfiguration(QStringLiteral("qmfstoragemanager"));
    storage.setValue(QStringLiteral("version"), QStringLiteral("101"));
    storage.setValue(QStringLiteral("servicetype"), QStringLiteral("storage"));

    if (!QMailStore::instance()->addAccount(&account, &configuration)) {
        err << "zavekctl account add: the store refused the account (error " << int(QMailStore::instance()->lastError())
            << ")\n";
        return 1;
    }
    out << account.id().toULongLong() << '\t' << name << '\n';
    return 0;
}

} // namespace

int runAccountCommand(const QStringList &arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (!sessionUsesInstalledQmf()) {
        err << "zavekctl account: needs a build against an installed QMF; "
               "this one carries its own in-memory store\n";
        return 1;
    }
    const QString sub = arguments.value(0);
    if (sub == QLatin1String("list") && arguments.size() == 1)
        return listAccounts(out);
    if (sub == QLatin1String("add"))
        return addAccount(arguments.mid(1), out, err);
    err << usage;
    return 2;
}
