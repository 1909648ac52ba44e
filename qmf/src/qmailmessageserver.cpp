#include "qmailmessageserver.h"
#include "qmailmessageserver_p.h"
#include "qmailserviceaction_p.h"
#include "qmailstore.h"
#include "qmailstorecontrol.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QTimer>
#include <QtDebug>

#include <algorithm>

namespace QmfStandIn {

namespace {

// Set while the singleton exists; actions outliving it at process exit find it gone.
MessageServerPrivate *s_server = nullptr;

const QString &messageServerName()
{
    static const QString name = QStringLiteral("org.qt.messageserver");
    return name;
}

const QString &cancelledText()
{
    static const QString text = QStringLiteral("Cancelled by user");
    return text;
}

QMailServiceAction::Status errorStatus(QMailServiceAction::Status::ErrorCode code, const QString &text)
{
    return QMailServiceAction::Status(code, text, QMailAccountId(), QMailFolderId(), QMailMessageId());
}

} // namespace

// --- MessageServerPrivate: bookkeeping ------------------------------------------------

MessageServerPrivate::MessageServerPrivate(MessageServer *server)
    : q(server)
{
}

MessageServerPrivate *MessageServerPrivate::instance()
{
    static bool created = false;
    if (!created) {
        created = true;
        MessageServer::instance();
    }
    return s_server;
}

void MessageServerPrivate::registerAction(QMailServiceAction *action)
{
    actions.append(action);
}

void MessageServerPrivate::unregisterAction(QMailServiceAction *action)
{
    actions.removeAll(action);
}

int MessageServerPrivate::indexOfRequest(quint64 requestId) const
{
    for (int i = requests.size() - 1; i >= 0; --i) {
        if (requests.at(i).id == requestId)
            return i;
    }
    return -1;
}

QMailServiceActionPrivate *MessageServerPrivate::runningActionPrivate(quint64 requestId) const
{
    if (!running.contains(requestId))
        return nullptr;
    const int index = indexOfRequest(requestId);
    if (index < 0 || !requests.at(index).action)
        return nullptr;
    QMailServiceActionPrivate *action = QMailServiceActionPrivate::get(requests.at(index).action.data());
    return action->requestId() == requestId ? action : nullptr;
}

bool MessageServerPrivate::isRunning(quint64 requestId, quint64 requestEpoch) const
{
    return requestEpoch == epoch && runningActionPrivate(requestId);
}

// --- MessageServerPrivate: requests ----------------------------------------------------

Request MessageServerPrivate::record(QMailServiceAction *action, QMailServerRequestType type, const QString &call,
                                     const QVariantList &arguments)
{
    Request request;
    request.id = ++lastRequestId;
    request.action = action;
    request.type = type;
    request.call = call;
    request.arguments = arguments;
    requests.append(request);
    running.append(request.id);
    return request;
}

void MessageServerPrivate::announce(quint64 requestId, bool local)
{
    const int index = indexOfRequest(requestId);
    if (index < 0)
        return;
    const Request request = requests.at(index);
    emit q->requestReceived(request);
    if (local)
        return;

    if (!QMailStore::instance()->isIpcConnectionEstablished()) {
        const quint64 requestEpoch = epoch;
        QTimer::singleShot(0, q, [this, requestId, requestEpoch] {
            if (QMailServiceActionPrivate *action = isRunning(requestId, requestEpoch) ? runningActionPrivate(requestId) : nullptr)
                action->fail(errorStatus(QMailServiceAction::Status::ErrInternalServer,
                                         QStringLiteral("No connection to the message server")));
        });
        return;
    }
    if (mode == MessageServer::Automatic)
        startAutomatic(request);
}

void MessageServerPrivate::requestEnded(quint64 requestId, QMailServiceAction::Activity outcome)
{
    running.removeAll(requestId);
    const int index = indexOfRequest(requestId);
    if (index >= 0)
        emit q->requestFinished(requests.at(index));
    if (mode != MessageServer::Automatic)
        return;
    const auto entry = std::find_if(observed.begin(), observed.end(),
                                    [requestId](const ObservedAction &a) { return a.id == requestId; });
    if (entry == observed.end())
        return;
    entry->activity = outcome;
    const QList<QPointer<QMailActionInfo> > infos = infosOf(requestId);
    for (const QPointer<QMailActionInfo> &info : infos) {
        if (info)
            QMailServiceActionPrivate::get(info.data())->setActivity(outcome);
    }
    removeObservedLater(requestId);
}

void MessageServerPrivate::cancelRequested(QMailServiceAction *action)
{
    // An info object stands for a server action: cancelling it cancels that request.
    if (QMailActionInfo *info = qobject_cast<QMailActionInfo *>(action)) {
        if (runningActionPrivate(info->id()))
            return cancelRequested(requests.at(indexOfRequest(info->id())).action.data());
        cancellations.append(action);
        return;
    }
    cancellations.append(action);
    if (!answerCancellations)
        return;
    const quint64 requestId = QMailServiceActionPrivate::get(action)->requestId();
    const quint64 requestEpoch = epoch;
    QTimer::singleShot(0, q, [this, requestId, requestEpoch] {
        if (isRunning(requestId, requestEpoch))
            runningActionPrivate(requestId)->fail(
                    errorStatus(QMailServiceAction::Status::ErrCancel, cancelledText()));
    });
}

// --- MessageServer ---------------------------------------------------------------------

MessageServer::MessageServer()
    : d(new MessageServerPrivate(this))
{
    s_server = d.data();
    qmfRegisterServiceActionTypes();
    joinSessionBus();
}

MessageServer::~MessageServer()
{
    s_server = nullptr;
}

MessageServer *MessageServer::instance()
{
    static MessageServer server;
    return &server;
}

void MessageServer::reset()
{
    ++d->epoch;
    d->mode = Scripted;
    d->delay = 0;
    d->lastRequestId = 0;
    d->requests.clear();
    d->running.clear();
    d->answerCancellations = true;
    d->cancellations.clear();
    d->observed.clear();
    d->remoteMailboxes.clear();
    d->remoteFiles.clear();
    d->importedFiles.clear();
    for (QMailServiceAction *action : qAsConst(d->actions))
        QMailServiceActionPrivate::get(action)->forgetRequest();
    QmfStandIn::setIpcConnectionEstablished(true);
    joinSessionBus();
}

void MessageServer::joinSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || isOnSessionBus())
        return;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus.interface()->registerService(
            messageServerName(), QDBusConnectionInterface::QueueService, QDBusConnectionInterface::AllowReplacement);
    if (!reply.isValid())
        qWarning() << "QmfStandIn::MessageServer: cannot take the message server's bus name:" << reply.error().message();
}

