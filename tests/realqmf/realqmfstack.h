#ifndef REALQMFSTACK_H
#define REALQMFSTACK_H

// The real mail stack of the end-to-end suite, all of it private to the test: an IMAP server
// on a free loopback port with a throwaway mailbox of handwritten messages, and the message
// server with its store in the test's temporary home, on the test's own session bus. Every
// process is stopped when the stack goes, and gets SIGTERM if the test process dies.

#include "childprocess.h"

#include <qmailid.h>

#include <QList>
#include <QString>
#include <QTemporaryDir>

class RealQmfStack
{
public:
    // The support code opens the store as the program starts, so QMF's plugin path and a
    // session bus of the program's own must be in place before then: unless it already runs
    // so, the program runs itself again under dbus-run-session, which ends the bus when the
    // program ends. Returns in the program that runs on the private bus; false (with a
    // warning) when dbus-run-session cannot be started.
    static bool runOnPrivateBus(int argc, char *argv[]);

    // A message placed in the mailbox before the IMAP server first starts; an empty folder is
    // the inbox, any other is a folder of that name beside it.
    struct MailboxMessage
    {
        QString folder;
        QByteArray text;
    };

    RealQmfStack();
    ~RealQmfStack();

    // Called before start(): these messages are added to the handwritten ones.
    void setExtraMessages(const QList<MailboxMessage> &messages) { m_extraMessages = messages; }

    // IMAP server and message server; false with the reason in *error. Without the message
    // server, accounts added before startMessageServer() are loaded as it starts rather than
    // learnt from the store's notifications.
    bool start(QString *error, bool withMessageServer = true);

    bool startImapServer();
    // A frozen IMAP server accepts connections but never answers: work that needs it hangs.
    void freezeImapServer(bool frozen);
    // Every process of the IMAP server ends at once (SIGKILL), frozen or not.
    void killImapServer();

    // Where the message server writes what it logs, from its next start on; by default the
    // program's own output.
    void setMessageServerLog(const QString &path) { m_messageServerLog = path; }
    bool startMessageServer();
    void killMessageServer();
    bool isMessageServerOnBus() const;
    // False once the message server has ended, whoever ended it.
    bool isMessageServerRunning() const { return m_messageServer.state() != QProcess::NotRunning; }

    // An enabled IMAP account on the test server; its password may be wrong on purpose.
    QMailAccountId addAccount(const QString &name, const QString &password) const;

    QString userName() const { return QStringLiteral("user"); }
    QString password() const { return QStringLiteral("secret-1"); }
    int imapPort() const { return m_port; }
    // The user's Maildir on the IMAP server; a folder's own directory inside it.
    QString maildir() const;
    QString maildirFolder(const QString &folder) const;

private:
    bool writeImapConfiguration();
    bool writeMailbox();
    void signalImapServer(int signal);

    QList<MailboxMessage> m_extraMessages;
    QString m_messageServerLog;
    QTemporaryDir m_imapDir;
    int m_port = 0;
    ZavekTest::ChildProcess m_imapServer;
    ZavekTest::ChildProcess m_messageServer;
};

#endif // REALQMFSTACK_H
