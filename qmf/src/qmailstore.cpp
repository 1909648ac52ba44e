#include "qmailstore.h"

#include "qmailstore_p.h"
#include "qmailstoreevaluation_p.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSet>

#include <limits>

using namespace QmfStandIn;

namespace {

template<typename IdList>
IdList page(const IdList &ids, uint limit, uint offset)
{
    const int maximum = std::numeric_limits<int>::max();
    const int start = offset > uint(maximum) ? maximum : int(offset);
    const int length = (limit == 0 || limit > uint(maximum)) ? -1 : int(limit);
    return ids.mid(start, length);
}

template<typename Id>
QList<Id> toIds(const QList<quint64> &values)
{
    QList<Id> ids;
    ids.reserve(values.size());
    for (quint64 value : values)
        ids.append(Id(value));
    return ids;
}

} // namespace

QMailStorePrivate::QMailStorePrivate()
{
    reset();
}

void QMailStorePrivate::reset()
{
    accounts.clear();
    configurations.clear();
    folders.clear();
    messages.clear();

    QMailFolder localStorage(QStringLiteral("Local Storage"));
    localStorage.setId(QMailFolderId(QMailFolderId::LocalStorageFolderId));
    localStorage.setStatus(QMailFolder::MessagesPermitted);
    folders.insert(QMailFolderId::LocalStorageFolderId, localStorage);

    nextAccountId = 1;
    nextFolderId = quint64(QMailFolderId::LocalStorageFolderId) + 1;
    nextMessageId = 1;
    lastError = QMailStore::NoError;
    nextQueryError = QMailStore::NoError;
    ipcConnectionEstablished = true;
}

bool QMailStorePrivate::failQuery(QMailStore::ErrorCode &error)
{
    if (nextQueryError == QMailStore::NoError)
        return false;
    error = nextQueryError;
    nextQueryError = QMailStore::NoError;
    return true;
}

QMailStorePrivate *QmfStandIn::StoreAccess::contents()
{
    return QMailStore::instance()->d.data();
}

void QmfStandIn::StoreAccess::announceIpcConnection()
{
    emit QMailStore::instance()->ipcConnectionEstablished();
}

