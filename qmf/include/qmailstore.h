#ifndef QMAILSTORE_H
#define QMAILSTORE_H

#include "qmailglobal.h"
#include "qmailaccount.h"
#include "qmailaccountconfiguration.h"
#include "qmailaccountkey.h"
#include "qmailaccountsortkey.h"
#include "qmailfolder.h"
#include "qmailfolderkey.h"
#include "qmailfoldersortkey.h"
#include "qmailid.h"
#include "qmailmessage.h"
#include "qmailmessagekey.h"
#include "qmailmessagesortkey.h"

#include <QList>
#include <QObject>
#include <QScopedPointer>

class QMailStorePrivate;
namespace QmfStandIn {
struct StoreAccess;
}

// The process-wide mail store: accounts with their configurations, folders and messages.
// This layer keeps everything in memory for the life of the process and is used from the
// main thread only. Every public operation first resets lastError(), so it always
// describes the latest call.
class QMF_EXPORT QMailStore : public QObject
{
    Q_OBJECT

public:
    enum ErrorCode {
        NoError = 0,
        InvalidId = 1,
        ConstraintFailure = 2,
        ContentInaccessible = 3,
        NotYetImplemented = 4,
        ContentNotRemoved = 5,
        FrameworkFault = 6,
        StorageInaccessible = 7
    };

    // Removal records are not kept by this layer; both options remove alike.
    enum MessageRemovalOption {
        NoRemovalRecord = 1,
        CreateRemovalRecord = 2
    };

    ~QMailStore() override;

    // Never null.
    static QMailStore *instance();

    QMailStore::ErrorCode lastError() const;
    bool isIpcConnectionEstablished() const;

    // `add*` refuses objects that already have a valid id and writes the new id into the
    // object on success. `config` may be null (the account gets an empty configuration).
    bool addAccount(QMailAccount *account, QMailAccountConfiguration *config);
    // Refuses a valid but unknown parent folder or parent account.
    bool addFolder(QMailFolder *folder);
    // Stamps the new id into the message and all its part locations.
    bool addMessage(QMailMessage *message);
    bool addMessage(QMailMessageMetaData *metaData);
    bool addMessages(const QList<QMailMessage *> &messages);

    // `update*` needs the valid id of an existing item. A null `config` leaves the stored
    // configuration untouched.
    bool updateAccount(QMailAccount *account, QMailAccountConfiguration *config = 0);
    bool updateAccountConfiguration(QMailAccountConfiguration *config);
    bool updateFolder(QMailFolder *folder);
    bool updateMessage(QMailMessage *message);
    // Replaces the metadata and keeps the stored content.
    bool updateMessage(QMailMessageMetaData *metaData);
    bool updateMessages(const QList<QMailMessage *> &messages);
    // Sets or clears `status` bits on every message matching `key`.
    bool updateMessagesMetaData(const QMailMessageKey &key, quint64 status, bool set);

    // Removing an account removes its configuration, folders and messages; removing a
    // folder removes its sub-folders and their messages. The local storage folder stays.
    bool removeAccount(const QMailAccountId &id);
    bool removeAccounts(const QMailAccountKey &key);
    bool removeFolder(const QMailFolderId &id, MessageRemovalOption option = NoRemovalRecord);
    bool removeFolders(const QMailFolderKey &key, MessageRemovalOption option = NoRemovalRecord);
    bool removeMessage(const QMailMessageId &id, MessageRemovalOption option = NoRemovalRecord);
    // Removes every account, folder and message, the local storage folder included; no
    // removal is announced.
    void clearContent();
    bool removeMessages(const QMailMessageKey &key, MessageRemovalOption option = NoRemovalRecord);

    int countAccounts(const QMailAccountKey &key = QMailAccountKey()) const;
    int countFolders(const QMailFolderKey &key = QMailFolderKey()) const;
    int countMessages(const QMailMessageKey &key = QMailMessageKey()) const;

    // `limit` 0 means no limit; `offset` skips that many results of the sorted list.
    const QMailAccountIdList queryAccounts(const QMailAccountKey &key = QMailAccountKey(),
                                           const QMailAccountSortKey &sortKey = QMailAccountSortKey(),
                                           uint limit = 0, uint offset = 0) const;
    const QMailFolderIdList queryFolders(const QMailFolderKey &key = QMailFolderKey(),
                                         const QMailFolderSortKey &sortKey = QMailFolderSortKey(),
                                         uint limit = 0, uint offset = 0) const;
    const QMailMessageIdList queryMessages(const QMailMessageKey &key = QMailMessageKey(),
                                           const QMailMessageSortKey &sortKey = QMailMessageSortKey(),
                                           uint limit = 0, uint offset = 0) const;

    // Unknown ids give default-constructed objects (and InvalidId as the last error).
    QMailAccount account(const QMailAccountId &id) const;
    QMailAccountConfiguration accountConfiguration(const QMailAccountId &id) const;
    QMailFolder folder(const QMailFolderId &id) const;
    QMailMessage message(const QMailMessageId &id) const;
    QMailMessageMetaData messageMetaData(const QMailMessageId &id) const;

signals:
    void accountsAdded(const QMailAccountIdList &ids);
    void accountsUpdated(const QMailAccountIdList &ids);
    void accountsRemoved(const QMailAccountIdList &ids);
    void foldersAdded(const QMailFolderIdList &ids);
    void foldersUpdated(const QMailFolderIdList &ids);
    void foldersRemoved(const QMailFolderIdList &ids);
    void messagesAdded(const QMailMessageIdList &ids);
    void messagesUpdated(const QMailMessageIdList &ids);
    void messagesRemoved(const QMailMessageIdList &ids);
    void ipcConnectionEstablished();

private:
    QMailStore();
    Q_DISABLE_COPY(QMailStore)

    friend struct QmfStandIn::StoreAccess;
    QScopedPointer<QMailStorePrivate> d;
};

#endif // QMAILSTORE_H
