#include "../sessionaccount.h"

#include <qmailaccount.h>
#include <qmailaccountkey.h>
#include <qmailstore.h>

bool sessionUsesInstalledQmf()
{
    return true;
}

SessionAccount prepareSessionAccount(const SessionAccountRequest &request)
{
    if (request.accountName.isEmpty())
        return { QMailAccountId(), QStringLiteral("name the account with --account NAME "
                                                  "(zavekctl account list shows them)") };
    const QMailAccountIdList ids = QMailStore::instance()->queryAccounts(QMailAccountKey::name(request.accountName));
    if (ids.isEmpty())
        return { QMailAccountId(), QStringLiteral("no account named \"%1\" in the store").arg(request.accountName) };
    const QMailAccount account(ids.first());
    if (!(account.status() & QMailAccount::Enabled))
        return { QMailAccountId(), QStringLiteral("account \"%1\" is disabled").arg(request.accountName) };
    return { account.id(), QStringLiteral("-- account \"%1\" (id %2) in the store at %3")
                               .arg(account.name())
                               .arg(account.id().toULongLong())
                               .arg(QString::fromLocal8Bit(qgetenv("QMF_DATA"))) };
}
