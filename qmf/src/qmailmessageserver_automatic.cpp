// Automatic mode: the server carries requests out against the store, reading a
// directory of .eml files as the account's remote mailbox.

#include "qmailmessageserver_p.h"
#include "qmailserviceaction_p.h"

#include "qmailaccount.h"
#include "qmailfolder.h"
#include "qmailfolderkey.h"
#include "qmailmessagecontrol.h"
#include "qmailmessagekey.h"
#include "qmailstore.h"

#include <QDir>
#include <QFileInfo>

#include <functional>
#include <QTimer>

namespace QmfStandIn {

namespace {

using Status = QMailServiceAction::Status;

const int stepCount = 3;

Status error(Status::ErrorCode code, const QString &text,
             const QMailAccountId &account = QMailAccountId(), const QMailMessageId &message = QMailMessageId())
{
    return Status(code, text, account, QMailFolderId(), message);
}

bool needsNetwork(QMailServerRequestType type)
{
    switch (type) {
    case DeleteMessagesRequestType:
    case FlagMessagesRequestType:
    case CopyMessagesRequestType:
        return false;
    default:
        return true;
    }
}

bool messageExists(const QMailMessageId &id)
{
    return id.isValid() && QMailStore::instance()->countMessages(QMailMessageKey::id(id)) == 1;
}

Status missingMessage(const QMailMessageId &id)
{
    return error(Status::ErrNonexistentMessage,
                 QStringLiteral("Message %1 does not exist").arg(id.toULongLong()), QMailAccountId(), id);
}

Status checkMessages(const QMailMessageIdList &ids)
{
    for (const QMailMessageId &id : ids) {
        if (!messageExists(id))
            return missingMessage(id);
    }
    return Status();
}

Status storeFailure(const QString &what)
{
    return error(Status::ErrFrameworkFault,
                 QStringLiteral("%1 failed: store error %2").arg(what).arg(int(QMailStore::instance()->lastError())));
}

QMailAccount existingAccount(const QMailAccountId &id, Status *status)
{
    QMailAccount account = QMailStore::instance()->account(id);
    if (!account.id().isValid())
        *status = error(Status::ErrConfiguration, QStringLiteral("Account %1 does not exist").arg(id.toULongLong()), id);
    return account;
}

// The account's folder for one standard role: as recorded, else found by its flag,
// else created under `name`.
QMailFolderId standardFolder(QMailAccount *account, QMailFolder::StandardFolder role, quint64 flag,
                             const QString &name, Status *status)
{
    QMailStore *store = QMailStore::instance();
    const QMailFolderId recorded = account->standardFolder(role);
    if (recorded.isValid() && store->folder(recorded).id().isValid())
        return recorded;

    const QMailFolderIdList found =
            store->queryFolders(QMailFolderKey::parentAccountId(account->id()) & QMailFolderKey::status(flag));
    QMailFolderId folderId = found.isEmpty() ? QMailFolderId() : found.first();
    if (!folderId.isValid()) {
        QMailFolder folder(name, QMailFolderId(), account->id());
        folder.setStatus(flag | QMailFolder::MessagesPermitted, true);
        if (!store->addFolder(&folder)) {
            *status = storeFailure(QStringLiteral("Creating folder ") + name);
            return QMailFolderId();
        }
        folderId = folder.id();
    }
    account->setStandardFolder(role, folderId);
    store->updateAccount(account);
    return folderId;
}

QMailFolderId inboxOf(const QMailAccountId &accountId, Status *status)
{
    QMailAccount account = existingAccount(accountId, status);
    if (status->errorCode != Status::ErrNoError)
        return QMailFolderId();
    return standardFolder(&account, QMailFolder::InboxFolder, QMailFolder::Incoming, QStringLiteral("Inbox"), status);
}

QMailMessageIdList idsArgument(const Request &request)
{
    return request.arguments.value(0).value<QMailMessageIdList>();
}

QMailAccountId accountArgument(const Request &request)
{
    return request.arguments.value(0).value<QMailAccountId>();
}

} // namespace

QMailServiceAction::Status storeMessages(const QMailMessageList &list, bool update, QMailMessageIdList *added)
{
    QMailStore *store = QMailStore::instance();
    for (QMailMessage message : list) {
        if (update && !messageExists(message.id()))
            return missingMessage(message.id());
        const bool stored = update ? store->updateMessage(&message) : store->addMessage(&message);
        if (!stored)
            return storeFailure(update ? QStringLiteral("Updating a message") : QStringLiteral("Adding a message"));
        if (added)
            added->append(message.id());
    }
    return Status();
}

// --- scheduling ------------------------------------------------------------------------

void MessageServerPrivate::startAutomatic(const Request &request)
{
    observed.append(ObservedAction(request.id, request.type));
    QList<QPointer<QMailActionObserver> > ready;
    for (QMailActionObserver *observer : qAsConst(observers)) {
        if (QMailServiceActionPrivate::get(observer)->observerReady())
            ready.append(observer);
    }
    for (const QPointer<QMailActionObserver> &observer : qAsConst(ready)) {
        if (observer)
            reportTo(observer.data());
    }
    scheduleStep(request.id, 1);
}

void MessageServerPrivate::scheduleStep(quint64 requestId, int step)
{
    const quint64 requestEpoch = epoch;
    QTimer::singleShot(delay, q, [this, requestId, requestEpoch, step] {
        if (isRunning(requestId, requestEpoch))
            runStep(requestId, step);
    });
}

void MessageServerPrivate::runStep(quint64 requestId, int step)
{
    const Request request = requests.at(indexOfRequest(requestId));
    QMailServiceActionPrivate *action = runningActionPrivate(requestId);
    const quint64 requestEpoch = epoch;
    // Every report may end the request (a slot may cancel, reset or delete the action).
    const auto running = [&] { return isRunning(requestId, requestEpoch); };

    switch (step) {
    case 1:
        if (needsNetwork(request.type))
            action->setConnectivity(QMailServiceAction::Connected);
        if (running())
            action->setActivity(QMailServiceAction::InProgress);
        if (running())
            action->setProgress(0, stepCount - 1);
        break;
    case 2: {
        const Status outcome = perform(request);
        if (!running())
            return;
        if (outcome.errorCode != Status::ErrNoError) {
            action->fail(outcome);
            return;
        }
        action->setProgress(1, stepCount - 1);
        break;
    }
    default:
        action->setProgress(stepCount - 1, stepCount - 1);
        if (running())
            action->setActivity(QMailServiceAction::Successful);
        return;
    }
    if (running())
        scheduleStep(requestId, step + 1);
}

// --- the work --------------------------------------------------------------------------

QMailServiceAction::Status MessageServerPrivate::perform(const Request &request)
{
    QMailStore *store = QMailStore::instance();
    const QString &call = request.call;

    if (call == QLatin1String("deleteMessages")) {
        const QMailMessageIdList ids = idsArgument(request);
        Status status = checkMessages(ids);
        for (int i = 0; status.errorCode == Status::ErrNoError && i < ids.size(); ++i) {
            if (!store->removeMessage(ids.at(i), QMailStore::CreateRemovalRecord))
                status = storeFailure(QStringLiteral("Deleting a message"));
            remoteFiles.remove(ids.at(i));
        }
        return status;
    }
    if (call == QLatin1String("flagMessages")) {
        const QMailMessageIdList ids = idsArgument(request);
        const quint64 unset = request.arguments.value(2).toULongLong();
        // A bit both set and cleared ends up cleared.
        const quint64 set = request.arguments.value(1).toULongLong() & ~unset;
        Status status = checkMessages(ids);
        for (int i = 0; status.errorCode == Status::ErrNoError && i < ids.size(); ++i) {
            QMailMessageMetaData metaData = store->messageMetaData(ids.at(i));
            metaData.setStatus((metaData.status() | set) & ~unset);
            if (!store->updateMessage(&metaData))
                status = storeFailure(QStringLiteral("Flagging a message"));
        }
        return status;
    }
    if (call == QLatin1String("moveToFolder") || call == QLatin1String("moveMessages")
        || call == QLatin1String("onlineMoveMessages")) {
        const QMailMessageIdList ids = idsArgument(request);
        const QMailFolderId folderId = request.arguments.value(1).value<QMailFolderId>();
        if (!folderId.isValid() || !store->folder(folderId).id().isValid())
            return error(Status::ErrInvalidData,
                         QStringLiteral("Folder %1 does not exist").arg(folderId.toULongLong()));
        Status status = checkMessages(ids);
        for (int i = 0; status.errorCode == Status::ErrNoError && i < ids.size(); ++i) {
            QMailMessageMetaData metaData = store->messageMetaData(ids.at(i));
            metaData.setParentFolderId(folderId);
            if (!store->updateMessage(&metaData))
                status = storeFailure(QStringLiteral("Moving a message"));
        }
        return status;
    }
    if (call == QLatin1String("addMessages") || call == QLatin1String("updateMessages")) {
        const bool update = call == QLatin1String("updateMessages");
        QMailMessageIdList added;
        const Status status = storeMessages(request.arguments.value(0).value<QMailMessageList>(), update, &added);
        if (!update && request.action)
            QMailServiceActionPrivate::get(request.action.data())->setMessagesAdded(added);
        return status;
    }
    if (call == QLatin1String("exportUpdates")) {
        Status status;
        existingAccount(accountArgument(request), &status);
        return status;
    }
    if (call == QLatin1String("retrieveFolderList")) {
        Status status;
        inboxOf(accountArgument(request), &status);
        return status;
    }
    if (call == QLatin1String("retrieveMessageList") || call == QLatin1String("synchronize")
        || call == QLatin1String("synchronizeAll"))
        return importRemoteMessages(accountArgument(request));
    if (call == QLatin1String("retrieveMessages")) {
        const QMailMessageIdList ids = idsArgument(request);
        const auto kind = request.arguments.value(1).value<QMailRetrievalAction::RetrievalSpecification>();
        Status status = checkMessages(ids);
        // Flags and metadata are already known from the import.
        for (int i = 0; kind == QMailRetrievalAction::Content && status.errorCode == Status::ErrNoError
                        && i < ids.size(); ++i)
            status = retrieveContent(ids.at(i), [](QMailMessage &stored, const QMailMessage &complete) {
                return fillMessage(stored, complete);
            });
        return status;
    }
    if (call == QLatin1String("retrieveMessageRange")) {
        const QMailMessageId id = request.arguments.value(0).value<QMailMessageId>();
        const uint minimum = request.arguments.value(1).toUInt();
        return retrieveContent(id, [minimum](QMailMessage &stored, const QMailMessage &complete) {
            return fillMessageRange(stored, complete, minimum);
        });
    }
    if (call == QLatin1String("retrieveMessagePart") || call == QLatin1String("retrieveMessagePartRange")) {
        const QMailMessagePart::Location location(request.arguments.value(0).toString());
        const bool range = call == QLatin1String("retrieveMessagePartRange");
        const uint minimum = request.arguments.value(1).toUInt();
        return retrieveContent(location.containingMessageId(),
                               [&](QMailMessage &stored, const QMailMessage &complete) {
            return range ? fillPartRange(stored, complete, location, minimum)
                         : fillPart(stored, complete, location);
        });
    }
    if (call == QLatin1String("transmitMessages"))
        return transmit(request);
    return error(Status::ErrNotImplemented, QStringLiteral("Unknown request ") + call);
}

QMailServiceAction::Status MessageServerPrivate::transmit(const Request &request)
{
    QMailStore *store = QMailStore::instance();
    Status status;
    QMailAccount account = existingAccount(accountArgument(request), &status);
    if (status.errorCode != Status::ErrNoError)
        return status;
    const QMailMessageIdList outbox = store->queryMessages(QMailMessageKey::parentAccountId(account.id())
                                                           & QMailMessageKey::status(QMailMessage::Outbox));
    if (outbox.isEmpty())
        return status;
    const QMailFolderId sent = standardFolder(&account, QMailFolder::SentFolder, QMailFolder::Sent,
                                              QStringLiteral("Sent"), &status);
    if (status.errorCode != Status::ErrNoError)
        return status;

    QMailMessageIdList transmitted;
    for (const QMailMessageId &id : outbox) {
        QMailMessageMetaData metaData = store->messageMetaData(id);
        metaData.setParentFolderId(sent);
        metaData.setStatus(QMailMessage::Outbox, false);
        metaData.setStatus(QMailMessage::Sent, true);
        if (!store->updateMessage(&metaData)) {
            status = storeFailure(QStringLiteral("Moving a sent message"));
            break;
        }
        transmitted.append(id);
    }
    if (!transmitted.isEmpty() && request.action)
        QMailServiceActionPrivate::get(request.action.data())->emitMessagesTransmitted(transmitted);
    return status;
}

QMailServiceAction::Status MessageServerPrivate::importRemoteMessages(const QMailAccountId &accountId)
{
    Status status;
    const QMailFolderId inbox = inboxOf(accountId, &status);
    if (status.errorCode != Status::ErrNoError)
        return status;
    const QString directory = remoteMailboxes.value(accountId);
    if (directory.isEmpty())
        return status;

    QSet<QString> &imported = importedFiles[accountId];
    const QDir remote(directory);
    const QStringList names = remote.entryList({ QStringLiteral("*.eml") }, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString &name : names) {
        const QString path = remote.absoluteFilePath(name);
        if (imported.contains(path))
            continue;
        QMailMessage message = withoutContent(QMailMessage::fromRfc2822File(path));
        message.setParentAccountId(accountId);
        message.setParentFolderId(inbox);
        message.setStatus(QMailMessage::Incoming | QMailMessage::New, true);
        if (!QMailStore::instance()->addMessage(&message))
            return storeFailure(QStringLiteral("Storing a retrieved message"));
        imported.insert(path);
        remoteFiles.insert(message.id(), path);
    }
    return status;
}

QMailServiceAction::Status MessageServerPrivate::retrieveContent(
        const QMailMessageId &id, const std::function<bool(QMailMessage &, const QMailMessage &)> &fill)
{
    if (!messageExists(id))
        return missingMessage(id);
    const QString path = remoteFiles.value(id);
    if (path.isEmpty())
        return error(Status::ErrNonexistentMessage,
                     QStringLiteral("Message %1 has no remote copy").arg(id.toULongLong()), QMailAccountId(), id);
    if (!QFileInfo::exists(path))
        return error(Status::ErrNonexistentMessage,
                     QStringLiteral("Message %1 is gone from the remote mailbox").arg(id.toULongLong()),
                     QMailAccountId(), id);
    QMailMessage stored = QMailStore::instance()->message(id);
    if (!fill(stored, QMailMessage::fromRfc2822File(path)))
        return error(Status::ErrInvalidData,
                     QStringLiteral("Message %1: the requested content is not in the remote copy").arg(id.toULongLong()),
                     QMailAccountId(), id);
    if (!QMailStore::instance()->updateMessage(&stored))
        return storeFailure(QStringLiteral("Storing retrieved content"));
    return Status();
}

} // namespace QmfStandIn
