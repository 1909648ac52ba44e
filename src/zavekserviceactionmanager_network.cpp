// Connectivity, the network session and its idle timer, and the observation of the
// service actions that all clients run.

#include "zavekserviceactionmanager.h"
#include "zavekserviceactionmanager_p.h"

#include "zavekglobal.h"
#include "zaveknetwork.h"
#include "zaveksettings.h"

#include <qmailstore.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDebug>
#include <QTimer>

namespace {

// The session's error signal carries the bearer layer's own enum, so ENFORCE would log the
// layer's spelling; this logs the established text for the same check.
void enforceAs(bool succeeded, const char *text)
{
    if (!succeeded)
        qWarning("ENFORCE failed: \"%s\"", text);
    Q_ASSERT_X(succeeded, "ENFORCE", text);
}

} // namespace

// ---- connectivity ----

bool ZavekServiceActionManager::isOnline() const
{
    // Read on every call so that a change of the option takes effect at once.
    return networkConfig->isOnline() || !ZavekSettings::instance()->useConnectivityManager();
}

void ZavekServiceActionManager::goOnline(ZavekNetworkConfigurationManager *manager)
{
    static const char signature[] = "void ZavekServiceActionManager::goOnline(QNetworkConfigurationManager*)";
    qWarning() << signature;
    Q_ASSERT_X(manager, "goOnline", "manager");
    Q_ASSERT_X(!networkSession, "goOnline", "!networkSession");
    if (!manager || networkSession)
        return;

    ZavekNetworkConfiguration configuration = manager->defaultConfiguration();
    if (!configuration.isValid()) {
        qWarning() << signature << "default configuration is not valid. Looking for any other:";
        // The last valid configuration wins.
        const QList<ZavekNetworkConfiguration> all = manager->allConfigurations();
        for (const ZavekNetworkConfiguration &candidate : all) {
            if (candidate.isValid())
                configuration = candidate;
        }
        if (!configuration.isValid()) {
            qWarning() << signature << "No valid configuration found. Giving up.";
            return;
        }
    }
    if (!(manager->capabilities() & ZavekNetworkConfigurationManager::CanStartAndStopInterfaces)) {
        qWarning() << signature << "CANNOT start/stop interfaces. Giving up.";
        return;
    }

    networkSession = manager->createSession(configuration, nullptr);
    enforceAs(connect(networkSession, SIGNAL(error(ZavekNetworkSession::SessionError)), this, SLOT(releaseNetworkSession())),
              "connect(networkSession, SIGNAL(error(QNetworkSession::SessionError)), this, SLOT(releaseNetworkSession()))");
    ENFORCE(connect(networkSession, SIGNAL(closed()), this, SLOT(releaseNetworkSession())));
    ENFORCE(connect(networkSessionIdleTimer, SIGNAL(timeout()), this, SLOT(goOffline())));
    networkSession->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant(connectInBackground));
    networkSession->open();
}

void ZavekServiceActionManager::goOffline()
{
    if (networkSession)
        networkSession->close();
}

void ZavekServiceActionManager::releaseNetworkSession()
{
    Q_ASSERT_X(networkSession, "releaseNetworkSession", "networkSession");
    if (!networkSession)
        return;
    enforceAs(disconnect(networkSession, SIGNAL(error(ZavekNetworkSession::SessionError)), this, SLOT(releaseNetworkSession())),
              "disconnect(networkSession, SIGNAL(error(QNetworkSession::SessionError)), this, SLOT(releaseNetworkSession()))");
    ENFORCE(disconnect(networkSession, SIGNAL(closed()), this, SLOT(releaseNetworkSession())));
    ENFORCE(disconnect(networkSessionIdleTimer, SIGNAL(timeout()), this, SLOT(goOffline())));
    networkSession->deleteLater();
    networkSession = nullptr;
}

void ZavekServiceActionManager::onOnlineStateChanged(bool isOnline)
{
    if (!isOnline)
        return;
    // With the connectivity manager off the device counts as online all along, so this is
    // news only to an operation that still waits (for the store): it is tried again.
    if (!ZavekSettings::instance()->useConnectivityManager()) {
        if (!current.isNull())
            executeCurrent();
        return;
    }
    if (current.isNull())
        current = getNext();
    if (current.isNull()) {
        qWarning() << "void ZavekServiceActionManager::onOnlineStateChanged(bool)"
                   << "we went online, but there is nothing to do..";
        return;
    }
    executeCurrent();
}

