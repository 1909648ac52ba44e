// The manager itself: construction, the registry and caches, the queue and its scheduler,
// cancellation, the completion path and the status and progress relays.

#include "zavekserviceactionmanager.h"
#include "zavekserviceactionmanager_caches_p.h"
#include "zavekserviceactionmanager_p.h"

#include "zavekglobal.h"
#include "zaveknetwork.h"

#include <qmailstore.h>

#include <QDebug>
#include <QTimer>

#include <utility>

using namespace ZavekServiceActionManagerPrivate;

namespace {

ZavekServiceActionManager *testInstance = nullptr;

// Restarts after internal-state resets in a row before the operation is given up.
const int MaximumResetRestarts = 3;

// The empty status that goes with Pending; built once, as it is announced at every request.
const QMailServiceAction::Status &noStatus()
{
    static const QMailServiceAction::Status status;
    return status;
}

// Whether @p candidate equals @p request, an operation equal by its part key @p requestKey
// (_equalByPartKey): as equal as their descriptions would be, without building them.
bool isEqualByPartKey(const ZavekServiceActionManager::Action &candidate,
                      const ZavekServiceActionManager::Action &request, const QString &requestKey)
{
    return candidate._equalByPartKey && request._equalByPartKey && candidate._partKeyHash == request._partKeyHash
        && PartLocationKey::carries(candidate, requestKey);
}

// The queued part retrieval equal to @p action, found under its part key in the part cache,
// whose slot the request's own entry touches next, rather than in a description index of its
// own. At most one is queued: every later equal request merges into it.
ActionPointer queuedEqualByPartKey(const ActionQueue &queue, const OperationCaches &caches,
                                   const ZavekServiceActionManager::Action &action, const QString &key)
{
    ActionPointer equal;
    caches.findPartSerial(key, action._partKeyHash, [&](uint serial) {
        // Range retrievals of the part are entered under the same key.
        ActionPointer queued = queue.find(serial);
        if (queued.isNull() || !isEqualByPartKey(*queued, action, key))
            return false;
        equal = std::move(queued);
        return true;
    });
    return equal;
}

void cancelAction(QMailServiceAction *action)
{
    Q_ASSERT_X(action, "cancelAction", "action");
    if (!action)
        return;
    const QMailServiceAction::Activity activity = action->activity();
    if ((activity == QMailServiceAction::Pending || activity == QMailServiceAction::InProgress) && action->isRunning())
        action->cancelOperation();
    else
        qWarning() << "void<unnamed>::cancelAction(QMailServiceAction*)"
                   << "Cannot cancel service action: not Pending or InProgress";
}

} // namespace

// ---- Action ----

ZavekServiceActionManager::Action::Action(QMailServiceAction *action, Priority priority, bool needsNetwork)
    : _serviceAction(action), _priority(priority), _needsNetwork(needsNetwork)
{
}

ZavekServiceActionManager::Action::~Action() = default;

QMailMessageId ZavekServiceActionManager::Action::messageId() const
{
    return QMailMessageId();
}

QMailMessagePartContainer::Location ZavekServiceActionManager::Action::messagePartLocation() const
{
    return QMailMessagePartContainer::Location();
}

QDataStream &operator<<(QDataStream &stream, ZavekServiceActionManager::Activity activity)
{
    return stream << qint32(activity);
}

QDataStream &operator>>(QDataStream &stream, ZavekServiceActionManager::Activity &activity)
{
    qint32 value = 0;
    stream >> value;
    activity = static_cast<ZavekServiceActionManager::Activity>(value);
    return stream;
}

// ---- construction ----

ZavekServiceActionManager *ZavekServiceActionManager::instance()
{
    if (testInstance)
        return testInstance;
    static ZavekServiceActionManager manager;
    return &manager;
}

void ZavekServiceActionManager::setTestInstance(ZavekServiceActionManager *manager)
{
    testInstance = manager;
}

