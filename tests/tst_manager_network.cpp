// Connectivity, the network session with its idle timer, and the observation of the
// service actions that all clients run.

#include "managerfixture.h"

#include <QSignalSpy>
#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

namespace {
const char goOnlineSignature[] = "void ZavekServiceActionManager::goOnline(QNetworkConfigurationManager*)";

QByteArray goOnlineWarning(const char *text)
{
    return QByteArray(goOnlineSignature) + ' ' + text;
}
} // namespace

class TestManagerNetwork : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start(false);
        account = fixture.addAccount();
        // Let the observer's first (empty) answer arrive before the test begins.
        QCoreApplication::processEvents();
        fixture.log->take();
    }
    void cleanup() { fixture.finish(); }

    void withoutConnectivityManagerTheDeviceIsAlwaysOnline();
    void lastValidConfigurationIsChosenWhenTheDefaultIsInvalid();
    void noUsableConfigurationOrCapabilityMeansNoSession_data();
    void noUsableConfigurationOrCapabilityMeansNoSession();
    void waitingOperationRunsWhenTheSessionOpens();
    void comingOnlineNeverRestartsARunningOperation();
    void sessionErrorThenOnlineThroughAnotherApplication();
    void ipcConnectionAlwaysRefreshesTheObservedList();

    void idleTimerArmedByEmptyReportOnlyWithASession();
    void idleCountdownIsNotRestartedByASecondReport();
    void idleTimerStoppedByRequestsAndByBusyReports();
    void idleTimerNotArmedWhileOwnWorkWaits();
    void idleSessionIsClosedAndReleased();

    void reportsSetActivityAndRelayStatusOncePerEntry();
    void nullFirstEntryCountsAsBusy();
    void storageActionsAreCounted();

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

void TestManagerNetwork::withoutConnectivityManagerTheDeviceIsAlwaysOnline()
{
    QVERIFY(!fixture.manager->isOnline());
    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    QVERIFY(fixture.manager->isOnline());

    fixture.manager->sync(account);
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
    QVERIFY(fixture.network->sessions().isEmpty());

    // Read on every call: switching it back takes effect at once.
    ZavekSettings::instance()->setUseConnectivityManager(true, false);
    QVERIFY(!fixture.manager->isOnline());
}

void TestManagerNetwork::lastValidConfigurationIsChosenWhenTheDefaultIsInvalid()
{
    const ZavekNetworkConfiguration a(QStringLiteral("a"), QStringLiteral("A"));
    const ZavekNetworkConfiguration b(QStringLiteral("b"), QStringLiteral("B"), false);
    const ZavekNetworkConfiguration c(QStringLiteral("c"), QStringLiteral("C"));
    fixture.network->setConfigurations({a, b, c});
    fixture.network->setDefaultConfiguration(ZavekNetworkConfiguration());

    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    QTest::ignoreMessage(QtWarningMsg, goOnlineWarning("default configuration is not valid. Looking for any other:").constData());
    fixture.manager->retrieveMessagePart(fixture.part(1, 1));

    QCOMPARE(fixture.network->sessions().size(), 1);
    ZavekScriptedNetworkSession *session = fixture.network->lastSession();
    QCOMPARE(session->configuration(), c);
    QCOMPARE(session->openCalls(), 1);
    QCOMPARE(session->sessionProperty(QStringLiteral("ConnectInBackground")), QVariant(false));
    QCOMPARE(fixture.server()->requestCount(), 0);

    // A second request while the session opens asks for no other.
    fixture.manager->retrieveMessagePart(fixture.part(1, 2));
    QCOMPARE(fixture.network->sessions().size(), 1);
}

void TestManagerNetwork::noUsableConfigurationOrCapabilityMeansNoSession_data()
{
    QTest::addColumn<bool>("validConfiguration");
    QTest::addColumn<bool>("canStartInterfaces");
    QTest::addColumn<QByteArray>("warning");
    QTest::newRow("no valid configuration") << false << true << goOnlineWarning("No valid configuration found. Giving up.");
    QTest::newRow("no capability") << true << false << goOnlineWarning("CANNOT start/stop interfaces. Giving up.");
}

void TestManagerNetwork::noUsableConfigurationOrCapabilityMeansNoSession()
{
    QFETCH(bool, validConfiguration);
    QFETCH(bool, canStartInterfaces);
    QFETCH(QByteArray, warning);
    if (!validConfiguration) {
        fixture.network->setConfigurations({ZavekNetworkConfiguration(QStringLiteral("x"), QStringLiteral("X"), false)});
        fixture.network->setDefaultConfiguration(ZavekNetworkConfiguration());
        QTest::ignoreMessage(QtWarningMsg, goOnlineWarning("default configuration is not valid. Looking for any other:").constData());
    }
    if (!canStartInterfaces)
        fixture.network->setCapabilities(ZavekNetworkConfigurationManager::DirectConnectionRouting);

    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    QTest::ignoreMessage(QtWarningMsg, warning.constData());
    const uint serial = fixture.manager->sync(account);
    QVERIFY(fixture.network->sessions().isEmpty());
    QCOMPARE(fixture.server()->requestCount(), 0);

    // The operation waits; the device coming online by other means runs it.
    fixture.network->setOnline(true);
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
    QVERIFY(fixture.manager->operationInfo(serial));
}

