#include "qmailmessageserver_p.h"
#include "qmailserviceaction.h"
#include "qmailserviceaction_p.h"

namespace {

// Messages that refer to data the server cannot resolve yet, or that another program
// sends, are written by the client itself: the request completes inside the call.
bool writtenByClient(const QMailMessageList &list, bool update)
{
    quint64 mask = QMailMessage::HasUnresolvedReferences | QMailMessage::TransmitFromExternal;
    if (update)
        mask |= QMailMessage::Outgoing;
    for (const QMailMessage &message : list) {
        if (message.status() & mask)
            return true;
    }
    return false;
}

} // namespace

QMailStorageAction::QMailStorageAction(QObject *parent)
    : QMailServiceAction(parent)
{
}

QMailStorageAction::~QMailStorageAction() = default;

QMailMessageIdList QMailStorageAction::messagesAdded() const
{
    return m_messagesAdded;
}

void QMailStorageAction::deleteMessages(const QMailMessageIdList &ids)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            DeleteMessagesRequestType, QStringLiteral("deleteMessages"), { QVariant::fromValue(ids) });
}

void QMailStorageAction::flagMessages(const QMailMessageIdList &ids, quint64 setMask, quint64 unsetMask)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            FlagMessagesRequestType, QStringLiteral("flagMessages"),
            { QVariant::fromValue(ids), QVariant::fromValue(setMask), QVariant::fromValue(unsetMask) });
}

void QMailStorageAction::moveToFolder(const QMailMessageIdList &ids, const QMailFolderId &folderId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            MoveMessagesRequestType, QStringLiteral("moveToFolder"),
            { QVariant::fromValue(ids), QVariant::fromValue(folderId) });
}

void QMailStorageAction::moveMessages(const QMailMessageIdList &ids, const QMailFolderId &folderId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            MoveMessagesRequestType, QStringLiteral("moveMessages"),
            { QVariant::fromValue(ids), QVariant::fromValue(folderId) });
}

void QMailStorageAction::onlineMoveMessages(const QMailMessageIdList &ids, const QMailFolderId &destinationId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            MoveMessagesRequestType, QStringLiteral("onlineMoveMessages"),
            { QVariant::fromValue(ids), QVariant::fromValue(destinationId) });
}

void QMailStorageAction::addMessages(const QMailMessageList &list)
{
    QMailServiceActionPrivate *d = QMailServiceActionPrivate::get(this);
    const bool local = writtenByClient(list, false);
    if (!d->beginRequest(CopyMessagesRequestType, QStringLiteral("addMessages"), { QVariant::fromValue(list) },
                         local) || !local)
        return;
    m_messagesAdded.clear();
    QMailMessageIdList added;
    const Status outcome = QmfStandIn::storeMessages(list, false, &added);
    m_messagesAdded = added;
    d->completeLocally(outcome, outcome.errorCode == Status::ErrNoError ? Successful : Failed);
}

void QMailStorageAction::updateMessages(const QMailMessageList &list)
{
    QMailServiceActionPrivate *d = QMailServiceActionPrivate::get(this);
    const bool local = writtenByClient(list, true);
    if (!d->beginRequest(CopyMessagesRequestType, QStringLiteral("updateMessages"), { QVariant::fromValue(list) },
                         local) || !local)
        return;
    const Status outcome = QmfStandIn::storeMessages(list, true, nullptr);
    d->completeLocally(outcome, outcome.errorCode == Status::ErrNoError ? Successful : Failed);
}