namespace {

// Queued connections and QVariant find these types by the names that signal signatures
// spell; registering at start-up covers code that never touches the store itself.
void registerStoreMetaTypes()
{
    qRegisterMetaType<QMailAccountIdList>("QMailAccountIdList");
    qRegisterMetaType<QMailFolderIdList>("QMailFolderIdList");
    qRegisterMetaType<QMailMessageIdList>("QMailMessageIdList");
    qRegisterMetaType<QMailAccountKey>("QMailAccountKey");
    qRegisterMetaType<QMailFolderKey>("QMailFolderKey");
    qRegisterMetaType<QMailMessageKey>("QMailMessageKey");
    qRegisterMetaType<QMailMessageSortKey>("QMailMessageSortKey");
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(registerStoreMetaTypes)

QMailStore::QMailStore()
    : d(new QMailStorePrivate)
{
    registerStoreMetaTypes();
}

QMailStore::~QMailStore() = default;

QMailStore *QMailStore::instance()
{
    static QMailStore store;
    return &store;
}

QMailStore::ErrorCode QMailStore::lastError() const
{
    return d->lastError;
}

bool QMailStore::isIpcConnectionEstablished() const
{
    return d->ipcConnectionEstablished;
}

// Writing ------------------------------------------------------------------------------

namespace {

void announceRemoval(QMailStore *store, const QMailStorePrivate::Removal &removal)
{
    if (!removal.messages.isEmpty())
        emit store->messagesRemoved(removal.messages);
    if (!removal.folders.isEmpty())
        emit store->foldersRemoved(removal.folders);
    if (!removal.accounts.isEmpty())
        emit store->accountsRemoved(removal.accounts);
    if (!removal.updatedAccounts.isEmpty())
        emit store->accountsUpdated(removal.updatedAccounts);
    if (!removal.updatedMessages.isEmpty())
        emit store->messagesUpdated(removal.updatedMessages);
}

} // namespace

bool QMailStore::addAccount(QMailAccount *account, QMailAccountConfiguration *config)
{
    d->lastError = NoError;
    if (!account || account->id().isValid()) {
        qWarning() << "bool QMailStore::addAccount(QMailAccount*, QMailAccountConfiguration*)"
                   << "Cannot add an account that is null or already has an id";
        d->lastError = ConstraintFailure;
        return false;
    }
    const QMailAccountId id(d->nextAccountId++);
    account->setId(id);
    QMailAccountConfiguration stored = config ? *config : QMailAccountConfiguration();
    stored.setId(id);
    if (config)
        config->setId(id);
    d->accounts.insert(id.toULongLong(), *account);
    d->configurations.insert(id.toULongLong(), stored);
    emit accountsAdded(QMailAccountIdList() << id);
    return true;
}

bool QMailStore::addFolder(QMailFolder *folder)
{
    d->lastError = NoError;
    if (!folder || folder->id().isValid()) {
        qWarning() << "bool QMailStore::addFolder(QMailFolder*)"
                   << "Cannot add a folder that is null or already has an id";
        d->lastError = ConstraintFailure;
        return false;
    }
    const QMailFolderId parentFolder = folder->parentFolderId();
    const QMailAccountId parentAccount = folder->parentAccountId();
    if ((parentFolder.isValid() && !d->folders.contains(parentFolder.toULongLong()))
        || (parentAccount.isValid() && !d->accounts.contains(parentAccount.toULongLong()))) {
        qWarning() << "bool QMailStore::addFolder(QMailFolder*)"
                   << "Unknown parent folder or account:" << parentFolder << parentAccount;
        d->lastError = ConstraintFailure;
        return false;
    }
    const QMailFolderId id(d->nextFolderId++);
    folder->setId(id);
    d->folders.insert(id.toULongLong(), *folder);
    emit foldersAdded(QMailFolderIdList() << id);
    return true;
}

bool QMailStore::addMessage(QMailMessage *message)
{
    return addMessages(QList<QMailMessage *>() << message);
}

bool QMailStore::addMessage(QMailMessageMetaData *metaData)
{
    d->lastError = NoError;
    if (!metaData || metaData->id().isValid()) {
        qWarning() << "bool QMailStore::addMessage(QMailMessageMetaData*)"
                   << "Cannot add a message that is null or already has an id";
        d->lastError = ConstraintFailure;
        return false;
    }
    const QMailMessageId id(d->nextMessageId++);
    metaData->setId(id);
    QMailMessage stored;
    static_cast<QMailMessageMetaData &>(stored) = *metaData;
    d->messages.insert(id.toULongLong(), stored);
    emit messagesAdded(QMailMessageIdList() << id);
    return true;
}

bool QMailStore::addMessages(const QList<QMailMessage *> &messages)
{
    d->lastError = NoError;
    // All or nothing: check every message before storing any.
    for (const QMailMessage *message : messages) {
        if (!message || message->id().isValid()) {
            qWarning() << "bool QMailStore::addMessage(QMailMessage*)"
                       << "Cannot add a message that is null or already has an id";
            d->lastError = ConstraintFailure;
            return false;
        }
    }
    QMailMessageIdList added;
    for (QMailMessage *message : messages) {
        const QMailMessageId id(d->nextMessageId++);
        // setId also stamps the id into every part location.
        message->setId(id);
        d->messages.insert(id.toULongLong(), *message);
        added.append(id);
    }
    if (!added.isEmpty())
        emit messagesAdded(added);
    return true;
}

bool QMailStore::updateAccount(QMailAccount *account, QMailAccountConfiguration *config)
{
    d->lastError = NoError;
    if (!account || !d->accounts.contains(account->id().toULongLong())) {
        qWarning() << "bool QMailStore::updateAccount(QMailAccount*, QMailAccountConfiguration*)"
                   << "Cannot update an account that is not stored";
        d->lastError = InvalidId;
        return false;
    }
    const quint64 id = account->id().toULongLong();
    d->accounts.insert(id, *account);
    if (config) {
        config->setId(account->id());
        d->configurations.insert(id, *config);
    }
    emit accountsUpdated(QMailAccountIdList() << account->id());
    return true;
}

bool QMailStore::updateAccountConfiguration(QMailAccountConfiguration *config)
{
    d->lastError = NoError;
    if (!config || !d->accounts.contains(config->id().toULongLong())) {
        qWarning() << "bool QMailStore::updateAccountConfiguration(QMailAccountConfiguration*)"
                   << "Cannot update the configuration of an account that is not stored";
        d->lastError = InvalidId;
        return false;
    }
    d->configurations.insert(config->id().toULongLong(), *config);
    emit accountsUpdated(QMailAccountIdList() << config->id());
    return true;
}

bool QMailStore::updateFolder(QMailFolder *folder)
{
    d->lastError = NoError;
    if (!folder || !d->folders.contains(folder->id().toULongLong())) {
        qWarning() << "bool QMailStore::updateFolder(QMailFolder*)"
                   << "Cannot update a folder that is not stored";
        d->lastError = InvalidId;
        return false;
    }
    const quint64 id = folder->id().toULongLong();
    const quint64 parentFolder = folder->parentFolderId().toULongLong();
    const QMailAccountId parentAccount = folder->parentAccountId();
    if ((parentFolder != 0 && (!d->folders.contains(parentFolder) || d->isWithin(parentFolder, id)))
        || (parentAccount.isValid() && !d->accounts.contains(parentAccount.toULongLong()))) {
        qWarning() << "bool QMailStore::updateFolder(QMailFolder*)"
                   << "Unknown or circular parent folder, or unknown account:" << folder->parentFolderId()
                   << parentAccount;
        d->lastError = ConstraintFailure;
        return false;
    }
    d->folders.insert(id, *folder);
    emit foldersUpdated(QMailFolderIdList() << folder->id());
    return true;
}

bool QMailStore::updateMessage(QMailMessage *message)
{
    return updateMessages(QList<QMailMessage *>() << message);
}

bool QMailStore::updateMessage(QMailMessageMetaData *metaData)
{
    d->lastError = NoError;
    const auto stored = metaData ? d->messages.find(metaData->id().toULongLong()) : d->messages.end();
    if (stored == d->messages.end()) {
        qWarning() << "bool QMailStore::updateMessage(QMailMessageMetaData*)"
                   << "Cannot update a message that is not stored";
        d->lastError = InvalidId;
        return false;
    }
    static_cast<QMailMessageMetaData &>(*stored) = *metaData;
    emit messagesUpdated(QMailMessageIdList() << metaData->id());
    return true;
}

bool QMailStore::updateMessages(const QList<QMailMessage *> &messages)
{
    d->lastError = NoError;
    for (const QMailMessage *message : messages) {
        if (!message || !d->messages.contains(message->id().toULongLong())) {
            qWarning() << "bool QMailStore::updateMessage(QMailMessage*)"
                       << "Cannot update a message that is not stored";
            d->lastError = InvalidId;
            return false;
        }
    }
    QMailMessageIdList updated;
    for (QMailMessage *message : messages) {
        // Parts added since the message was stored get the id into their locations too.
        message->setId(message->id());
        d->messages.insert(message->id().toULongLong(), *message);
        updated.append(message->id());
    }
    if (!updated.isEmpty())
        emit messagesUpdated(updated);
    return true;
}

bool QMailStore::updateMessagesMetaData(const QMailMessageKey &key, quint64 status, bool set)
{
    d->lastError = NoError;
    const QMailMessageIdList ids = Evaluation::query(key, QMailMessageSortKey(), *d);
    for (const QMailMessageId &id : ids)
        d->messages[id.toULongLong()].setStatus(status, set);
    if (!ids.isEmpty())
        emit messagesUpdated(ids);
    return true;
}

bool QMailStore::removeAccount(const QMailAccountId &id)
{
    d->lastError = NoError;
    if (!d->accounts.contains(id.toULongLong())) {
        qWarning() << "bool QMailStore::removeAccount(const QMailAccountId&)" << "Unknown account:" << id;
        d->lastError = InvalidId;
        return false;
    }
    announceRemoval(this, d->remove({id.toULongLong()}, {}, {}));
    return true;
}

bool QMailStore::removeAccounts(const QMailAccountKey &key)
{
    d->lastError = NoError;
    QSet<quint64> ids;
    for (const QMailAccountId &id : Evaluation::query(key, QMailAccountSortKey(), *d))
        ids.insert(id.toULongLong());
    announceRemoval(this, d->remove(ids, {}, {}));
    return true;
}

bool QMailStore::removeFolder(const QMailFolderId &id, MessageRemovalOption option)
{
    Q_UNUSED(option)
    d->lastError = NoError;
    if (id == QMailFolderId(QMailFolderId::LocalStorageFolderId)) {
        qWarning() << "bool QMailStore::removeFolder(const QMailFolderId&, QMailStore::MessageRemovalOption)"
                   << "The local storage folder cannot be removed";
        d->lastError = ConstraintFailure;
        return false;
    }
    if (!d->folders.contains(id.toULongLong())) {
        qWarning() << "bool QMailStore::removeFolder(const QMailFolderId&, QMailStore::MessageRemovalOption)"
                   << "Unknown folder:" << id;
        d->lastError = InvalidId;
        return false;
    }
    announceRemoval(this, d->remove({}, {id.toULongLong()}, {}));
    return true;
}

bool QMailStore::removeFolders(const QMailFolderKey &key, MessageRemovalOption option)
{
    Q_UNUSED(option)
    d->lastError = NoError;
    QSet<quint64> ids;
    for (const QMailFolderId &id : Evaluation::query(key, QMailFolderSortKey(), *d))
        ids.insert(id.toULongLong());
    announceRemoval(this, d->remove({}, ids, {}));
    return true;
}

void QMailStore::clearContent()
{
    d->lastError = NoError;
    d->accounts.clear();
    d->configurations.clear();
    d->folders.clear();
    d->messages.clear();
}

bool QMailStore::removeMessage(const QMailMessageId &id, MessageRemovalOption option)
{
    Q_UNUSED(option)
    d->lastError = NoError;
    if (!d->messages.contains(id.toULongLong())) {
        qWarning() << "bool QMailStore::removeMessage(const QMailMessageId&, QMailStore::MessageRemovalOption)"
                   << "Unknown message:" << id;
        d->lastError = InvalidId;
        return false;
    }
    announceRemoval(this, d->remove({}, {}, {id.toULongLong()}));
    return true;
}

bool QMailStore::removeMessages(const QMailMessageKey &key, MessageRemovalOption option)
{
    Q_UNUSED(option)
    d->lastError = NoError;
    QSet<quint64> ids;
    for (const QMailMessageId &id : Evaluation::query(key, QMailMessageSortKey(), *d))
        ids.insert(id.toULongLong());
    announceRemoval(this, d->remove({}, {}, ids));
    return true;
}

// Reading ------------------------------------------------------------------------------

int QMailStore::countAccounts(const QMailAccountKey &key) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return 0;
    return Evaluation::query(key, QMailAccountSortKey(), *d).size();
}

int QMailStore::countFolders(const QMailFolderKey &key) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return 0;
    return Evaluation::query(key, QMailFolderSortKey(), *d).size();
}

