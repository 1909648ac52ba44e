#ifndef QMAILFOLDER_H
#define QMAILFOLDER_H

#include "qmailglobal.h"
#include "qmailid.h"

#include <QMetaType>
#include <QString>

// A mail folder: a path, optional parent folder and account, and status flags.
class QMF_EXPORT QMailFolder
{
public:
    enum StandardFolder {
        InboxFolder = 1,
        OutboxFolder = 2,
        DraftsFolder = 3,
        SentFolder = 4,
        TrashFolder = 5,
        JunkFolder = 6
    };

    // Folder status flags; a bit space of their own, separate from the message flags.
    static const quint64 &SynchronizationEnabled;
    static const quint64 &Synchronized;
    static const quint64 &PartialContent;
    static const quint64 &Removed;
    static const quint64 &Incoming;
    static const quint64 &Outgoing;
    static const quint64 &Sent;
    static const quint64 &Trash;
    static const quint64 &Drafts;
    static const quint64 &Junk;
    static const quint64 &ChildCreationPermitted;
    static const quint64 &RenamePermitted;
    static const quint64 &DeletionPermitted;
    static const quint64 &NonMail;
    static const quint64 &MessagesPermitted;
    static const quint64 &ReadOnly;
    static const quint64 &Favourite;

    QMailFolder();
    // `name` is the folder's path.
    QMailFolder(const QString &name, const QMailFolderId &parentFolderId = QMailFolderId(),
                const QMailAccountId &parentAccountId = QMailAccountId());
    // Loads the folder from QMailStore::instance(); an unknown id gives an empty folder.
    explicit QMailFolder(const QMailFolderId &id);

    QMailFolderId id() const;
    void setId(const QMailFolderId &id);

    QString path() const;
    void setPath(const QString &path);

    QString displayName() const;
    void setDisplayName(const QString &name);

    QMailFolderId parentFolderId() const;
    void setParentFolderId(const QMailFolderId &id);

    QMailAccountId parentAccountId() const;
    void setParentAccountId(const QMailAccountId &id);

    quint64 status() const;
    void setStatus(quint64 newStatus);
    void setStatus(quint64 mask, bool set);

private:
    QMailFolderId m_id;
    QString m_path;
    QString m_displayName;
    QMailFolderId m_parentFolderId;
    QMailAccountId m_parentAccountId;
    quint64 m_status = 0;
};

Q_DECLARE_METATYPE(QMailFolder)

#endif // QMAILFOLDER_H
