#ifndef QMAILSTOREEVALUATION_P_H
#define QMAILSTOREEVALUATION_P_H

#include "qmailstore_p.h"

// In-memory evaluation of keys and sort keys against the store's contents.
namespace QmfStandIn {
namespace Evaluation {

bool matches(const QMailAccountKey &key, const QMailAccount &account);
bool matches(const QMailFolderKey &key, const QMailFolder &folder, const QMailStorePrivate &store);
bool matches(const QMailMessageKey &key, const QMailMessageMetaData &message, const QMailStorePrivate &store);

QMailAccountIdList query(const QMailAccountKey &key, const QMailAccountSortKey &sortKey,
                         const QMailStorePrivate &store);
QMailFolderIdList query(const QMailFolderKey &key, const QMailFolderSortKey &sortKey,
                        const QMailStorePrivate &store);
QMailMessageIdList query(const QMailMessageKey &key, const QMailMessageSortKey &sortKey,
                         const QMailStorePrivate &store);

} // namespace Evaluation
} // namespace QmfStandIn

#endif // QMAILSTOREEVALUATION_P_H
