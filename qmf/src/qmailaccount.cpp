#include "qmailaccount.h"

#include "qmailstore.h"

#include <QDebug>

namespace {

// Fixed bit values: the real library assigns these at store start-up in this order.
const quint64 synchronizationEnabledFlag = 0x1;
const quint64 synchronizedFlag = 0x2;
const quint64 appendSignatureFlag = 0x4;
const quint64 userEditableFlag = 0x8;
const quint64 userRemovableFlag = 0x10;
const quint64 preferredSenderFlag = 0x20;
const quint64 messageSourceFlag = 0x40;
const quint64 canRetrieveFlag = 0x80;
const quint64 messageSinkFlag = 0x100;
const quint64 canTransmitFlag = 0x200;
const quint64 enabledFlag = 0x400;
const quint64 canReferenceExternalDataFlag = 0x800;
const quint64 canTransmitViaReferenceFlag = 0x1000;
const quint64 canCreateFoldersFlag = 0x2000;
const quint64 useSmartReplyFlag = 0x4000;
const quint64 canSearchOnServerFlag = 0x8000;

} // namespace

const quint64 &QMailAccount::SynchronizationEnabled = synchronizationEnabledFlag;
const quint64 &QMailAccount::Synchronized = synchronizedFlag;
const quint64 &QMailAccount::AppendSignature = appendSignatureFlag;
const quint64 &QMailAccount::UserEditable = userEditableFlag;
const quint64 &QMailAccount::UserRemovable = userRemovableFlag;
const quint64 &QMailAccount::PreferredSender = preferredSenderFlag;
const quint64 &QMailAccount::MessageSource = messageSourceFlag;
const quint64 &QMailAccount::CanRetrieve = canRetrieveFlag;
const quint64 &QMailAccount::MessageSink = messageSinkFlag;
const quint64 &QMailAccount::CanTransmit = canTransmitFlag;
const quint64 &QMailAccount::Enabled = enabledFlag;
const quint64 &QMailAccount::CanReferenceExternalData = canReferenceExternalDataFlag;
const quint64 &QMailAccount::CanTransmitViaReference = canTransmitViaReferenceFlag;
const quint64 &QMailAccount::CanCreateFolders = canCreateFoldersFlag;
const quint64 &QMailAccount::UseSmartReply = useSmartReplyFlag;
const quint64 &QMailAccount::CanSearchOnServer = canSearchOnServerFlag;

QMailAccount::QMailAccount() = default;

QMailAccount::QMailAccount(const QMailAccountId &id)
{
    *this = QMailStore::instance()->account(id);
}

QMailAccount::~QMailAccount() = default;

QMailAccountId QMailAccount::id() const
{
    return m_id;
}

void QMailAccount::setId(const QMailAccountId &id)
{
    m_id = id;
}

QString QMailAccount::name() const
{
    return m_name;
}

void QMailAccount::setName(const QString &str)
{
    m_name = str;
}

QMailMessageMetaDataFwd::MessageType QMailAccount::messageType() const
{
    return m_messageType;
}

void QMailAccount::setMessageType(QMailMessageMetaDataFwd::MessageType type)
{
    m_messageType = type;
}

QMailFolderId QMailAccount::standardFolder(QMailFolder::StandardFolder folder) const
{
    return m_standardFolders.value(folder);
}

void QMailAccount::setStandardFolder(QMailFolder::StandardFolder folder, const QMailFolderId &folderId)
{
    if (folder == QMailFolder::OutboxFolder) {
        qWarning() << "void QMailAccount::setStandardFolder(QMailFolder::StandardFolder, const QMailFolderId&)"
                   << "Cannot set the outbox folder of an account";
        return;
    }
    if (folderId.isValid())
        m_standardFolders.insert(folder, folderId);
    else
        m_standardFolders.remove(folder);
}

QMap<QMailFolder::StandardFolder, QMailFolderId> QMailAccount::standardFolders() const
{
    return m_standardFolders;
}

quint64 QMailAccount::status() const
{
    return m_status;
}

void QMailAccount::setStatus(quint64 newStatus)
{
    m_status = newStatus;
}

void QMailAccount::setStatus(quint64 mask, bool set)
{
    if (set)
        m_status |= mask;
    else
        m_status &= ~mask;
}

QString QMailAccount::customField(const QString &name) const
{
    return m_customFields.value(name);
}

void QMailAccount::setCustomField(const QString &name, const QString &value)
{
    m_customFields.insert(name, value);
}

void QMailAccount::removeCustomField(const QString &name)
{
    m_customFields.remove(name);
}

const QMap<QString, QString> &QMailAccount::customFields() const
{
    return m_customFields;
}
