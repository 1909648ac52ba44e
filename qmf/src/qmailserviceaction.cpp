#include "qmailserviceaction.h"
#include "qmailmessageserver_p.h"
#include "qmailserviceaction_p.h"

#include <QPointer>
#include <QtDebug>

QMailServiceAction::Status::Status()
    : errorCode(ErrNoError)
{
}

QMailServiceAction::Status::Status(ErrorCode code, const QString &text, const QMailAccountId &accountId,
                                   const QMailFolderId &folderId, const QMailMessageId &messageId)
    : errorCode(code), text(text), accountId(accountId), folderId(folderId), messageId(messageId)
{
}

QMailServiceAction::Status::Status(const Status &other) = default;

namespace {

template <typename T>
void registerEquality()
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Other units of the layer may have registered it already; Qt warns on a second time.
    if (!QMetaType::hasRegisteredComparators<T>())
        QMetaType::registerEqualsComparator<T>();
#else
    // Qt 6 compares a registered type through its operator== by itself.
#endif
}

} // namespace

void qmfRegisterServiceActionTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<QMailServiceAction::Connectivity>("QMailServiceAction::Connectivity");
        qRegisterMetaType<QMailServiceAction::Activity>("QMailServiceAction::Activity");
        qRegisterMetaType<QMailServiceAction::Status>("QMailServiceAction::Status");
        qRegisterMetaType<QMailServiceAction::Status::ErrorCode>("QMailServiceAction::Status::ErrorCode");
        qRegisterMetaType<QMailServiceAction::Status::ErrorCode>("QMailActionInfo::StatusErrorCode");
        qRegisterMetaType<QMailRetrievalAction::RetrievalSpecification>("QMailRetrievalAction::RetrievalSpecification");
        qRegisterMetaType<QMailServerRequestType>("QMailServerRequestType");
        qRegisterMetaType<QMailActionId>("QMailActionId");
        qRegisterMetaType<QMailMessageIdList>("QMailMessageIdList");
        qRegisterMetaType<QSharedPointer<QMailActionInfo> >("QSharedPointer<QMailActionInfo>");
        qRegisterMetaType<QList<QSharedPointer<QMailActionInfo> > >("QList<QSharedPointer<QMailActionInfo> >");
        qRegisterMetaType<QmfStandIn::Request>("QmfStandIn::Request");
        // Recorded request arguments are compared by tests through QVariant.
        registerEquality<QMailAccountId>();
        registerEquality<QMailFolderId>();
        registerEquality<QMailMessageId>();
        registerEquality<QMailMessageIdList>();
        registerEquality<QMailMessageSortKey>();
        registerEquality<QMailRetrievalAction::RetrievalSpecification>();
        return true;
    }();
    Q_UNUSED(registered);
}

// --- QMailServiceActionPrivate ---------------------------------------------------------

QMailServiceActionPrivate::QMailServiceActionPrivate(QMailServiceAction *action)
    : q(action)
{
}

QMailServiceActionPrivate::~QMailServiceActionPrivate() = default;

quint64 QMailServiceActionPrivate::beginRequest(QMailServerRequestType type, const QString &call,
                                                const QVariantList &arguments, bool local)
{
    if (m_running) {
        qWarning() << "QMailServiceAction: a request is still running; not starting" << call;
        return 0;
    }
    QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance();
    if (!server) {
        qWarning() << "QMailServiceAction: the message server is gone; not starting" << call;
        return 0;
    }
    const QmfStandIn::Request request = server->record(q, type, call, arguments);

    connectivity = QMailServiceAction::Offline;
    activity = QMailServiceAction::Pending;
    status = QMailServiceAction::Status();
    progressValue = 0;
    progressTotal = 0;
    m_running = true;
    m_requestId = request.id;
    const quint64 generation = ++m_generation;

    QPointer<QMailServiceAction> guard(q);
    emit q->activityChanged(QMailServiceAction::Pending);
    // A slot may have deleted the action or reset the server; the request still exists
    // in the record, so announce it only while it belongs to this action.
    if (guard && m_generation == generation)
        server->announce(request.id, local);
    return request.id;
}

void QMailServiceActionPrivate::completeLocally(const QMailServiceAction::Status &finalStatus,
                                                QMailServiceAction::Activity outcome)
{
    if (outcome == QMailServiceAction::Failed)
        fail(finalStatus);
    else
        update(nullptr, &outcome, nullptr, &finalStatus);
}

void QMailServiceActionPrivate::setProgress(uint value, uint total)
{
    const QPair<uint, uint> progress(qMin(value, total), total);
    update(nullptr, nullptr, &progress, nullptr);
}

void QMailServiceActionPrivate::fail(const QMailServiceAction::Status &failure)
{
    const quint64 generation = m_generation;
    QPointer<QMailServiceAction> guard(q);
    update(nullptr, nullptr, nullptr, &failure);
    if (!guard || m_generation != generation)
        return;
    const QMailServiceAction::Activity failed = QMailServiceAction::Failed;
    update(nullptr, &failed, nullptr, nullptr);
}