int QMailStore::countMessages(const QMailMessageKey &key) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return 0;
    return Evaluation::query(key, QMailMessageSortKey(), *d).size();
}

const QMailAccountIdList QMailStore::queryAccounts(const QMailAccountKey &key, const QMailAccountSortKey &sortKey,
                                                   uint limit, uint offset) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return QMailAccountIdList();
    return page(Evaluation::query(key, sortKey, *d), limit, offset);
}

const QMailFolderIdList QMailStore::queryFolders(const QMailFolderKey &key, const QMailFolderSortKey &sortKey,
                                                 uint limit, uint offset) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return QMailFolderIdList();
    return page(Evaluation::query(key, sortKey, *d), limit, offset);
}

const QMailMessageIdList QMailStore::queryMessages(const QMailMessageKey &key, const QMailMessageSortKey &sortKey,
                                                   uint limit, uint offset) const
{
    d->lastError = NoError;
    if (d->failQuery(d->lastError))
        return QMailMessageIdList();
    return page(Evaluation::query(key, sortKey, *d), limit, offset);
}

QMailAccount QMailStore::account(const QMailAccountId &id) const
{
    d->lastError = NoError;
    const auto found = d->accounts.constFind(id.toULongLong());
    if (found == d->accounts.constEnd()) {
        d->lastError = InvalidId;
        return QMailAccount();
    }
    return *found;
}

