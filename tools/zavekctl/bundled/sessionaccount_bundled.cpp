#include "../sessionaccount.h"

#include <qmailaccount.h>
#include <qmailaccountconfiguration.h>
#include <qmailfolder.h>
#include <qmailmessageserver.h>
#include <qmailstore.h>

bool sessionUsesInstalledQmf()
{
    return false;
}

SessionAccount prepareSessionAccount(const SessionAccountRequest &request)
{
    if (!request.accountName.isEmpty())
        return { QMailAccountId(), QStringLiteral("--account needs a build against an installed QMF; "
                                                  "this one carries its own in-memory store") };
    QMailStore *store = QMailStore::instance();
    QMailAccount account;
    account.setName(QStringLiteral("Demo"));
    account.setStatus(QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource
                          | QMailAccount::MessageSink | QMailAccount::CanTransmit | QMailAccount::PreferredSender,
                      true);
    QMailAccountConfiguration configuration;
    store->addAccount(&account, &configuration);

    QMailFolder inbox(QStringLiteral("Inbox"), QMailFolderId(), account.id());
    inbox.setStatus(QMailFolder::Incoming | QMailFolder::MessagesPermitted, true);
    store->addFolder(&inbox);
    QMailFolder sent(QStringLiteral("Sent"), QMailFolderId(), account.id());
    sent.setStatus(QMailFolder::Sent | QMailFolder::MessagesPermitted, true);
    store->addFolder(&sent);
    account.setStandardFolder(QMailFolder::InboxFolder, inbox.id());
    account.setStandardFolder(QMailFolder::SentFolder, sent.id());
    store->updateAccount(&account);

    QmfStandIn::MessageServer *server = QmfStandIn::MessageServer::instance();
    server->setMode(QmfStandIn::MessageServer::Automatic);
    server->setAutomaticDelay(request.stepDelay);
    server->setRemoteMailbox(account.id(), request.mailbox);
    return { account.id(), QStringLiteral("-- account \"Demo\" (id %1), remote mailbox %2")
                               .arg(account.id().toULongLong())
                               .arg(request.mailbox) };
}
