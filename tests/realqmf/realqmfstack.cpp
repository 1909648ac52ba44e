#include "realqmfstack.h"

#include "testenvironment.h"

#include <qmailaccount.h>
#include <qmailaccountconfiguration.h>
#include <qmailcodec.h>
#include <qmailstore.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QVector>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace {

const int startTimeoutMs = 15000;
const char serverName[] = "org.qt.messageserver";
const char *const messageFiles[] = {"plain.eml", "html-images.eml", "attachment.eml"};

int freeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool acceptsConnections(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, quint16(port));
    return socket.waitForConnected(1000);
}

} // namespace

bool RealQmfStack::runOnPrivateBus(int argc, char *argv[])
{
    if (qgetenv("ZAVEK_REALQMF_PRIVATE_BUS") == "1")
        return true;
    qputenv("ZAVEK_REALQMF_PRIVATE_BUS", "1");
    qputenv("QT_PLUGIN_PATH", ZAVEK_QMF_PLUGIN_DIR);
    QVector<char *> arguments{const_cast<char *>("dbus-run-session"), const_cast<char *>("--")};
    arguments.append(QVector<char *>(argv, argv + argc));
    arguments.append(nullptr);
    ::execvp("dbus-run-session", arguments.data());
    qWarning("cannot run dbus-run-session (package dbus-daemon): %s", strerror(errno));
    return false;
}

RealQmfStack::RealQmfStack()
    : m_imapDir(QDir::tempPath() + QStringLiteral("/zavek-imap-XXXXXX"))
{
}

RealQmfStack::~RealQmfStack()
{
    // The message server first: it holds connections to the others.
    m_messageServer.stop();
    freezeImapServer(false);
    m_imapServer.stop();
}

bool RealQmfStack::start(QString *error, bool withMessageServer)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dovecot"), {"/usr/sbin", "/usr/bin"}).isEmpty()) {
        *error = QStringLiteral("dovecot is not installed (package dovecot-imapd)");
        return false;
    }
    if (!QFile::exists(QStringLiteral(ZAVEK_QMF_MESSAGESERVER))) {
        *error = QStringLiteral("no message server at %1").arg(QStringLiteral(ZAVEK_QMF_MESSAGESERVER));
        return false;
    }
    if (!QDBusConnection::sessionBus().isConnected()) {
        *error = QStringLiteral("no session bus");
        return false;
    }

    m_port = freeLoopbackPort();
    if (!writeImapConfiguration() || !startImapServer()) {
        *error = QStringLiteral("the IMAP server did not start (see %1/dovecot.log)").arg(m_imapDir.path());
        return false;
    }
    if (withMessageServer && !startMessageServer()) {
        *error = QStringLiteral("the message server did not come up");
        return false;
    }
    return true;
}

QString RealQmfStack::maildir() const
{
    return m_imapDir.path() + QStringLiteral("/home/user/Maildir");
}

bool RealQmfStack::writeImapConfiguration()
{
    const QString root = m_imapDir.path();
    // Mail processes run unprivileged: as nobody under root, else as the caller.
    const bool asRoot = ::getuid() == 0;
    const uint uid = asRoot ? 65534 : ::getuid();
    const uint gid = asRoot ? 65534 : ::getgid();
    if (!writeMailbox())
        return false;
    QFile::setPermissions(root, QFile::permissions(root) | QFile::ExeOther | QFile::ReadOther);
    if (asRoot && QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("%1:%2").arg(uid).arg(gid),
                                                                root + QStringLiteral("/home")}) != 0)
        return false;

    QFile passwd(root + QStringLiteral("/passwd"));
    QFile config(root + QStringLiteral("/dovecot.conf"));
    if (!passwd.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly))
        return false;
    passwd.write(QStringLiteral("%1:{PLAIN}%2\n").arg(userName(), password()).toUtf8());
    QString text = QStringLiteral(
        "protocols = imap\n"
        "listen = 127.0.0.1\n"
        "base_dir = %1/run\n"
        "state_dir = %1/state\n"
        "log_path = %1/dovecot.log\n"
        "ssl = no\n"
        "disable_plaintext_auth = no\n"
        "auth_mechanisms = plain login\n"
        "auth_failure_delay = 0\n"
        "first_valid_uid = %3\n"
        "first_valid_gid = %4\n"
        "mail_location = maildir:~/Maildir\n"
        "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN %1/passwd\n}\n"
        "userdb {\n  driver = static\n  args = uid=%3 gid=%4 home=%1/home/%u\n}\n"
        "service imap-login {\n  inet_listener imap {\n    address = 127.0.0.1\n    port = %2\n  }\n"
        "  inet_listener imaps {\n    port = 0\n  }\n}\n"
        "service stats {\n  inet_listener http {\n    port = 0\n  }\n}\n")
                       .arg(root).arg(m_port).arg(uid).arg(gid);
    if (!asRoot) {
        const QString user = QString::fromLocal8Bit(qgetenv("USER"));
        text += QStringLiteral("default_internal_user = %1\ndefault_login_user = %1\n").arg(user);
    }
    config.write(text.toUtf8());
    return true;
}

