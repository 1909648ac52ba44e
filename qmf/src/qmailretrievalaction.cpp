#include "qmailserviceaction.h"
#include "qmailserviceaction_p.h"

QMailRetrievalAction::QMailRetrievalAction(QObject *parent)
    : QMailServiceAction(parent)
{
}

QMailRetrievalAction::~QMailRetrievalAction() = default;

void QMailRetrievalAction::retrieveFolderList(const QMailAccountId &accountId, const QMailFolderId &folderId,
                                              bool descending)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveFolderListRequestType, QStringLiteral("retrieveFolderList"),
            { QVariant::fromValue(accountId), QVariant::fromValue(folderId), descending });
}

void QMailRetrievalAction::retrieveMessageList(const QMailAccountId &accountId, const QMailFolderId &folderId,
                                               uint minimum, const QMailMessageSortKey &sort)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveMessageListRequestType, QStringLiteral("retrieveMessageList"),
            { QVariant::fromValue(accountId), QVariant::fromValue(folderId), minimum, QVariant::fromValue(sort) });
}

void QMailRetrievalAction::retrieveMessages(const QMailMessageIdList &messageIds,
                                            QMailRetrievalAction::RetrievalSpecification kind)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveMessagesRequestType, QStringLiteral("retrieveMessages"),
            { QVariant::fromValue(messageIds), QVariant::fromValue(kind) });
}

void QMailRetrievalAction::retrieveMessagePart(const QMailMessagePart::Location &partLocation)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveMessagePartRequestType, QStringLiteral("retrieveMessagePart"),
            { partLocation.toString(true) });
}

void QMailRetrievalAction::retrieveMessageRange(const QMailMessageId &messageId, uint minimum)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveMessageRangeRequestType, QStringLiteral("retrieveMessageRange"),
            { QVariant::fromValue(messageId), minimum });
}

void QMailRetrievalAction::retrieveMessagePartRange(const QMailMessagePart::Location &partLocation, uint minimum)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveMessagePartRangeRequestType, QStringLiteral("retrieveMessagePartRange"),
            { partLocation.toString(true), minimum });
}

void QMailRetrievalAction::exportUpdates(const QMailAccountId &accountId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            ExportUpdatesRequestType, QStringLiteral("exportUpdates"), { QVariant::fromValue(accountId) });
}

void QMailRetrievalAction::synchronize(const QMailAccountId &accountId, uint minimum)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            SynchronizeRequestType, QStringLiteral("synchronize"), { QVariant::fromValue(accountId), minimum });
}

void QMailRetrievalAction::synchronizeAll(const QMailAccountId &accountId)
{
    QMailServiceActionPrivate::get(this)->beginRequest(
            RetrieveAllRequestType, QStringLiteral("synchronizeAll"), { QVariant::fromValue(accountId) });
}
