// The fourteen request functions. Each wraps its arguments in a local operation class whose
// description is its identity (equal descriptions are one operation) and whose exec()
// makes exactly one call on the shared service action.
// Operations are made with QSharedPointer::create(): object and count in one allocation.

#include "zavekserviceactionmanager.h"
#include "zavekserviceactionmanager_caches_p.h"

#include <qmailaccount.h>
#include <qmailstore.h>

#include <QAtomicInteger>
#include <QStringBuilder>

#include <utility>

namespace {

void appendIds(QString &text, const QMailMessageIdList &ids)
{
    for (int i = 0; i < ids.size(); ++i) {
        if (i > 0)
            text += QLatin1Char(',');
        text += QString::number(ids.at(i).toULongLong());
    }
}

// Additions and updates are described by their content identifiers or ids only, which two
// different requests can share; a number drawn here keeps their descriptions apart so that
// no request is merged away and its messages left unwritten.
// The part retrievals' descriptions begin with these; the part location key follows, and the
// manager's part cache reads it from there instead of keeping a copy.
const QLatin1String PartPrefix("retrieve-message-part:part-location=");
const QLatin1String PartRangePrefix("retrieve-message-part-range:part-location=");

quint64 nextUnmergeableRequest()
{
    static QAtomicInteger<quint64> counter;
    return ++counter;
}

template <typename ServiceAction>
ServiceAction *serviceActionOf(QMailServiceAction *action, const char *where)
{
    ServiceAction *cast = qobject_cast<ServiceAction *>(action);
    Q_ASSERT_X(cast, where, "cast failed");
    if (!cast)
        qWarning("%s cast failed", where);
    return cast;
}

} // namespace

using Action = ZavekServiceActionManager::Action;

// ---- account level ----