void ZavekServiceActionManager::onIpcConnectionEstablished()
{
    observerAction->listActionsRequest();
    if (!waitingForIpc)
        return;
    waitingForIpc = false;
    if (current.isNull())
        current = getNext();
    if (current.isNull()) {
        qWarning() << "void ZavekServiceActionManager::onIpcConnectionEstablished()"
                   << "ipc is established, but there is nothing to do.";
        return;
    }
    executeCurrent();
}

// ---- the message server's presence ----

// The real client library never reports what a message server that dies was running: its
// requests, and any sent while it is gone, stay pending for good, and the queue with them.
// The server's name leaving the session bus is the sign that it is gone.
void ZavekServiceActionManager::watchMessageServer()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return; // no session bus, so no message server on it that could go away
    const QString name = QStringLiteral("org.qt.messageserver");
    messageServerWatcher = new QDBusServiceWatcher(name, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    // One signal for every change: a handover from one owner straight to the next comes
    // without the registered and unregistered signals, and ends the old server's runs too.
    ENFORCE(connect(messageServerWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                    [this](const QString &, const QString &oldOwner, const QString &newOwner) {
                        if (!oldOwner.isEmpty())
                            onMessageServerUnregistered();
                        if (!newOwner.isEmpty())
                            onMessageServerRegistered();
                    }));
    // Asked after the watch is in place, so that an arrival in between is not missed. A
    // server that is not there yet (still starting, or being restarted after a crash) would
    // never answer what is sent to it.
    const QDBusReply<bool> registered = bus.interface()->isServiceRegistered(name);
    if (registered.isValid() && !registered.value()) {
        messageServerGone = true;
        qWarning() << "void ZavekServiceActionManager::watchMessageServer()"
                   << "the message server is not on the session bus: nothing starts until it is there";
    }
}

void ZavekServiceActionManager::onMessageServerUnregistered()
{
    static const char signature[] = "void ZavekServiceActionManager::onMessageServerUnregistered()";
    if (messageServerGone)
        return;
    messageServerGone = true;
    qWarning() << signature << "the message server left the session bus: its running operation fails,"
               << "and nothing starts until it is back";

    // A shared action whose request was lost stays busy for good: fresh ones take over.
    renewIfStuck(retrievalAction);
    renewIfStuck(transmitAction);
    renewIfStuck(storageAction);
    // Nothing runs on a server that is gone; a new one sends its own list.
    onActionsChanged(QList<QSharedPointer<QMailActionInfo> >());

    const ActionPointer lost = current; // current moves on below
    if (lost.isNull() || !lost->_started)
        return;
    if (lost->_preempted) {
        // Its interruption is complete: it runs again, under its serial, once the server is back.
        requeuePreempted(lost);
        return;
    }
    QMailServiceAction::Status status;
    status.errorCode = QMailServiceAction::Status::ErrInternalServer;
    status.text = QStringLiteral("The message server stopped before the operation ended");
    // The run is over: a request that a receiver of this report makes must not interrupt it,
    // or it would be queued again as started and never run, holding up the queue behind it.
    lost->_cancelRequested = true;
    emit statusChanged(lost->_serial, status);
    finishCurrent(QMailServiceAction::Failed, status);
}

void ZavekServiceActionManager::onMessageServerRegistered()
{
    observerAction->listActionsRequest();
    if (!messageServerGone)
        return;
    messageServerGone = false;
    qWarning() << "void ZavekServiceActionManager::onMessageServerRegistered()"
               << "the message server is back: the queue goes on";
    if (current.isNull())
        current = getNext();
    if (!current.isNull())
        executeCurrent();
}

