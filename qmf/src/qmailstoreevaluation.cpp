#include "qmailstoreevaluation_p.h"

#include "qmailkeynode_p.h"

#include <algorithm>

namespace QmfStandIn {
namespace Evaluation {

namespace {

bool matchesRelated(const KeyNode &node, bool relatedMatches)
{
    // A related item that does not exist is never "in" the set of the sub-key.
    return node.op == KeyNode::Includes ? relatedMatches : !relatedMatches;
}

int compareNumbers(quint64 a, quint64 b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

int compareTimes(const QDateTime &a, const QDateTime &b)
{
    // Messages without a date come before dated ones.
    if (!a.isValid() || !b.isValid())
        return int(a.isValid()) - int(b.isValid());
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Orders items by the sort criteria, ties broken by ascending id (the store's order).
template<typename Item, typename IdList, typename ComparePropertyFunction>
IdList sortedIds(QList<const Item *> items, const QList<QPair<int, Qt::SortOrder>> &criteria,
                 ComparePropertyFunction compareProperty)
{
    if (!criteria.isEmpty()) {
        std::stable_sort(items.begin(), items.end(), [&](const Item *a, const Item *b) {
            for (const auto &criterion : criteria) {
                int order = compareProperty(criterion.first, *a, *b);
                if (criterion.second == Qt::DescendingOrder)
                    order = -order;
                if (order != 0)
                    return order < 0;
            }
            return false;
        });
    }
    IdList ids;
    ids.reserve(items.size());
    for (const Item *item : items)
        ids.append(item->id());
    return ids;
}

} // namespace

bool matches(const QMailAccountKey &key, const QMailAccount &account)
{
    return Keys::evaluate(KeyAccess::node(key), [&](const KeyNode &node) {
        switch (node.property) {
        case AccountIdProperty:
            return Keys::matchesValue(node, account.id().toULongLong());
        case AccountStatusProperty:
            return Keys::matchesStatus(node, account.status());
        case AccountNameProperty:
            return Keys::matchesText(node, account.name());
        }
        return false;
    });
}

bool matches(const QMailFolderKey &key, const QMailFolder &folder, const QMailStorePrivate &store)
{
    return Keys::evaluate(KeyAccess::node(key), [&](const KeyNode &node) {
        switch (node.property) {
        case FolderIdProperty:
            return Keys::matchesValue(node, folder.id().toULongLong());
        case FolderStatusProperty:
            return Keys::matchesStatus(node, folder.status());
        case FolderPathProperty:
            return Keys::matchesText(node, folder.path());
        case FolderParentAccountIdProperty:
            return Keys::matchesValue(node, folder.parentAccountId().toULongLong());
        case FolderParentAccountKeyProperty: {
            const auto account = store.accounts.constFind(folder.parentAccountId().toULongLong());
            return matchesRelated(node, account != store.accounts.constEnd()
                                            && matches(KeyAccess::make<QMailAccountKey>(node.subKey), *account));
        }
        case FolderParentFolderIdProperty:
            return Keys::matchesValue(node, folder.parentFolderId().toULongLong());
        }
        return false;
    });
}

bool matches(const QMailMessageKey &key, const QMailMessageMetaData &message, const QMailStorePrivate &store)
{
    return Keys::evaluate(KeyAccess::node(key), [&](const KeyNode &node) {
        switch (node.property) {
        case MessageIdProperty:
            return Keys::matchesValue(node, message.id().toULongLong());
        case MessageStatusProperty:
            return Keys::matchesStatus(node, message.status());
        case MessageParentAccountIdProperty:
            return Keys::matchesValue(node, message.parentAccountId().toULongLong());
        case MessageParentAccountKeyProperty: {
            const auto account = store.accounts.constFind(message.parentAccountId().toULongLong());
            return matchesRelated(node, account != store.accounts.constEnd()
                                            && matches(KeyAccess::make<QMailAccountKey>(node.subKey), *account));
        }
        case MessageParentFolderIdProperty:
            return Keys::matchesValue(node, message.parentFolderId().toULongLong());
        case MessageParentFolderKeyProperty: {
            const auto folder = store.folders.constFind(message.parentFolderId().toULongLong());
            return matchesRelated(node, folder != store.folders.constEnd()
                                            && matches(KeyAccess::make<QMailFolderKey>(node.subKey), *folder, store));
        }
        }
        return false;
    });
}

QMailAccountIdList query(const QMailAccountKey &key, const QMailAccountSortKey &sortKey,
                         const QMailStorePrivate &store)
{
    QList<const QMailAccount *> found;
    for (const QMailAccount &account : store.accounts) {
        if (matches(key, account))
            found.append(&account);
    }
    return sortedIds<QMailAccount, QMailAccountIdList>(
        found, KeyAccess::criteria(sortKey), [](int property, const QMailAccount &a, const QMailAccount &b) {
            if (property == SortByName)
                return a.name().compare(b.name());
            return compareNumbers(a.id().toULongLong(), b.id().toULongLong());
        });
}

QMailFolderIdList query(const QMailFolderKey &key, const QMailFolderSortKey &sortKey,
                        const QMailStorePrivate &store)
{
    QList<const QMailFolder *> found;
    for (const QMailFolder &folder : store.folders) {
        if (matches(key, folder, store))
            found.append(&folder);
    }
    return sortedIds<QMailFolder, QMailFolderIdList>(
        found, KeyAccess::criteria(sortKey), [](int property, const QMailFolder &a, const QMailFolder &b) {
            if (property == SortByPath)
                return a.path().compare(b.path());
            return compareNumbers(a.id().toULongLong(), b.id().toULongLong());
        });
}

QMailMessageIdList query(const QMailMessageKey &key, const QMailMessageSortKey &sortKey,
                         const QMailStorePrivate &store)
{
    QList<const QMailMessageMetaData *> found;
    for (const QMailMessage &message : store.messages) {
        if (matches(key, message, store))
            found.append(&message);
    }
    return sortedIds<QMailMessageMetaData, QMailMessageIdList>(
        found, KeyAccess::criteria(sortKey),
        [](int property, const QMailMessageMetaData &a, const QMailMessageMetaData &b) {
            if (property == SortByTimeStamp)
                return compareTimes(a.date().toUTC(), b.date().toUTC());
            return compareNumbers(a.id().toULongLong(), b.id().toULongLong());
        });
}

} // namespace Evaluation
} // namespace QmfStandIn