QString RealQmfStack::maildirFolder(const QString &folder) const
{
    // Maildir++: a folder is a dot-named directory beside the inbox's own.
    return folder.isEmpty() ? maildir() : maildir() + QStringLiteral("/.") + folder;
}

bool RealQmfStack::writeMailbox()
{
    QList<MailboxMessage> messages;
    for (const char *name : messageFiles) {
        QFile file(ZavekTest::dataPath(QStringLiteral("realqmf/") + QLatin1String(name)));
        if (!file.open(QIODevice::ReadOnly))
            return false;
        messages.append({QString(), file.readAll()});
    }
    messages += m_extraMessages;
    int sequence = 0;
    for (const MailboxMessage &message : qAsConst(messages)) {
        const QString folder = maildirFolder(message.folder);
        for (const char *subdirectory : {"/new", "/cur", "/tmp"})
            QDir().mkpath(folder + QLatin1String(subdirectory));
        QFile file(QStringLiteral("%1/new/%2.M1P1.zavek").arg(folder).arg(1000000000 + ++sequence));
        if (!file.open(QIODevice::WriteOnly) || file.write(message.text) != message.text.size())
            return false;
    }
    return true;
}

bool RealQmfStack::startImapServer()
{
    m_imapServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_imapServer.start(QStringLiteral("dovecot"), {QStringLiteral("-F"), QStringLiteral("-c"), m_imapDir.path() + QStringLiteral("/dovecot.conf")});
    return m_imapServer.waitForStarted(startTimeoutMs) && QTest::qWaitFor([this] { return acceptsConnections(m_port); }, startTimeoutMs);
}

void RealQmfStack::freezeImapServer(bool frozen)
{
    signalImapServer(frozen ? SIGSTOP : SIGCONT);
}

void RealQmfStack::killImapServer()
{
    signalImapServer(SIGKILL);
    m_imapServer.waitForFinished(startTimeoutMs);
}

void RealQmfStack::signalImapServer(int signal)
{
    // The master and the workers it started share the process group it leads.
    if (m_imapServer.state() == QProcess::Running)
        ::kill(-pid_t(m_imapServer.processId()), signal);
}

bool RealQmfStack::startMessageServer()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(ZAVEK_QMF_PLUGIN_DIR));
    environment.insert(QStringLiteral("LD_LIBRARY_PATH"), QStringLiteral(ZAVEK_QMF_LIBRARY_DIR));
    m_messageServer.setProcessEnvironment(environment);
    if (m_messageServerLog.isEmpty()) {
        m_messageServer.setProcessChannelMode(QProcess::ForwardedChannels);
    } else {
        m_messageServer.setProcessChannelMode(QProcess::MergedChannels);
        m_messageServer.setStandardOutputFile(m_messageServerLog, QIODevice::Append);
    }
    m_messageServer.start(QStringLiteral(ZAVEK_QMF_MESSAGESERVER), QStringList());
    return m_messageServer.waitForStarted(startTimeoutMs) && QTest::qWaitFor([this] { return isMessageServerOnBus(); }, startTimeoutMs);
}

void RealQmfStack::killMessageServer()
{
    m_messageServer.kill();
    m_messageServer.waitForFinished(startTimeoutMs);
}

bool RealQmfStack::isMessageServerOnBus() const
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(serverName));
}

QMailAccountId RealQmfStack::addAccount(const QString &name, const QString &password) const
{
    // The status flags hold their values only once the store exists.
    QMailStore *store = QMailStore::instance();
    QMailAccount account;
    account.setName(name);
    account.setMessageType(QMailMessage::Email);
    account.setStatus(QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource, true);

    QMailAccountConfiguration configuration;
    configuration.addServiceConfiguration(QStringLiteral("imap4"));
    QMailAccountConfiguration::ServiceConfiguration &imap = configuration.serviceConfiguration(QStringLiteral("imap4"));
    const QString encodedPassword = QString::fromLatin1(QMailBase64Codec(QMailBase64Codec::Text).encode(password, "ISO-8859-1"));
    const QList<QPair<const char *, QString> > values{
        {"version", "100"}, {"servicetype", "source"}, {"server", "127.0.0.1"},
        {"port", QString::number(m_port)}, {"username", userName()}, {"password", encodedPassword},
        {"encryption", "0"}, {"authentication", "0"}, {"maxSize", "0"}, {"pushEnabled", "0"}, {"checkInterval", "-1"}};
    for (const auto &value : values)
        imap.setValue(QLatin1String(value.first), value.second);
    configuration.addServiceConfiguration(QStringLiteral("qmfstoragemanager"));
    QMailAccountConfiguration::ServiceConfiguration &storage = configuration.serviceConfiguration(QStringLiteral("qmfstoragemanager"));
    storage.setValue(QStringLiteral("version"), QStringLiteral("101"));
    storage.setValue(QStringLiteral("servicetype"), QStringLiteral("storage"));
    store->addAccount(&account, &configuration);
    return account.id();
}