void QMailServiceActionPrivate::update(const QMailServiceAction::Connectivity *newConnectivity,
                                       const QMailServiceAction::Activity *newActivity,
                                       const QPair<uint, uint> *newProgress,
                                       const QMailServiceAction::Status *newStatus)
{
    const bool connectivityChanged = newConnectivity && *newConnectivity != connectivity;
    const bool activityChanged = newActivity && *newActivity != activity;
    const bool progressChanged = newProgress
            && (newProgress->first != progressValue || newProgress->second != progressTotal);

    if (connectivityChanged)
        connectivity = *newConnectivity;
    if (activityChanged)
        activity = *newActivity;
    if (progressChanged) {
        progressValue = newProgress->first;
        progressTotal = newProgress->second;
    }
    if (newStatus)
        status = *newStatus;

    // Slots may start a new request on this action or delete it; the rest of this
    // report then belongs to nobody.
    const quint64 generation = m_generation;
    QPointer<QMailServiceAction> guard(q);
    const auto stillOurs = [&] { return guard && m_generation == generation; };

    const bool finished = activityChanged
            && (activity == QMailServiceAction::Successful || activity == QMailServiceAction::Failed);
    if (finished && m_running) {
        const quint64 endedRequest = m_requestId;
        m_running = false;
        m_requestId = 0;
        if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
            server->requestEnded(endedRequest, activity);
    }

    if (connectivityChanged && stillOurs())
        emit q->connectivityChanged(connectivity);
    if (activityChanged && stillOurs())
        emit q->activityChanged(activity);
    if (progressChanged && stillOurs())
        emit q->progressChanged(progressValue, progressTotal);
    if (newStatus && stillOurs())
        emit q->statusChanged(status);
}

void QMailServiceActionPrivate::forgetRequest()
{
    m_running = false;
    m_requestId = 0;
    ++m_generation;
}

void QMailServiceActionPrivate::setMessagesAdded(const QMailMessageIdList &ids)
{
    if (QMailStorageAction *storage = qobject_cast<QMailStorageAction *>(q))
        storage->m_messagesAdded = ids;
}

void QMailServiceActionPrivate::emitMessagesTransmitted(const QMailMessageIdList &ids)
{
    if (QMailTransmitAction *transmit = qobject_cast<QMailTransmitAction *>(q))
        emit transmit->messagesTransmitted(ids);
}

void QMailServiceActionPrivate::emitMessagesFailedTransmission(const QMailMessageIdList &ids,
                                                               QMailServiceAction::Status::ErrorCode code)
{
    if (QMailTransmitAction *transmit = qobject_cast<QMailTransmitAction *>(q))
        emit transmit->messagesFailedTransmission(ids, code);
}

void QMailServiceActionPrivate::setObservedActions(const QList<QSharedPointer<QMailActionInfo> > &actions)
{
    QMailActionObserver *observer = qobject_cast<QMailActionObserver *>(q);
    if (!observer)
        return;
    observer->m_actions = actions;
    observer->m_ready = true;
    emit observer->actionsChanged(observer->m_actions);
}

QMailActionInfo *QMailServiceActionPrivate::createInfo(QMailActionId id, QMailServerRequestType type)
{
    return new QMailActionInfo(id, type);
}

bool QMailServiceActionPrivate::observerReady() const
{
    const QMailActionObserver *observer = qobject_cast<const QMailActionObserver *>(q);
    return observer && observer->m_ready;
}

// --- QMailServiceAction ----------------------------------------------------------------

QMailServiceAction::QMailServiceAction(QObject *parent)
    : QObject(parent), d(new QMailServiceActionPrivate(this))
{
    qmfRegisterServiceActionTypes();
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->registerAction(this);
}

QMailServiceAction::~QMailServiceAction()
{
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->unregisterAction(this);
}

QMailServiceAction::Connectivity QMailServiceAction::connectivity() const
{
    return d->connectivity;
}

QMailServiceAction::Activity QMailServiceAction::activity() const
{
    return d->activity;
}

const QMailServiceAction::Status QMailServiceAction::status() const
{
    return d->status;
}

QPair<uint, uint> QMailServiceAction::progress() const
{
    return qMakePair(d->progressValue, d->progressTotal);
}

bool QMailServiceAction::isRunning() const
{
    return d->isRunning();
}

void QMailServiceAction::cancelOperation()
{
    // The real library asserts here; a warning keeps a stray cancel from taking the
    // application down.
    if (!d->isRunning()) {
        qWarning() << "QMailServiceAction::cancelOperation(): no running request to cancel";
        return;
    }
    if (QmfStandIn::MessageServerPrivate *server = QmfStandIn::MessageServerPrivate::instance())
        server->cancelRequested(this);
}