ZavekServiceActionManager::ZavekServiceActionManager(ZavekNetworkConfigurationManager *networkConfigurationManager,
                                                     QObject *parent)
    : QObject(parent)
    , queue(new ActionQueue)
    , caches(new OperationCaches)
{
    networkConfig = networkConfigurationManager ? networkConfigurationManager
                                                : ZavekNetworkConfigurationManager::create(this);
    if (!networkConfig->parent())
        networkConfig->setParent(this);
    networkSessionIdleTimer = new QTimer(this);

    qRegisterMetaType<ZavekServiceActionManager::Serial>("ZavekServiceActionManager::Serial");
    qRegisterMetaType<ZavekServiceActionManager::Activity>("ZavekServiceActionManager::Activity");
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // Qt 6 finds the stream operators by itself.
    qRegisterMetaTypeStreamOperators<ZavekServiceActionManager::Activity>("ZavekServiceActionManager::Activity");
#endif

    retrievalAction = new QMailRetrievalAction(this);
    transmitAction = new QMailTransmitAction(this);
    storageAction = new QMailStorageAction(this);
    observerAction = new QMailActionObserver(this);

    const QList<QMailServiceAction *> sharedActions{retrievalAction, transmitAction, storageAction};
    for (QMailServiceAction *action : sharedActions)
        wireServiceAction(action);
    ENFORCE(connect(networkConfig, SIGNAL(onlineStateChanged(bool)), this, SLOT(onOnlineStateChanged(bool))));
    ENFORCE(connect(QMailStore::instance(), SIGNAL(ipcConnectionEstablished()), this, SLOT(onIpcConnectionEstablished())));
    ENFORCE(connect(observerAction, SIGNAL(actionsChanged(QList<QSharedPointer<QMailActionInfo> >)), this, SLOT(onActionsChanged(QList<QSharedPointer<QMailActionInfo> >))));

    networkSessionIdleTimer->setSingleShot(true);
    // A coarse timer may fire up to 5% early, closing a session that has not been idle for
    // the whole interval.
    networkSessionIdleTimer->setTimerType(Qt::PreciseTimer);
    watchMessageServer();
}

void ZavekServiceActionManager::wireServiceAction(QMailServiceAction *action)
{
    ENFORCE(connect(action, SIGNAL(connectivityChanged(QMailServiceAction::Connectivity)), this, SLOT(onActionConnectivityChanged(QMailServiceAction::Connectivity))));
    ENFORCE(connect(action, SIGNAL(activityChanged(QMailServiceAction::Activity)), this, SLOT(onActionActivityChanged(QMailServiceAction::Activity))));
    ENFORCE(connect(action, SIGNAL(statusChanged(QMailServiceAction::Status)), this, SLOT(onActionStatusChanged(QMailServiceAction::Status))));
    ENFORCE(connect(action, SIGNAL(progressChanged(uint, uint)), this, SLOT(onActionProgressChanged(uint, uint))));
}

ZavekServiceActionManager::~ZavekServiceActionManager()
{
    if (testInstance == this)
        testInstance = nullptr;
    // The session is not closed (the link may serve others), but its object is ours.
    delete networkSession;
    networkSession = nullptr;
}

// ---- registry ----

const ZavekServiceActionManager::OperationInfo *ZavekServiceActionManager::operationInfo(uint serial) const
{
    if (!current.isNull() && current->_serial == serial)
        return current.data();
    return queue->find(serial).data();
}

const QList<uint> &ZavekServiceActionManager::operations(const QMailMessageId &id) const
{
    static const QList<uint> NULL_OPLIST;
    const QList<uint> *found = caches->operations(id);
    return found ? *found : NULL_OPLIST;
}

const QList<uint> &ZavekServiceActionManager::operations(const QMailMessagePartContainer::Location &location) const
{
    static const QList<uint> NULL_OPLIST;
    const QList<uint> *found = caches->operations(location.toString(true));
    return found ? *found : NULL_OPLIST;
}