void MessageServer::leaveSessionBus()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.interface()->unregisterService(messageServerName());
}

bool MessageServer::isOnSessionBus() const
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->serviceOwner(messageServerName()).value() == bus.baseService();
}

void MessageServer::setMode(Mode mode)
{
    d->mode = mode;
}

MessageServer::Mode MessageServer::mode() const
{
    return d->mode;
}

void MessageServer::setAutomaticDelay(int milliseconds)
{
    d->delay = qMax(0, milliseconds);
}

int MessageServer::automaticDelay() const
{
    return d->delay;
}

QList<Request> MessageServer::requests() const
{
    return d->requests;
}

QList<Request> MessageServer::runningRequests() const
{
    QList<Request> result;
    for (const Request &request : qAsConst(d->requests)) {
        if (d->running.contains(request.id))
            result.append(request);
    }
    return result;
}

Request MessageServer::lastRequest() const
{
    return d->requests.isEmpty() ? Request() : d->requests.last();
}

Request MessageServer::runningRequest(QMailServiceAction *action) const
{
    if (!action || !QMailServiceActionPrivate::get(action)->isRunning())
        return Request();
    const int index = d->indexOfRequest(QMailServiceActionPrivate::get(action)->requestId());
    return index < 0 ? Request() : d->requests.at(index);
}

int MessageServer::requestCount() const
{
    return d->requests.size();
}

namespace {

QMailServiceActionPrivate *runningState(QMailServiceAction *action, const char *what)
{
    if (!action || !QMailServiceActionPrivate::get(action)->isRunning()) {
        qWarning("QmfStandIn::MessageServer::%s: the action has no running request", what);
        return nullptr;
    }
    return QMailServiceActionPrivate::get(action);
}

} // namespace

