#include "zavekutils.h"
#include "zavekglobal.h"

#include <qmailaccountconfiguration.h>
#include <qmailstore.h>

#include <QMap>

namespace ZavekUtils {

const QMailAccountKey &enabledAccountKey()
{
    // The flag values are assigned by the store when it starts, so it must exist first.
    static const QMailAccountKey key = [] {
        QMailStore::instance();
        return QMailAccountKey::status(
            QMailAccount::Enabled | QMailAccount::CanRetrieve | QMailAccount::MessageSource,
            QMailDataComparator::Includes);
    }();
    return key;
}

QList<QMailAccountId> account_list()
{
    QMailStore *store = QMailStore::instance();
    ENFORCE(QMailStore::instance());
    if (!store)
        return QList<QMailAccountId>();
    return store->queryAccounts(enabledAccountKey());
}

QMailAccountId default_account_id()
{
    const QList<QMailAccountId> ids = account_list();
    if (ids.isEmpty())
        return QMailAccountId();
    for (const QMailAccountId &id : ids) {
        if (QMailAccount(id).status() & QMailAccount::PreferredSender)
            return id;
    }
    return ids.first();
}

void ensureDefaultAccountExists()
{
    const QList<QMailAccountId> ids = account_list();
    if (ids.isEmpty())
        return;
    for (const QMailAccountId &id : ids) {
        if (QMailAccount(id).status() & QMailAccount::PreferredSender)
            return;
    }
    QMailAccount first(ids.first());
    first.setStatus(QMailAccount::PreferredSender, true);
    QMailStore::instance()->updateAccount(&first, nullptr);
}

void ensureDefaultAccountUniqueness()
{
    const QList<QMailAccountId> ids = QMailStore::instance()->queryAccounts(
        QMailAccountKey::status(QMailAccount::MessageSource, QMailDataComparator::Includes));
    bool kept = false;
    for (const QMailAccountId &id : ids) {
        QMailAccount account(id);
        if (!(account.status() & QMailAccount::PreferredSender))
            continue;
        if (kept || !(account.status() & QMailAccount::Enabled)) {
            account.setStatus(QMailAccount::PreferredSender, false);
            QMailStore::instance()->updateAccount(&account, nullptr);
        } else {
            kept = true;
        }
    }
}

void changeDefaultAccount(QMailAccountId accountId)
{
    QMailAccount newAccount(accountId);
    if (!newAccount.id().isValid()) {
        // Clearing the old mark first would leave no default at all.
        qWarning() << "void ZavekUtils::changeDefaultAccount(QMailAccountId)"
                   << "No such account:" << accountId.toULongLong();
        return;
    }

    // With no usable account, or none marked yet, there is no mark to move: only the new
    // account gets one.
    const QMailAccountId oldId = default_account_id();
    if (oldId.isValid()) {
        QMailAccount oldAccount(oldId);
        if (oldAccount.status() & QMailAccount::PreferredSender) {
            oldAccount.setStatus(QMailAccount::PreferredSender, false);
            QMailStore::instance()->updateAccount(&oldAccount, nullptr);
        }
    }

    // Loaded again: when it is the old default, the clearing above has been stored.
    newAccount = QMailAccount(accountId);
    newAccount.setStatus(QMailAccount::PreferredSender, true);
    QMailStore::instance()->updateAccount(&newAccount, nullptr);
}

bool canSmartReply(const QMailAccountId &accountId, const QMailAccountId &otherAccountId)
{
    if (!accountId.isValid())
        return false;
    const QMailAccount account(accountId);
    return (account.status() & QMailAccount::UseSmartReply) && accountId == otherAccountId;
}

bool accountPushEnabled(const QMailAccountId &aid)
{
    Q_ASSERT(aid.isValid());
    static const QString pushEnabled = QStringLiteral("pushEnabled");
    static const QString on = QStringLiteral("1");

    const QMailAccount account(aid);
    if (account.customField(pushEnabled) == on)
        return true;

    const QMailAccountConfiguration configuration(aid);
    const QStringList services = configuration.services();
    for (const QString &service : services) {
        if (configuration.serviceConfiguration(service).value(pushEnabled) == on)
            return true;
    }
    return false;
}

static QMailMessageKey unreadKeyOf(const QMailAccountId &accountId)
{
    QMailMessageKey key = generateUnreadKey();
    if (accountId.isValid())
        key &= QMailMessageKey::parentAccountId(accountId);
    return key;
}

int getUnreadMessageCount(const QMailAccountId &accountId)
{
    return QMailStore::instance()->countMessages(unreadKeyOf(accountId));
}

bool newContentExists(const QMailAccountId &accountId, bool refresh)
{
    static QMap<QMailAccountId, bool> cache;
    if (!refresh) {
        const auto cached = cache.constFind(accountId);
        if (cached != cache.constEnd())
            return cached.value();
    }

    QMailStore *store = QMailStore::instance();
    const bool exists = !store->queryMessages(unreadKeyOf(accountId), QMailMessageSortKey(), 1, 0).isEmpty();
    if (store->lastError() != QMailStore::NoError) {
        // A failed query says nothing about the account; remembering "no new content"
        // would hide new mail until the next refresh.
        qWarning() << "bool ZavekUtils::newContentExists(const QMailAccountId&, bool)"
                   << "Cannot perform operation!";
        return exists;
    }
    cache.insert(accountId, exists);
    return exists;
}

QList<QMailFolderId> getFavouriteFolders(const QMailAccountId &accountId)
{
    static const QMailFolderKey favouriteKey = [] {
        QMailStore::instance();
        return QMailFolderKey::status(QMailFolder::Favourite, QMailDataComparator::Includes);
    }();

    const QMailFolderKey accountKey = accountId != QMailAccountId()
        ? QMailFolderKey::parentAccountId(accountId)
        : QMailFolderKey::parentAccountId(enabledAccountKey(), QMailDataComparator::Includes);
    return QMailStore::instance()->queryFolders(favouriteKey & accountKey);
}

namespace {

struct StandardFolderHints {
    QStringList names;
    quint64 status = 0;
};

StandardFolderHints standardFolderHints(QMailFolder::StandardFolder folder)
{
    switch (folder) {
    case QMailFolder::InboxFolder:
        return {{QStringLiteral("inbox")}, QMailFolder::Incoming};
    case QMailFolder::DraftsFolder:
        return {{QStringLiteral("drafts")}, QMailFolder::Drafts};
    case QMailFolder::SentFolder:
        return {{QStringLiteral("sent")}, QMailFolder::Sent};
    case QMailFolder::TrashFolder:
        return {{QStringLiteral("trash"), QStringLiteral("deleted")}, QMailFolder::Trash};
    case QMailFolder::JunkFolder:
        return {{QStringLiteral("junk"), QStringLiteral("spam")}, QMailFolder::Junk};
    default:
        return {};
    }
}

} // namespace

QMailFolderId getStandardFolder(const QMailAccountId &accountId, QMailFolder::StandardFolder folder)
{
    const QMailFolderId fallback = folder == QMailFolder::InboxFolder
        ? QMailFolderId()
        : QMailFolderId(QMailFolderId::LocalStorageFolderId);
    if (!accountId.isValid())
        return fallback;

    QMailAccount account(accountId);
    QMailFolderId found = account.standardFolder(folder);
    if (found.isValid())
        return found;

    const StandardFolderHints hints = standardFolderHints(folder);
    if (hints.names.isEmpty())
        return found;

    QMailStore *store = QMailStore::instance();
    const QMailFolderKey accountKey = QMailFolderKey::parentAccountId(accountId);

    // The status flag is the server's own statement of the role, so it goes first: the
    // name test is a substring match ("Presentations" contains "sent") and what it finds
    // is recorded on the account for good.
    QList<QMailFolderId> ids = store->queryFolders(
        QMailFolderKey::status(hints.status, QMailDataComparator::Includes) & accountKey);
    if (ids.isEmpty()) {
        QMailFolderKey nameKey;
        for (const QString &name : hints.names)
            nameKey |= QMailFolderKey::path(name, QMailDataComparator::Includes);
        ids = store->queryFolders(nameKey & accountKey);
    }

    if (!ids.isEmpty()) {
        found = ids.first();
        if (found.isValid()) {
            account.setStandardFolder(folder, found);
            store->updateAccount(&account, nullptr);
        }
    }
    return found.isValid() ? found : fallback;
}

QMailFolderId getInboxFolder(const QMailAccountId &accountId)
{
    return getStandardFolder(accountId, QMailFolder::InboxFolder);
}

void getFolderIdsForAllAcounts(QMailFolder::StandardFolder folder, QList<QMailFolderId> &folderIds)
{
    const QList<QMailAccountId> ids = account_list();
    for (const QMailAccountId &id : ids) {
        const QMailFolderId folderId = getStandardFolder(id, folder);
        if (folderId.isValid())
            folderIds.append(folderId);
    }
}

QMailFolder::StandardFolder standardFolderFromFlags(quint64 flags)
{
    if (flags & QMailMessageMetaData::Trash)
        return QMailFolder::TrashFolder;
    if (flags & QMailMessageMetaData::Sent)
        return QMailFolder::SentFolder;
    if (flags & QMailMessageMetaData::Outbox)
        return QMailFolder::OutboxFolder;
    return QMailFolder::InboxFolder;
}

} // namespace ZavekUtils