template <typename ServiceAction>
void ZavekServiceActionManager::renewIfStuck(ServiceAction *&action)
{
    if (!action->isRunning())
        return;
    ServiceAction *stuck = action;
    action = new ServiceAction(this);
    wireServiceAction(action);
    if (!current.isNull() && current->_serviceAction == stuck)
        current->_serviceAction = action;
    queue->forEach([stuck, action](const ActionPointer &queued) {
        if (queued->_serviceAction == stuck)
            queued->_serviceAction = action;
    });
    // Whatever the old action still hears must not reach the scheduler.
    disconnect(stuck, nullptr, this, nullptr);
    stuck->cancelOperation();
    stuck->deleteLater();
}

int ZavekServiceActionManager::networkSessionIdleInterval() const
{
    return idleInterval;
}

void ZavekServiceActionManager::setNetworkSessionIdleInterval(int msec)
{
    idleInterval = qMax(0, msec);
}

int ZavekServiceActionManager::networkSessionIdleRemaining() const
{
    return networkSessionIdleTimer->isActive() ? networkSessionIdleTimer->remainingTime() : -1;
}

bool ZavekServiceActionManager::hasOwnWork() const
{
    return !current.isNull() || !queue->isEmpty();
}

void ZavekServiceActionManager::startIdleCountdownIfIdle()
{
    // Our own queued or waiting work still needs the session, even if nothing runs now.
    // Qt restarts a running timer whose interval is set, so a running countdown is
    // left alone entirely.
    if (currentActivity == Idle && networkSession && !hasOwnWork() && !networkSessionIdleTimer->isActive()) {
        networkSessionIdleTimer->setInterval(idleInterval);
        networkSessionIdleTimer->start();
    }
}

// ---- observation ----

ZavekServiceActionManager::Activity ZavekServiceActionManager::activity() const
{
    return currentActivity;
}

QMailServerRequestType ZavekServiceActionManager::lastObservedRequestType() const
{
    return lastRequestType;
}

QMailServiceAction::Status::ErrorCode ZavekServiceActionManager::lastObservedStatusErrorCode() const
{
    return lastStatusErrorCode;
}

int ZavekServiceActionManager::liveStorageActionCount() const
{
    return storageActionCount;
}

void ZavekServiceActionManager::onActionsChanged(const QList<QSharedPointer<QMailActionInfo> > &actions)
{
    for (const QSharedPointer<QMailActionInfo> &actionInfo : qAsConst(observedActions)) {
        if (actionInfo.isNull())
            continue;
        ENFORCE(disconnect(actionInfo.data(), SIGNAL(statusChanged(QMailServiceAction::Status)), this, SLOT(onStatusChanged(QMailServiceAction::Status))));
    }

    if (actions.isEmpty()) {
        currentActivity = Idle;
        startIdleCountdownIfIdle();
    } else {
        for (const QSharedPointer<QMailActionInfo> &actionInfo : actions) {
            if (actionInfo.isNull())
                continue;
            ENFORCE(connect(actionInfo.data(), SIGNAL(statusChanged(QMailServiceAction::Status)), this, SLOT(onStatusChanged(QMailServiceAction::Status))));
        }
        currentActivity = Busy;
        const QSharedPointer<QMailActionInfo> &first = actions.first();
        if (first.isNull()) {
            qWarning() << "Null QMailActionInfo";
        } else {
            lastRequestType = first->requestType();
            lastStatusErrorCode = first->statusErrorCode();
        }
        // Something runs again, so the session is not idle.
        networkSessionIdleTimer->stop();
    }

    observedActions = actions;
    emit serviceActivityChanged(currentActivity);
}

void ZavekServiceActionManager::onStatusChanged(const QMailServiceAction::Status &status)
{
    Q_UNUSED(status);
    const QMailActionInfo *actionInfo = qobject_cast<const QMailActionInfo *>(sender());
    Q_ASSERT_X(actionInfo, "onStatusChanged", "actionInfo");
    if (actionInfo)
        emit serviceStatusChanged(actionInfo);
}

QMailStorageAction *ZavekServiceActionManager::newStorageAction()
{
    ++storageActionCount;
    QMailStorageAction *action = new QMailStorageAction(nullptr);
    ENFORCE(connect(action, SIGNAL(destroyed()), this, SLOT(onStorageActionDestroyed())));
    return action;
}

void ZavekServiceActionManager::onStorageActionDestroyed()
{
    --storageActionCount;
}
