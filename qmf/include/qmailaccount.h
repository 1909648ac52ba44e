#ifndef QMAILACCOUNT_H
#define QMAILACCOUNT_H

#include "qmailglobal.h"
#include "qmailfolder.h"
#include "qmailid.h"
#include "qmailmessagefwd.h"

#include <QMap>
#include <QMetaType>
#include <QString>

// A mail account: name, status flags, the folders playing the standard roles and free
// custom fields. Service settings live apart, in QMailAccountConfiguration.
class QMF_EXPORT QMailAccount
{
public:
    static const quint64 &SynchronizationEnabled;
    static const quint64 &Synchronized;
    static const quint64 &AppendSignature;
    static const quint64 &UserEditable;
    static const quint64 &UserRemovable;
    static const quint64 &PreferredSender;
    static const quint64 &MessageSource;
    static const quint64 &CanRetrieve;
    static const quint64 &MessageSink;
    static const quint64 &CanTransmit;
    static const quint64 &Enabled;
    static const quint64 &CanReferenceExternalData;
    static const quint64 &CanTransmitViaReference;
    static const quint64 &CanCreateFolders;
    static const quint64 &UseSmartReply;
    static const quint64 &CanSearchOnServer;

    QMailAccount();
    // Loads the account from QMailStore::instance(); an unknown id gives an empty account.
    explicit QMailAccount(const QMailAccountId &id);
    virtual ~QMailAccount();

    QMailAccountId id() const;
    void setId(const QMailAccountId &id);

    QString name() const;
    void setName(const QString &str);

    QMailMessageMetaDataFwd::MessageType messageType() const;
    void setMessageType(QMailMessageMetaDataFwd::MessageType type);

    // Invalid when no folder is recorded for the role.
    QMailFolderId standardFolder(QMailFolder::StandardFolder folder) const;
    // The outbox is shared by all accounts and cannot be set (warning); an invalid
    // folder id removes the entry.
    void setStandardFolder(QMailFolder::StandardFolder folder, const QMailFolderId &folderId);
    QMap<QMailFolder::StandardFolder, QMailFolderId> standardFolders() const;

    quint64 status() const;
    void setStatus(quint64 newStatus);
    void setStatus(quint64 mask, bool set);

    // An absent field is a null string.
    QString customField(const QString &name) const;
    void setCustomField(const QString &name, const QString &value);
    void removeCustomField(const QString &name);
    const QMap<QString, QString> &customFields() const;

private:
    QMailAccountId m_id;
    QString m_name;
    quint64 m_status = 0;
    QMailMessageMetaDataFwd::MessageType m_messageType = QMailMessageMetaDataFwd::None;
    QMap<QMailFolder::StandardFolder, QMailFolderId> m_standardFolders;
    QMap<QString, QString> m_customFields;
};

Q_DECLARE_METATYPE(QMailAccount)

#endif // QMAILACCOUNT_H