ZavekServiceActionManager::ActionPointer ZavekServiceActionManager::findAction(const ActionPointer &action,
                                                                            const QString &partLocationKey) const
{
    Q_ASSERT_X(!action.isNull(), "findAction", "!action.isNull()");
    if (action.isNull())
        return ActionPointer();

    // A run whose cancel is pending ends Failed: a request that joined it would end with it,
    // never run. An interrupted run is queued as well, and is found there.
    const ActionPointer joinable = current.isNull() || current->_cancelRequested ? ActionPointer() : current;
    if (action->_equalByPartKey) {
        // Equal descriptions of part retrievals are equal keys; their descriptions are not built.
        if (!joinable.isNull() && isEqualByPartKey(*joinable, *action, partLocationKey))
            return joinable;
        return queuedEqualByPartKey(*queue, *caches, *action, partLocationKey);
    }
    const QString &description = descriptionOf(*action);
    switch (action->_mergePolicy) {
    case Action::MergeNever:
        return ActionPointer();
    case Action::MergeAlways:
        if (!joinable.isNull() && descriptionOf(*joinable) == description)
            return joinable;
        return queue->findEqual(descriptionKey(*action), [](const Action &) { return true; });
    case Action::MergeUnlessStarted:
        // A started run took its snapshot already; a request must wait for the next one.
        if (!joinable.isNull() && !joinable->_started && descriptionOf(*joinable) == description)
            return joinable;
        return queue->findEqual(descriptionKey(*action), [](const Action &candidate) { return !candidate._started; });
    case Action::MergeIfLastStoreChange: {
        // Merging behind a later store change would undo the user's last change.
        ActionPointer last = queue->lastStoreChange();
        if (last.isNull() && !current.isNull() && isStoreChange(*current))
            last = joinable;
        if (!last.isNull() && descriptionOf(*last) == description)
            return last;
        return ActionPointer();
    }
    }
    return ActionPointer();
}

void ZavekServiceActionManager::removeFromCaches(Action *action)
{
    caches->remove(*action);
}

// ---- queue and scheduler ----