void MessageServer::setConnectivity(QMailServiceAction *action, QMailServiceAction::Connectivity connectivity)
{
    if (QMailServiceActionPrivate *state = runningState(action, "setConnectivity"))
        state->setConnectivity(connectivity);
}

void MessageServer::setActivity(QMailServiceAction *action, QMailServiceAction::Activity activity)
{
    if (QMailServiceActionPrivate *state = runningState(action, "setActivity"))
        state->setActivity(activity);
}

void MessageServer::setProgress(QMailServiceAction *action, uint value, uint total)
{
    if (QMailServiceActionPrivate *state = runningState(action, "setProgress"))
        state->setProgress(value, total);
}

void MessageServer::setStatus(QMailServiceAction *action, const QMailServiceAction::Status &status)
{
    if (QMailServiceActionPrivate *state = runningState(action, "setStatus"))
        state->setStatus(status);
}

void MessageServer::succeed(QMailServiceAction *action)
{
    if (QMailServiceActionPrivate *state = runningState(action, "succeed"))
        state->setActivity(QMailServiceAction::Successful);
}

void MessageServer::fail(QMailServiceAction *action, QMailServiceAction::Status::ErrorCode code, const QString &text)
{
    if (QMailServiceActionPrivate *state = runningState(action, "fail"))
        state->fail(errorStatus(code, text));
}

void MessageServer::reportTransmitted(QMailTransmitAction *action, const QMailMessageIdList &ids)
{
    if (QMailServiceActionPrivate *state = runningState(action, "reportTransmitted"))
        state->emitMessagesTransmitted(ids);
}

void MessageServer::reportFailedTransmission(QMailTransmitAction *action, const QMailMessageIdList &ids,
                                             QMailServiceAction::Status::ErrorCode code)
{
    if (QMailServiceActionPrivate *state = runningState(action, "reportFailedTransmission"))
        state->emitMessagesFailedTransmission(ids, code);
}

void MessageServer::setMessagesAdded(QMailStorageAction *action, const QMailMessageIdList &ids)
{
    if (QMailServiceActionPrivate *state = runningState(action, "setMessagesAdded"))
        state->setMessagesAdded(ids);
}

void MessageServer::setAnswerCancellations(bool answer)
{
    d->answerCancellations = answer;
}

bool MessageServer::answersCancellations() const
{
    return d->answerCancellations;
}

void MessageServer::answerCancellation(QMailServiceAction *action)
{
    if (QMailServiceActionPrivate *state = runningState(action, "answerCancellation"))
        state->fail(errorStatus(QMailServiceAction::Status::ErrCancel, cancelledText()));
}

QList<QPointer<QMailServiceAction> > MessageServer::cancellationRequests() const
{
    return d->cancellations;
}

void MessageServer::dropIpcConnection()
{
    QmfStandIn::setIpcConnectionEstablished(false);
    const QList<quint64> running = d->running;
    const quint64 requestEpoch = d->epoch;
    for (quint64 requestId : running) {
        if (!d->isRunning(requestId, requestEpoch))
            continue;
        d->runningActionPrivate(requestId)->fail(errorStatus(
                QMailServiceAction::Status::ErrInternalServer,
                QStringLiteral("Connection to the message server was lost")));
    }
}

void MessageServer::establishIpcConnection()
{
    QmfStandIn::setIpcConnectionEstablished(true);
}

bool MessageServer::isIpcConnectionEstablished() const
{
    return QMailStore::instance()->isIpcConnectionEstablished();
}

void MessageServer::setRemoteMailbox(const QMailAccountId &account, const QString &directory)
{
    if (directory.isEmpty())
        d->remoteMailboxes.remove(account);
    else
        d->remoteMailboxes.insert(account, directory);
}

QString MessageServer::remoteMailbox(const QMailAccountId &account) const
{
    return d->remoteMailboxes.value(account);
}

QString MessageServer::remoteFileOf(const QMailMessageId &id) const
{
    return d->remoteFiles.value(id);
}

} // namespace QmfStandIn