void TestManagerNetwork::waitingOperationRunsWhenTheSessionOpens()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    const uint serial = fixture.manager->retrieveMessageRange(QMailMessageId(4), 100);
    QCOMPARE(fixture.server()->requestCount(), 0);

    fixture.network->setOnline(false);     // no change: nothing happens
    fixture.network->lastSession()->reportOpened();
    QCOMPARE(fixture.calls(), QStringList{"retrieveMessageRange"});
    QCOMPARE(fixture.log->take(), QStringList{QStringLiteral("A%1 Pending 0").arg(serial)});
}

void TestManagerNetwork::comingOnlineNeverRestartsARunningOperation()
{
    QTest::ignoreMessage(QtWarningMsg,
                         "void ZavekServiceActionManager::onOnlineStateChanged(bool) we went online, but there is nothing to do..");
    fixture.network->setOnline(true);
    fixture.network->setOnline(false);

    const WarningLog warnings;
    fixture.manager->deleteMessages({QMailMessageId(3)});   // runs offline
    fixture.network->setOnline(true);
    // The option is off: still never a second start.
    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    fixture.network->setOnline(false);
    fixture.network->setOnline(true);
    QCOMPARE(fixture.server()->requestCount(), 1);
    QVERIFY(warnings.lines.filter(QStringLiteral("still running")).isEmpty());
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->lines.filter(QStringLiteral("Successful")).size(), 1);
}

void TestManagerNetwork::sessionErrorThenOnlineThroughAnotherApplication()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);
    QPointer<ZavekScriptedNetworkSession> session = fixture.network->lastSession();
    QVERIFY(session);
    session->reportError(ZavekNetworkSession::SessionAbortedError);
    QTRY_VERIFY(session.isNull());
    QCOMPARE(fixture.server()->requestCount(), 0);

    fixture.network->setOnline(true);
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});

    // With the device offline again, a new network request asks for a new session.
    fixture.server()->succeed(fixture.running());
    fixture.network->setOnline(false);
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->exportUpdates(account);
    QCOMPARE(fixture.network->sessions().size(), 2);
}

void TestManagerNetwork::ipcConnectionAlwaysRefreshesTheObservedList()
{
    QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
    fixture.server()->dropIpcConnection();
    fixture.server()->establishIpcConnection();
    QTRY_VERIFY(!activity.isEmpty());

    // Waiting for the store while nothing is left to do.
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg,
                         "bool ZavekServiceActionManager::executeCurrent() cannot exec service action due to QCopServer connection problems");
    const uint serial = fixture.manager->deleteMessages({QMailMessageId(2)});
    fixture.manager->cancelOperation(serial);
    QTest::ignoreMessage(QtWarningMsg,
                         "void ZavekServiceActionManager::onIpcConnectionEstablished() ipc is established, but there is nothing to do.");
    fixture.server()->establishIpcConnection();
    QCOMPARE(fixture.server()->requestCount(), 0);
}

void TestManagerNetwork::idleTimerArmedByEmptyReportOnlyWithASession()
{
    QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
    fixture.server()->setRunningActions({});
    QCOMPARE(activity.size(), 1);
    QCOMPARE(activity.at(0).at(0).value<Manager::Activity>(), Manager::Idle);
    QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);

    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);
    fixture.network->lastSession()->reportOpened();
    fixture.server()->succeed(fixture.running());
    fixture.server()->setRunningActions({});
    QCOMPARE(fixture.manager->networkSessionIdleInterval(), 7000);
    QVERIFY(fixture.manager->networkSessionIdleRemaining() > 6000);
}

void TestManagerNetwork::idleCountdownIsNotRestartedByASecondReport()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);
    fixture.network->lastSession()->reportOpened();
    fixture.server()->succeed(fixture.running());

    fixture.manager->setNetworkSessionIdleInterval(60000);
    fixture.server()->setRunningActions({});
    QVERIFY(fixture.manager->networkSessionIdleRemaining() > 50000);
    // Were the countdown restarted, it would now run with the short interval.
    fixture.manager->setNetworkSessionIdleInterval(50);
    fixture.server()->setRunningActions({});
    QVERIFY(fixture.manager->networkSessionIdleRemaining() > 50000);
}

void TestManagerNetwork::idleTimerStoppedByRequestsAndByBusyReports()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);
    fixture.network->lastSession()->reportOpened();
    fixture.server()->succeed(fixture.running());

    fixture.server()->setRunningActions({});
    QVERIFY(fixture.manager->networkSessionIdleRemaining() >= 0);
    fixture.manager->exportUpdates(account);
    QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);
    fixture.server()->succeed(fixture.running());

    fixture.server()->setRunningActions({});
    QVERIFY(fixture.manager->networkSessionIdleRemaining() >= 0);
    fixture.server()->setRunningActions({QmfStandIn::ObservedAction(7, RetrieveMessagesRequestType)});
    QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);
}