QMailAccountConfiguration QMailStore::accountConfiguration(const QMailAccountId &id) const
{
    d->lastError = NoError;
    const auto found = d->configurations.constFind(id.toULongLong());
    if (found == d->configurations.constEnd()) {
        d->lastError = InvalidId;
        return QMailAccountConfiguration();
    }
    return *found;
}

QMailFolder QMailStore::folder(const QMailFolderId &id) const
{
    d->lastError = NoError;
    const auto found = d->folders.constFind(id.toULongLong());
    if (found == d->folders.constEnd()) {
        d->lastError = InvalidId;
        return QMailFolder();
    }
    return *found;
}

QMailMessage QMailStore::message(const QMailMessageId &id) const
{
    d->lastError = NoError;
    const auto found = d->messages.constFind(id.toULongLong());
    if (found == d->messages.constEnd()) {
        d->lastError = InvalidId;
        return QMailMessage();
    }
    return *found;
}

QMailMessageMetaData QMailStore::messageMetaData(const QMailMessageId &id) const
{
    d->lastError = NoError;
    const auto found = d->messages.constFind(id.toULongLong());
    if (found == d->messages.constEnd()) {
        d->lastError = InvalidId;
        return QMailMessageMetaData();
    }
    return QMailMessageMetaData(*found);
}