ZavekServiceActionManager::Serial ZavekServiceActionManager::sync(const QMailAccountId &accountId)
{
    class Synchronize : public Action
    {
    public:
        Synchronize(QMailServiceAction *action, const QMailAccountId &accountId)
            : Action(action, Low, true), accountId(accountId)
        {
            _mergePolicy = MergeUnlessStarted;
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction, "virtual void ZavekServiceActionManager::sync(const QMailAccountId&)::Synchronize::exec()");
            if (!retrieval)
                return;
#ifdef ZAVEK_QMF_HAS_SYNCHRONIZE_ALL
            retrieval->synchronizeAll(accountId);
#else
            retrieval->synchronize(accountId, QMailRetrievalAction::defaultMinimum());
#endif
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = QStringLiteral("synchronize:account-id=%1").arg(accountId.toULongLong());
            return _description;
        }
        QMailAccountId accountId;
    };

    auto operation = QSharedPointer<Synchronize>::create(retrievalAction, accountId);
    Q_ASSERT_X(operation->accountId.isValid(), "sync", "accountId.isValid()");
    return enqueue(std::move(operation), QMailMessagePartContainer::Location(), QMailMessageIdList());
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::send(const QMailAccountId &id)
{
    Q_ASSERT_X(id.isValid(), "send", "id.isValid()");
#ifndef QT_NO_DEBUG
    const QMailAccount account(id);
    Q_ASSERT_X(account.status() & QMailAccount::MessageSink, "send", "account.MessageSink");
    Q_ASSERT_X(account.status() & QMailAccount::CanTransmit, "send", "account.CanTransmit");
#endif

    class TransmitMessages : public Action
    {
    public:
        TransmitMessages(QMailServiceAction *action, const QMailAccountId &accountId)
            : Action(action, High, true), accountId(accountId)
        {
            _mergePolicy = MergeUnlessStarted;
        }
        void exec() override
        {
            auto *transmit = serviceActionOf<QMailTransmitAction>(
                _serviceAction, "virtual void ZavekServiceActionManager::send(const QMailAccountId&)::TransmitMessages::exec()");
            if (transmit)
                transmit->transmitMessages(accountId);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = QStringLiteral("send:account-id=%1").arg(accountId.toULongLong());
            return _description;
        }
        QMailAccountId accountId;
    };

    return enqueue(QSharedPointer<TransmitMessages>::create(transmitAction, id), QMailMessagePartContainer::Location(),
                   QMailMessageIdList());
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::exportUpdates(const QMailAccountId &accountId)
{
    class ExportUpdates : public Action
    {
    public:
        ExportUpdates(QMailServiceAction *action, const QMailAccountId &accountId)
            : Action(action, Low, true), accountId(accountId)
        {
            _mergePolicy = MergeUnlessStarted;
            _interruptible = false;
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::exportUpdates(const QMailAccountId&)::ExportUpdates::exec()");
            if (retrieval)
                retrieval->exportUpdates(accountId);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = QStringLiteral("export-updates:account-id=%1").arg(accountId.toULongLong());
            return _description;
        }
        QMailAccountId accountId;
    };

    return enqueue(QSharedPointer<ExportUpdates>::create(retrievalAction, accountId), QMailMessagePartContainer::Location(),
                   QMailMessageIdList());
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveFolderList(const QMailAccountId &accountId,
                                                                                const QMailFolderId &folderId,
                                                                                bool descending)
{
    class RetrieveFolderList : public Action
    {
    public:
        RetrieveFolderList(QMailServiceAction *action, const QMailAccountId &accountId,
                           const QMailFolderId &folderId, bool descending)
            : Action(action, Low, true), accountId(accountId), folderId(folderId), descending(descending)
        {
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveFolderList(const QMailAccountId&, const QMailFolderId&, "
                "bool)::RetrieveFolderList::exec()");
            if (retrieval)
                retrieval->retrieveFolderList(accountId, folderId, descending);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = QStringLiteral("retrieve-folder-list:accountId=%1;folderId=%2;descending=%3")
                                   .arg(accountId.toULongLong())
                                   .arg(folderId.toULongLong())
                                   .arg(descending ? 1 : 0);
            return _description;
        }
        QMailAccountId accountId;
        QMailFolderId folderId;
        bool descending;
    };

    auto operation = QSharedPointer<RetrieveFolderList>::create(retrievalAction, accountId, folderId, descending);
    Q_ASSERT_X(operation->accountId.isValid(), "retrieveFolderList", "accountId.isValid()");
    return enqueue(std::move(operation), QMailMessagePartContainer::Location(), QMailMessageIdList());
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveMessageList(const QMailAccountId &accountId,
                                                                                 const QMailFolderId &folderId,
                                                                                 uint minimum,
                                                                                 const QMailMessageSortKey &sort)
{
    class RetrieveMessageList : public Action
    {
    public:
        RetrieveMessageList(QMailServiceAction *action, const QMailAccountId &accountId,
                            const QMailFolderId &folderId, uint minimum, const QMailMessageSortKey &sort)
            : Action(action, Low, true), accountId(accountId), folderId(folderId), minimum(minimum), sort(sort)
        {
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveMessageList(const QMailAccountId&, const QMailFolderId&, "
                "uint, const QMailMessageSortKey&)::RetrieveMessageList::exec()");
            if (retrieval)
                retrieval->retrieveMessageList(accountId, folderId, minimum, sort);
        }
        QString description() const override
        {
            // The sort key is not part of the identity: the same list sorted otherwise is
            // the same work.
            if (_description.isEmpty())
                _description = QStringLiteral("retrieve-message-list:accountId=%1;folderId=%2;minimum=%3")
                                   .arg(accountId.toULongLong())
                                   .arg(folderId.toULongLong())
                                   .arg(minimum);
            return _description;
        }
        QMailAccountId accountId;
        QMailFolderId folderId;
        uint minimum;
        QMailMessageSortKey sort;
    };

    auto operation = QSharedPointer<RetrieveMessageList>::create(retrievalAction, accountId, folderId, minimum, sort);
    Q_ASSERT_X(operation->accountId.isValid(), "retrieveMessageList", "accountId.isValid()");
    return enqueue(std::move(operation), QMailMessagePartContainer::Location(), QMailMessageIdList());
}

// ---- message level: retrievals ----

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveMessages(
    const QMailMessageIdList &ids, QMailRetrievalAction::RetrievalSpecification kind)
{
    class RetrieveMessages : public Action
    {
    public:
        RetrieveMessages(QMailServiceAction *action, const QMailMessageIdList &ids,
                         QMailRetrievalAction::RetrievalSpecification kind)
            : Action(action, High, true), ids(ids), kind(kind)
        {
        }
        QMailMessageId messageId() const override { return ids.isEmpty() ? QMailMessageId() : ids.first(); }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveMessages(const QMailMessageIdList&, "
                "QMailRetrievalAction::RetrievalSpecification)::RetrieveMessages::exec()");
            if (retrieval)
                retrieval->retrieveMessages(ids, kind);
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("retrieve-messages:message-ids=");
                appendIds(text, ids);
                text += QStringLiteral(";retrieval-specification=%1").arg(int(kind));
                _description = text;
            }
            return _description;
        }
        QMailMessageIdList ids;
        QMailRetrievalAction::RetrievalSpecification kind;
    };

    return enqueue(QSharedPointer<RetrieveMessages>::create(retrievalAction, ids, kind), QMailMessagePartContainer::Location(QString()), ids);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveMessageRange(const QMailMessageId &id, uint minimum)
{
    class RetrieveMessageRange : public Action
    {
    public:
        RetrieveMessageRange(QMailServiceAction *action, const QMailMessageId &id, uint minimum)
            : Action(action, High, true), id(id), minimum(minimum)
        {
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveMessageRange(const QMailMessageId&, "
                "uint)::RetrieveMessageRange::exec()");
            if (retrieval)
                retrieval->retrieveMessageRange(id, minimum);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = QStringLiteral("retrieve-message-range:message-id=%1;minimum=%2")
                                   .arg(id.toULongLong())
                                   .arg(minimum);
            return _description;
        }
        QMailMessageId id;
        uint minimum;
    };

    return enqueue(QSharedPointer<RetrieveMessageRange>::create(retrievalAction, id, minimum), QMailMessagePartContainer::Location(QString()),
                   id);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveMessagePart(
    const QMailMessagePartContainer::Location &partLocation)
{
    class RetrieveMessagePart : public Action
    {
    public:
        RetrieveMessagePart(QMailServiceAction *action, const QMailMessagePartContainer::Location &partLocation,
                            const QString &key)
            : Action(action, High, true), partLocation(partLocation)
        {
            // Only a valid location is entered in the part cache, where equal requests are
            // looked for by the key alone: only its hash is kept (the text is the location's,
            // worked out again when a hash matches), and the longer description is built only
            // if someone asks for it.
            _equalByPartKey = partLocation.isValid(true);
            if (_equalByPartKey) {
                _partKeyHash = ZavekServiceActionManagerPrivate::OperationCaches::partKeyHash(key);
            } else {
                // Same text as the format below would give, built in one allocation.
                _description = PartPrefix % key;
                _partKeyOffset = quint8(PartPrefix.size());
            }
        }
        QMailMessageId messageId() const override { return partLocation.containingMessageId(); }
        QMailMessagePartContainer::Location messagePartLocation() const override { return partLocation; }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveMessagePart(const "
                "QMailMessagePartContainer::Location&)::RetrieveMessagePart::exec()");
            if (retrieval)
                retrieval->retrieveMessagePart(partLocation);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = PartPrefix % partLocation.toString(true);
            return _description;
        }
        QMailMessagePartContainer::Location partLocation;
    };

    const QString key = partLocation.toString(true);
    auto operation = QSharedPointer<RetrieveMessagePart>::create(retrievalAction, partLocation, key);
    Q_ASSERT_X(operation->partLocation.isValid(true), "retrieveMessagePart", "partLocation.isValid()");
    return enqueue(std::move(operation), partLocation, partLocation.containingMessageId(), key);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::retrieveMessagePartRange(
    const QMailMessagePartContainer::Location &partLocation, uint minimum)
{
    class RetrieveMessagePartRange : public Action
    {
    public:
        RetrieveMessagePartRange(QMailServiceAction *action, const QMailMessagePartContainer::Location &partLocation,
                                 uint minimum)
            : Action(action, High, true), partLocation(partLocation), minimum(minimum)
        {
            _partKeyOffset = quint8(PartRangePrefix.size());
        }
        void exec() override
        {
            auto *retrieval = serviceActionOf<QMailRetrievalAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::retrieveMessagePartRange(const "
                "QMailMessagePartContainer::Location&, uint)::RetrieveMessagePartRange::exec()");
            if (retrieval)
                retrieval->retrieveMessagePartRange(partLocation, minimum);
        }
        QString description() const override
        {
            if (_description.isEmpty())
                _description = PartRangePrefix % partLocation.toString(true) % QLatin1String(";minimum=")
                    % QString::number(minimum);
            return _description;
        }
        QMailMessagePartContainer::Location partLocation;
        uint minimum;
    };

    auto operation = QSharedPointer<RetrieveMessagePartRange>::create(retrievalAction, partLocation, minimum);
    Q_ASSERT_X(operation->partLocation.isValid(true), "retrieveMessagePartRange", "partLocation.isValid()");
    return enqueue(std::move(operation), partLocation, partLocation.containingMessageId());
}

// ---- message level: store changes ----

ZavekServiceActionManager::Serial ZavekServiceActionManager::deleteMessages(const QMailMessageIdList &ids)
{
    class DeleteMessages : public Action
    {
    public:
        DeleteMessages(QMailServiceAction *action, const QMailMessageIdList &ids) : Action(action, High, false), ids(ids)
        {
            _mergePolicy = MergeIfLastStoreChange;
        }
        void exec() override
        {
            auto *storage = serviceActionOf<QMailStorageAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::deleteMessages(const QMailMessageIdList&)::DeleteMessages::exec()");
            if (storage)
                storage->deleteMessages(ids);
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("delete-messages:message-ids=");
                appendIds(text, ids);
                _description = text;
            }
            return _description;
        }
        QMailMessageIdList ids;
    };

    return enqueue(QSharedPointer<DeleteMessages>::create(storageAction, ids), QMailMessagePartContainer::Location(QString()), ids);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::flagMessages(const QMailMessageIdList &ids,
                                                                          quint64 setMask, quint64 unsetMask)
{
    class FlagMessages : public Action
    {
    public:
        FlagMessages(QMailServiceAction *action, const QMailMessageIdList &ids, quint64 setMask, quint64 unsetMask)
            : Action(action, High, false), ids(ids), setMask(setMask), unsetMask(unsetMask)
        {
            _mergePolicy = MergeIfLastStoreChange;
        }
        void exec() override
        {
            auto *storage = serviceActionOf<QMailStorageAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::flagMessages(const QMailMessageIdList&, quint64, "
                "quint64)::FlagMessages::exec()");
            if (storage)
                storage->flagMessages(ids, setMask, unsetMask);
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("flag-messages:message-ids=");
                appendIds(text, ids);
                text += QStringLiteral(";set-mask=%1;unset-mask=%2").arg(setMask).arg(unsetMask);
                _description = text;
            }
            return _description;
        }
        QMailMessageIdList ids;
        quint64 setMask;
        quint64 unsetMask;
    };

    return enqueue(QSharedPointer<FlagMessages>::create(storageAction, ids, setMask, unsetMask), QMailMessagePartContainer::Location(QString()),
                   ids);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::moveMessages(const QMailMessageIdList &ids,
                                                                          const QMailFolderId &folderId)
{
    class MoveMessages : public Action
    {
    public:
        MoveMessages(QMailServiceAction *action, const QMailMessageIdList &ids, const QMailFolderId &folderId)
            : Action(action, High, false), ids(ids), folderId(folderId)
        {
            _mergePolicy = MergeIfLastStoreChange;
        }
        void exec() override
        {
            auto *storage = serviceActionOf<QMailStorageAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::moveMessages(const QMailMessageIdList&, const "
                "QMailFolderId&)::MoveMessages::exec()");
            if (!storage)
                return;
#ifdef ZAVEK_QMF_HAS_MOVE_MESSAGES
            storage->moveMessages(ids, folderId);
#else
            storage->moveToFolder(ids, folderId);
#endif
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("move-messages:message-ids=");
                appendIds(text, ids);
                text += QStringLiteral(";folder-id=%1").arg(folderId.toULongLong());
                _description = text;
            }
            return _description;
        }
        QMailMessageIdList ids;
        QMailFolderId folderId;
    };

    return enqueue(QSharedPointer<MoveMessages>::create(storageAction, ids, folderId), QMailMessagePartContainer::Location(QString()), ids);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::addMessages(const QMailMessageList &messages)
{
    class AddMessages : public Action
    {
    public:
        AddMessages(QMailServiceAction *action, const QMailMessageList &messages)
            : Action(action, High, false), messages(messages), request(nextUnmergeableRequest())
        {
            _mergePolicy = MergeNever;
        }
        void exec() override
        {
            auto *storage = serviceActionOf<QMailStorageAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::addMessages(const QMailMessageList&)::AddMessages::exec()");
            if (storage)
                storage->addMessages(messages);
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("add-messages:request=%1;cids=").arg(request);
                for (int i = 0; i < messages.size(); ++i) {
                    if (i > 0)
                        text += QLatin1Char(',');
                    text += messages.at(i).contentIdentifier();
                }
                _description = text;
            }
            return _description;
        }
        QMailMessageList messages;
        quint64 request;
    };

    return enqueue(QSharedPointer<AddMessages>::create(storageAction, messages), QMailMessagePartContainer::Location(), QMailMessageIdList());
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::updateMessages(const QMailMessageList &messages)
{
    class UpdateMessages : public Action
    {
    public:
        UpdateMessages(QMailServiceAction *action, const QMailMessageList &messages)
            : Action(action, High, false), messages(messages), request(nextUnmergeableRequest())
        {
            _mergePolicy = MergeNever;
        }
        void exec() override
        {
            auto *storage = serviceActionOf<QMailStorageAction>(
                _serviceAction,
                "virtual void ZavekServiceActionManager::updateMessages(const QMailMessageList&)::UpdateMessages::exec()");
            if (storage)
                storage->updateMessages(messages);
        }
        QString description() const override
        {
            if (_description.isEmpty()) {
                QString text = QStringLiteral("update-messages:request=%1;message-ids=").arg(request);
                for (int i = 0; i < messages.size(); ++i) {
                    if (i > 0)
                        text += QLatin1Char(',');
                    text += QString::number(messages.at(i).id().toULongLong());
                }
                _description = text;
            }
            return _description;
        }
        QMailMessageList messages;
        quint64 request;
    };

    return enqueue(QSharedPointer<UpdateMessages>::create(storageAction, messages), QMailMessagePartContainer::Location(),
                   QMailMessageIdList());
}