void TestManagerNetwork::idleTimerNotArmedWhileOwnWorkWaits()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);          // waits for the session to open
    fixture.server()->setRunningActions({});
    QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);

    fixture.network->lastSession()->reportOpened();
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
    fixture.server()->setRunningActions({});  // the observer has not seen it yet
    QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);
}

void TestManagerNetwork::idleSessionIsClosedAndReleased()
{
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->sync(account);
    QPointer<ZavekScriptedNetworkSession> session = fixture.network->lastSession();
    session->reportOpened();
    fixture.server()->succeed(fixture.running());

    fixture.manager->setNetworkSessionIdleInterval(10);
    fixture.server()->setRunningActions({});
    QTRY_COMPARE(session->closeCalls(), 1);
    session->reportClosed();
    QTRY_VERIFY(session.isNull());

    // Released: the next network request while offline opens a new session.
    fixture.network->setOnline(false);
    QTest::ignoreMessage(QtWarningMsg, goOnlineSignature);
    fixture.manager->exportUpdates(account);
    QCOMPARE(fixture.network->sessions().size(), 2);
}

void TestManagerNetwork::reportsSetActivityAndRelayStatusOncePerEntry()
{
    QCOMPARE(fixture.manager->activity(), Manager::Idle);
    QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
    QList<QMailActionId> statuses;
    connect(fixture.manager.data(), &Manager::serviceStatusChanged, this,
            [&statuses](const QMailActionInfo *info) { statuses << (info ? info->id() : QMailActionId(0)); });

    const QList<QmfStandIn::ObservedAction> running{
        QmfStandIn::ObservedAction(4, ExportUpdatesRequestType, Status::ErrLoginFailed),
        QmfStandIn::ObservedAction(9, RetrieveMessagesRequestType)};
    fixture.server()->setRunningActions(running);
    fixture.server()->setRunningActions(running);
    QCOMPARE(activity.size(), 2);
    QCOMPARE(activity.at(1).at(0).value<Manager::Activity>(), Manager::Busy);
    QCOMPARE(fixture.manager->activity(), Manager::Busy);
    QCOMPARE(fixture.manager->lastObservedRequestType(), ExportUpdatesRequestType);
    QCOMPARE(fixture.manager->lastObservedStatusErrorCode(), Status::ErrLoginFailed);

    fixture.server()->setObservedActionStatus(9, Status(Status::ErrNoError, QStringLiteral("working"), account,
                                                        QMailFolderId(), QMailMessageId()));
    QCOMPARE(statuses, QList<QMailActionId>{9});

    // Entries of an old list no longer report.
    fixture.server()->setRunningActions({QmfStandIn::ObservedAction(4, ExportUpdatesRequestType)});
    fixture.server()->setObservedActionStatus(9, Status());
    QCOMPARE(statuses.size(), 1);

    fixture.server()->setRunningActions({});
    QCOMPARE(fixture.manager->activity(), Manager::Idle);
    QCOMPARE(fixture.manager->lastObservedRequestType(), ExportUpdatesRequestType);
}

void TestManagerNetwork::nullFirstEntryCountsAsBusy()
{
    fixture.server()->setRunningActions({QmfStandIn::ObservedAction(5, SynchronizeRequestType, Status::ErrTimeout)});
    QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
    QList<QSharedPointer<QMailActionInfo> > withNull{QSharedPointer<QMailActionInfo>()};
    QTest::ignoreMessage(QtWarningMsg, "Null QMailActionInfo");
    QVERIFY(QMetaObject::invokeMethod(fixture.manager.data(), "onActionsChanged",
                                      Q_ARG(QList<QSharedPointer<QMailActionInfo> >, withNull)));
    QCOMPARE(activity.size(), 1);
    QCOMPARE(fixture.manager->activity(), Manager::Busy);
    QCOMPARE(fixture.manager->lastObservedRequestType(), SynchronizeRequestType);
    QCOMPARE(fixture.manager->lastObservedStatusErrorCode(), Status::ErrTimeout);
}

void TestManagerNetwork::storageActionsAreCounted()
{
    QMailStorageAction *first = fixture.manager->newStorageAction();
    QScopedPointer<QMailStorageAction> second(fixture.manager->newStorageAction());
    QVERIFY(first && second);
    QVERIFY(!first->parent());
    QCOMPARE(fixture.manager->liveStorageActionCount(), 2);
    delete first;
    QCOMPARE(fixture.manager->liveStorageActionCount(), 1);

    // Not wired to the manager's relays: its requests are the caller's own.
    second->deleteMessages({QMailMessageId(3)});
    fixture.server()->succeed(second.data());
    QVERIFY(fixture.log->lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestManagerNetwork)
#include "tst_manager_network.moc"
