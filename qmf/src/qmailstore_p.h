#ifndef QMAILSTORE_P_H
#define QMAILSTORE_P_H

#include "qmailstore.h"

#include <QMap>
#include <QSet>

// The store's contents. Maps keyed by id keep the store's natural order (ascending id).
class QMailStorePrivate
{
public:
    QMailStorePrivate();

    // Back to a fresh store: only the local storage folder, ids counted from the start.
    void reset();

    // What one removal took away, for the change signals.
    struct Removal
    {
        QMailMessageIdList messages;
        QMailFolderIdList folders;
        QMailAccountIdList accounts;
        QMailAccountIdList updatedAccounts; // lost a standard folder
        QMailMessageIdList updatedMessages; // replies to a removed message
    };

    // Removes the given items with everything that depends on them: an account's
    // configuration, folders and messages, a folder's sub-folders and messages. The local
    // storage folder is never removed.
    Removal remove(const QSet<quint64> &accountIds, const QSet<quint64> &folderIds,
                   const QSet<quint64> &messageIds);

    // True when `parentId` is `folderId` itself or one of its descendants.
    bool isWithin(quint64 parentId, quint64 folderId) const;

    // Consumes an error armed for the next query; true when the query must fail.
    bool failQuery(QMailStore::ErrorCode &error);

    QMap<quint64, QMailAccount> accounts;
    QMap<quint64, QMailAccountConfiguration> configurations;
    QMap<quint64, QMailFolder> folders;
    QMap<quint64, QMailMessage> messages;

    quint64 nextAccountId = 1;
    quint64 nextFolderId = 1;
    quint64 nextMessageId = 1;

    QMailStore::ErrorCode lastError = QMailStore::NoError;
    QMailStore::ErrorCode nextQueryError = QMailStore::NoError;
    bool ipcConnectionEstablished = true;
};

namespace QmfStandIn {

// Lets the stand-in control functions reach the store's contents.
struct StoreAccess
{
    static QMailStorePrivate *contents();
    static void announceIpcConnection();
};

} // namespace QmfStandIn

#endif // QMAILSTORE_P_H