ZavekServiceActionManager::Serial ZavekServiceActionManager::enqueue(ActionPointer action,
                                                                     const QMailMessagePartContainer::Location &partLocation,
                                                                     const QMailMessageIdList &ids,
                                                                     const QString &partLocationKey)
{
    return enqueueFor(std::move(action), partLocation, ids, partLocationKey);
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::enqueue(ActionPointer action,
                                                                     const QMailMessagePartContainer::Location &partLocation,
                                                                     const QMailMessageId &id,
                                                                     const QString &partLocationKey)
{
    return enqueueFor(std::move(action), partLocation, id, partLocationKey);
}

template <typename IdRange>
ZavekServiceActionManager::Serial ZavekServiceActionManager::enqueueFor(ActionPointer action,
                                                                        const QMailMessagePartContainer::Location &partLocation,
                                                                        const IdRange &ids,
                                                                        const QString &partLocationKey)
{
    Q_ASSERT_X(!action.isNull(), "enqueue", "!action.isNull()");
    if (action.isNull())
        return 0;
    const QString partKey = !partLocation.isValid(true) ? QString()
        : partLocationKey.isEmpty()                     ? partLocation.toString(true)
                                                        : partLocationKey;
    const ActionPointer existing = findAction(action, partKey);

    if (networkSessionIdleTimer->isActive())
        networkSessionIdleTimer->stop();
    if (action->_needsNetwork && !isOnline() && !networkSession)
        goOnline(networkConfig);

    bool displaced = false;
    if (existing.isNull()) {
        action->_serial = nextSerial();
        if (current.isNull()) {
            current = action;
        } else {
            queue->append(action);
            if (current->_priority < action->_priority) {
                if (!current->_started) {
                    // Chosen but still waiting: it simply steps back behind the urgent work.
                    queue->prepend(current);
                    current = getNext();
                    displaced = true;
                } else if (!current->_cancelRequested) {
                    // Interrupt the run; the operation runs again later under its serial.
                    current->_preempted = true;
                    current->_cancelRequested = true;
                    queue->prepend(current);
                    cancelAction(current->_serviceAction);
                }
            }
        }
    } else {
        action = existing;
    }

    const Serial serial = action->_serial;
    caches->enter(*action, ids);
    if (!partKey.isEmpty())
        caches->enterPart(*action, partKey);

    if (existing.isNull() && current == action) {
        // Queued first and then chosen in place of a waiting one: it is told it waits too.
        if (!executeCurrent() && displaced)
            emit activityChanged(serial, QMailServiceAction::Pending, noStatus());
    } else {
        emit activityChanged(serial, QMailServiceAction::Pending, noStatus());
        // A chosen operation may still wait for a condition that has changed unannounced.
        if (!current.isNull() && !current->_started)
            executeCurrent();
    }
    return serial;
}

ZavekServiceActionManager::Serial ZavekServiceActionManager::nextSerial()
{
    // 0 names no operation, and a serial still in use keeps naming its operation, also once
    // the counter wraps.
    do
        ++lastSerial;
    while (lastSerial == 0 || operationInfo(lastSerial));
    return lastSerial;
}

void ZavekServiceActionManager::setLastSerialForTesting(Serial serial)
{
    lastSerial = serial;
}

ZavekServiceActionManager::ActionPointer ZavekServiceActionManager::getNext()
{
    return queue->takeNext();
}

bool ZavekServiceActionManager::executeCurrent()
{
    Q_ASSERT_X(!current.isNull(), "executeCurrent", "!current.isNull()");
    if (current.isNull())
        return false;
    // An operation runs at most once per request, whoever asks again.
    if (current->_started)
        return true;

    if (!QMailStore::instance()->isIpcConnectionEstablished()) {
        qWarning() << "bool ZavekServiceActionManager::executeCurrent()"
                   << "cannot exec service action due to QCopServer connection problems";
        waitingForIpc = true;
    } else {
        waitingForIpc = false;
    }
    if ((!isOnline() && current->_needsNetwork) || waitingForIpc)
        return false;
    if (messageServerGone) {
        // A request sent now would never be answered; it starts when the server is back.
        qWarning() << "bool ZavekServiceActionManager::executeCurrent()"
                   << "the message server is gone: waiting for it to return";
        return false;
    }

    // Keep the operation alive: it may complete inside its own exec().
    const ActionPointer running = current;
    running->_started = true;
    running->_preempted = false;
    running->_cancelRequested = false;
    running->exec();
    return true;
}

void ZavekServiceActionManager::onActionActivityChanged(QMailServiceAction::Activity activity)
{
    static const char signature[] =
        "void ZavekServiceActionManager::onActionActivityChanged(QMailServiceAction::Activity)";
    if (dropStrayReport(signature))
        return;

    const ActionPointer action = current;
    const QMailServiceAction::Status status = action->_serviceAction->status();

    if (activity == QMailServiceAction::Pending || activity == QMailServiceAction::InProgress) {
        if (!action->_preempted)
            emit activityChanged(action->_serial, activity, status);
        return;
    }

    if (action->_preempted) {
        if (activity == QMailServiceAction::Successful) {
            // The interrupted run got to the end after all: the work is done.
            queue->take(action->_serial);
            finishCurrent(activity, status);
        } else {
            requeuePreempted(action);
        }
        return;
    }

    if (activity == QMailServiceAction::Failed) {
        qWarning() << signature << "Action finished" << status.accountId << status.text << "error:"
                   << int(status.errorCode) << "store error:" << int(QMailStore::instance()->lastError());
    }

    // A run the caller cancelled is not restarted.
    if (status.errorCode == QMailServiceAction::Status::ErrInternalStateReset && !action->_cancelRequested) {
        if (action->_resetRestarts < MaximumResetRestarts) {
            ++action->_resetRestarts;
            qWarning() << signature << "Internal state reset: restarting current action.";
            action->_started = false;
            executeCurrent();
            return;
        }
        qWarning() << signature << "Internal state reset again: giving up the current action.";
        activity = QMailServiceAction::Failed;
    }

    finishCurrent(activity, status);
}

void ZavekServiceActionManager::finishCurrent(QMailServiceAction::Activity activity,
                                              const QMailServiceAction::Status &status)
{
    const Serial serial = current->_serial;
    removeFromCaches(current.data());
    current = getNext();
    emit activityChanged(serial, activity, status);
    // A receiver may have started the successor already; executeCurrent() will not repeat it.
    if (!current.isNull())
        executeCurrent();
    else
        // The server may have reported itself idle while this run was finishing; it will
        // not report again, so our last operation is what lets the session close.
        startIdleCountdownIfIdle();
}

void ZavekServiceActionManager::requeuePreempted(const ActionPointer &preempted)
{
    preempted->_started = false;
    preempted->_preempted = false;
    preempted->_cancelRequested = false;
    preempted->_resetRestarts = 0;
    // It waits at the head of the queue since it was interrupted: cancelling it there ends
    // the pre-emption, so a pre-empted operation is always queued.
    current = getNext();
    emit activityChanged(preempted->_serial, QMailServiceAction::Pending, noStatus());
    if (!current.isNull())
        executeCurrent();
}

// ---- cancellation ----

void ZavekServiceActionManager::cancelOperation(const Serial &serial)
{
    const Serial cancelled = serial; // the reference may point into an operation we release
    const ActionPointer queued = queue->take(cancelled);
    if (!queued.isNull())
        removeFromCaches(queued.data());
    else if (!current.isNull() && current->_serial == cancelled)
        removeFromCaches(current.data());

    if (current.isNull() || current->_serial != cancelled) {
        reportCancelled(cancelled);
        return;
    }
    if (!current->_started) {
        // Chosen but waiting: nothing runs yet, so it ends here like a queued one.
        current = getNext();
        reportCancelled(cancelled);
        if (!current.isNull())
            executeCurrent();
        return;
    }
    // The service action is asked every time, also when a pre-emption or an earlier cancel
    // asked already; after a pre-emption the end of the interrupted run is now final.
    current->_preempted = false;
    current->_cancelRequested = true;
    cancelAction(current->_serviceAction);
}

void ZavekServiceActionManager::reportCancelled(Serial serial)
{
    static const QMailServiceAction::Status status = [] {
        QMailServiceAction::Status cancelled;
        cancelled.errorCode = QMailServiceAction::Status::ErrCancel;
        return cancelled;
    }();
    emit statusChanged(serial, status);
    emit activityChanged(serial, QMailServiceAction::Failed, status);
    startIdleCountdownIfIdle();
}

void ZavekServiceActionManager::dequeue(ActionPointer action)
{
    Q_ASSERT(!action.isNull());
    if (!action.isNull())
        cancelOperation(action->_serial);
}

void ZavekServiceActionManager::stop()
{
    while (!queue->isEmpty())
        cancelOperation(queue->firstSerial());
    if (!current.isNull())
        dequeue(current);
}

// ---- relays ----

bool ZavekServiceActionManager::dropStrayReport(const char *signature)
{
    if (!current.isNull() && current->_started && current->_serviceAction == sender())
        return false;
    qWarning() << signature << "report from a service action that runs no current operation: dropped";
    return true;
}

void ZavekServiceActionManager::onActionConnectivityChanged(QMailServiceAction::Connectivity connectivity)
{
    // Connectivity is judged from the bearer layer alone.
    Q_UNUSED(connectivity);
}

void ZavekServiceActionManager::onActionStatusChanged(const QMailServiceAction::Status &status)
{
    if (dropStrayReport("void ZavekServiceActionManager::onActionStatusChanged(QMailServiceAction::Status)"))
        return;
    // An interrupted run's cancellation status would tell callers the operation was cancelled.
    if (!current->_preempted)
        emit statusChanged(current->_serial, status);
}

void ZavekServiceActionManager::onActionProgressChanged(uint progress, uint total)
{
    if (dropStrayReport("void ZavekServiceActionManager::onActionProgressChanged(uint,uint)"))
        return;
    if (!current->_preempted)
        emit progressChanged(current->_serial, progress, total);
}
