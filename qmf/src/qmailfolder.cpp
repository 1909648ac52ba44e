#include "qmailfolder.h"

#include "qmailstore.h"

namespace {

// Fixed bit values: the real library assigns these at store start-up in this order.
const quint64 synchronizationEnabledFlag = 0x1;
const quint64 synchronizedFlag = 0x2;
const quint64 partialContentFlag = 0x4;
const quint64 removedFlag = 0x8;
const quint64 incomingFlag = 0x10;
const quint64 outgoingFlag = 0x20;
const quint64 sentFlag = 0x40;
const quint64 trashFlag = 0x80;
const quint64 draftsFlag = 0x100;
const quint64 junkFlag = 0x200;
const quint64 childCreationPermittedFlag = 0x400;
const quint64 renamePermittedFlag = 0x800;
const quint64 deletionPermittedFlag = 0x1000;
const quint64 nonMailFlag = 0x2000;
const quint64 messagesPermittedFlag = 0x4000;
const quint64 readOnlyFlag = 0x8000;
const quint64 favouriteFlag = 0x10000;

} // namespace

const quint64 &QMailFolder::SynchronizationEnabled = synchronizationEnabledFlag;
const quint64 &QMailFolder::Synchronized = synchronizedFlag;
const quint64 &QMailFolder::PartialContent = partialContentFlag;
const quint64 &QMailFolder::Removed = removedFlag;
const quint64 &QMailFolder::Incoming = incomingFlag;
const quint64 &QMailFolder::Outgoing = outgoingFlag;
const quint64 &QMailFolder::Sent = sentFlag;
const quint64 &QMailFolder::Trash = trashFlag;
const quint64 &QMailFolder::Drafts = draftsFlag;
const quint64 &QMailFolder::Junk = junkFlag;
const quint64 &QMailFolder::ChildCreationPermitted = childCreationPermittedFlag;
const quint64 &QMailFolder::RenamePermitted = renamePermittedFlag;
const quint64 &QMailFolder::DeletionPermitted = deletionPermittedFlag;
const quint64 &QMailFolder::NonMail = nonMailFlag;
const quint64 &QMailFolder::MessagesPermitted = messagesPermittedFlag;
const quint64 &QMailFolder::ReadOnly = readOnlyFlag;
const quint64 &QMailFolder::Favourite = favouriteFlag;

QMailFolder::QMailFolder() = default;

QMailFolder::QMailFolder(const QString &name, const QMailFolderId &parentFolderId,
                         const QMailAccountId &parentAccountId)
    : m_path(name)
    , m_parentFolderId(parentFolderId)
    , m_parentAccountId(parentAccountId)
{
}

QMailFolder::QMailFolder(const QMailFolderId &id)
{
    *this = QMailStore::instance()->folder(id);
}

QMailFolderId QMailFolder::id() const
{
    return m_id;
}

void QMailFolder::setId(const QMailFolderId &id)
{
    m_id = id;
}

QString QMailFolder::path() const
{
    return m_path;
}

void QMailFolder::setPath(const QString &path)
{
    m_path = path;
}

QString QMailFolder::displayName() const
{
    // Without a name of its own a folder is shown by its path.
    return m_displayName.isNull() ? m_path : m_displayName;
}

void QMailFolder::setDisplayName(const QString &name)
{
    m_displayName = name;
}

QMailFolderId QMailFolder::parentFolderId() const
{
    return m_parentFolderId;
}

void QMailFolder::setParentFolderId(const QMailFolderId &id)
{
    m_parentFolderId = id;
}

QMailAccountId QMailFolder::parentAccountId() const
{
    return m_parentAccountId;
}

void QMailFolder::setParentAccountId(const QMailAccountId &id)
{
    m_parentAccountId = id;
}

quint64 QMailFolder::status() const
{
    return m_status;
}

void QMailFolder::setStatus(quint64 newStatus)
{
    m_status = newStatus;
}

void QMailFolder::setStatus(quint64 mask, bool set)
{
    if (set)
        m_status |= mask;
    else
        m_status &= ~mask;
}
