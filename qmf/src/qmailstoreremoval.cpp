#include "qmailstore_p.h"

QMailStorePrivate::Removal QMailStorePrivate::remove(const QSet<quint64> &accountIds,
                                                     const QSet<quint64> &folderIds,
                                                     const QSet<quint64> &messageIds)
{
    QSet<quint64> doomedFolders = folderIds;
    for (const QMailFolder &folder : qAsConst(folders)) {
        if (accountIds.contains(folder.parentAccountId().toULongLong()))
            doomedFolders.insert(folder.id().toULongLong());
    }
    // The local storage folder stays, and with it its sub-folders.
    doomedFolders.remove(quint64(QMailFolderId::LocalStorageFolderId));
    // Sub-folders go with their parents, however deep.
    bool grew = true;
    while (grew) {
        grew = false;
        for (const QMailFolder &folder : qAsConst(folders)) {
            const quint64 id = folder.id().toULongLong();
            if (!doomedFolders.contains(id) && doomedFolders.contains(folder.parentFolderId().toULongLong())) {
                doomedFolders.insert(id);
                grew = true;
            }
        }
    }

    Removal removal;
    QSet<quint64> removedMessages;
    for (auto it = messages.begin(); it != messages.end();) {
        if (messageIds.contains(it.key()) || accountIds.contains(it->parentAccountId().toULongLong())
            || doomedFolders.contains(it->parentFolderId().toULongLong())) {
            removal.messages.append(QMailMessageId(it.key()));
            removedMessages.insert(it.key());
            it = messages.erase(it);
        } else {
            ++it;
        }
    }
    // A reply no longer points at the message it answered once that is gone.
    for (auto it = messages.begin(); it != messages.end(); ++it) {
        if (removedMessages.contains(it->inResponseTo().toULongLong())) {
            it->setInResponseTo(QMailMessageId());
            removal.updatedMessages.append(QMailMessageId(it.key()));
        }
    }
    for (auto it = folders.begin(); it != folders.end();) {
        if (doomedFolders.contains(it.key())) {
            removal.folders.append(QMailFolderId(it.key()));
            it = folders.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = accounts.begin(); it != accounts.end();) {
        if (accountIds.contains(it.key())) {
            removal.accounts.append(QMailAccountId(it.key()));
            configurations.remove(it.key());
            it = accounts.erase(it);
            continue;
        }
        // A standard folder that no longer exists must not be reported any more.
        bool updated = false;
        const auto standardFolders = it->standardFolders();
        for (auto folder = standardFolders.constBegin(); folder != standardFolders.constEnd(); ++folder) {
            if (doomedFolders.contains(folder.value().toULongLong())) {
                it->setStandardFolder(folder.key(), QMailFolderId());
                updated = true;
            }
        }
        if (updated)
            removal.updatedAccounts.append(it->id());
        ++it;
    }
    return removal;
}

bool QMailStorePrivate::isWithin(quint64 parentId, quint64 folderId) const
{
    // Bounded by the number of folders, so a corrupt parent chain cannot loop forever.
    for (int steps = 0; parentId != 0 && steps <= folders.size(); ++steps) {
        if (parentId == folderId)
            return true;
        parentId = folders.value(parentId).parentFolderId().toULongLong();
    }
    return false;
}
