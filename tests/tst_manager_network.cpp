// Connectivity, the network session with its idle timer, and the observation of the
// service actions that all clients run.

#include "managerfixture.h"

#include <QSignalSpy>
#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

namespace {
const QByteArray goOnline = "void ZavekServiceActionManager::goOnline(QNetworkConfigurationManager*)";
const QByteArray lookingFurther = goOnline + " default configuration is not valid. Looking for any other:";
}

class TestManagerNetwork : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start(false);
        account = fixture.addAccount();
        QCoreApplication::processEvents();   // the observer's first answer
    }
    void cleanup() { fixture.finish(); }

    void givenConfigurationManagerIsOwnedOnlyWithoutAParent()
    {
        QObject owner;
        QPointer<ZavekNetworkConfigurationManager> orphan = fixture.network->createManager();
        QPointer<ZavekNetworkConfigurationManager> owned = fixture.network->createManager(&owner);
        delete new Manager(orphan);
        delete new Manager(owned);
        QVERIFY(!orphan);
        QVERIFY(owned);
    }

    void withoutConnectivityManagerTheDeviceIsAlwaysOnline()
    {
        QVERIFY(!fixture.manager->isOnline());
        ZavekSettings::instance()->setUseConnectivityManager(false, false);
        QVERIFY(fixture.manager->isOnline());
        fixture.manager->sync(account);
        QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
        QVERIFY(fixture.network->sessions().isEmpty());
        fixture.server()->succeed(fixture.running());

        // Coming online is news only to an operation that still waits, here for the store.
        const WarningLog warnings;
        fixture.network->setOnline(true);
        QVERIFY(warnings.lines.isEmpty());
        fixture.server()->dropIpcConnection();
        QTest::ignoreMessage(QtWarningMsg, ipcWarning);
        fixture.manager->deleteMessages({QMailMessageId(2)});
        {
            const QSignalBlocker silence(QMailStore::instance());
            QmfStandIn::setIpcConnectionEstablished(true);
        }
        fixture.network->setOnline(false);
        fixture.network->setOnline(true);
        QCOMPARE(fixture.calls().last(), QStringLiteral("deleteMessages"));

        ZavekSettings::instance()->setUseConnectivityManager(true, false);   // read on every call
        fixture.network->setOnline(false);
        QVERIFY(!fixture.manager->isOnline());
    }

    void lastValidConfigurationIsChosen()
    {
        const ZavekNetworkConfiguration a("a", "A"), b("b", "B", false), c("c", "C");
        fixture.network->setConfigurations({a, b, c});
        fixture.network->setDefaultConfiguration(ZavekNetworkConfiguration());
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        QTest::ignoreMessage(QtWarningMsg, lookingFurther.constData());
        fixture.manager->retrieveMessagePart(fixture.part(1, 1));
        fixture.manager->retrieveMessagePart(fixture.part(1, 2));   // no second session while it opens

        QCOMPARE(fixture.network->sessions().size(), 1);
        ZavekScriptedNetworkSession *session = fixture.network->lastSession();
        QCOMPARE(session->configuration(), c);
        QCOMPARE(session->openCalls(), 1);
        QCOMPARE(session->sessionProperty("ConnectInBackground"), QVariant(false));
        QCOMPARE(fixture.server()->requestCount(), 0);
    }

    void noUsableConfigurationOrCapabilityMeansNoSession_data()
    {
        QTest::addColumn<bool>("validConfiguration");
        QTest::addColumn<QByteArray>("warning");
        QTest::newRow("no valid configuration") << false << goOnline + " No valid configuration found. Giving up.";
        QTest::newRow("no capability") << true << goOnline + " CANNOT start/stop interfaces. Giving up.";
    }

    void noUsableConfigurationOrCapabilityMeansNoSession()
    {
        QFETCH(bool, validConfiguration);
        QFETCH(QByteArray, warning);
        if (validConfiguration) {
            fixture.network->setCapabilities(ZavekNetworkConfigurationManager::DirectConnectionRouting);
        } else {
            fixture.network->setConfigurations({ZavekNetworkConfiguration("x", "X", false)});
            fixture.network->setDefaultConfiguration(ZavekNetworkConfiguration());
            QTest::ignoreMessage(QtWarningMsg, lookingFurther.constData());
        }
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        QTest::ignoreMessage(QtWarningMsg, warning.constData());
        fixture.manager->sync(account);
        QVERIFY(fixture.network->sessions().isEmpty());
        QCOMPARE(fixture.server()->requestCount(), 0);
        fixture.network->setOnline(true);   // online by other means: the operation runs
        QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
    }

    void comingOnlineStartsTheWaitingOperationOnce()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             "void ZavekServiceActionManager::onOnlineStateChanged(bool) we went online, but there is nothing to do..");
        fixture.network->setOnline(true);
        fixture.network->setOnline(false);

        // A session error, then the device comes online through another application.
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        fixture.manager->retrieveMessageRange(QMailMessageId(4), 100);
        QPointer<ZavekScriptedNetworkSession> session = fixture.network->lastSession();
        session->reportError(ZavekNetworkSession::SessionAbortedError);
        QTRY_VERIFY(session.isNull());
        const WarningLog warnings;
        fixture.network->setOnline(true);
        QCOMPARE(fixture.calls(), QStringList{"retrieveMessageRange"});

        // Online again while it runs (also with the option off): never a second start.
        fixture.network->setOnline(false);
        fixture.network->setOnline(true);
        ZavekSettings::instance()->setUseConnectivityManager(false, false);
        fixture.network->setOnline(false);
        fixture.network->setOnline(true);
        QCOMPARE(fixture.server()->requestCount(), 1);
        QVERIFY(warnings.lines.filter("still running").isEmpty());
    }

    void ipcConnectionAlwaysRefreshesTheObservedList()
    {
        QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
        fixture.server()->dropIpcConnection();
        fixture.server()->establishIpcConnection();
        QTRY_COMPARE(activity.size(), 1);

        fixture.server()->dropIpcConnection();
        QTest::ignoreMessage(QtWarningMsg, ipcWarning);
        fixture.manager->cancelOperation(fixture.manager->deleteMessages({QMailMessageId(2)}));
        QTest::ignoreMessage(QtWarningMsg,
                             "void ZavekServiceActionManager::onIpcConnectionEstablished() ipc is established, but there is nothing to do.");
        fixture.server()->establishIpcConnection();
        QCOMPARE(fixture.server()->requestCount(), 0);

        // That was the last of it: the next reconnection has nothing to report.
        const WarningLog warnings;
        fixture.server()->dropIpcConnection();
        fixture.server()->establishIpcConnection();
        QCOMPARE(warnings.lines, QStringList());
    }

    void idleTimerFollowsReportsAndRequests()
    {
        // Without a session an empty report only says Idle.
        QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
        fixture.server()->setRunningActions({});
        QCOMPARE(activity.takeFirst().at(0).value<Manager::Activity>(), Manager::Idle);
        QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);

        // Own work waiting for the session keeps it from being armed.
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        fixture.manager->sync(account);
        fixture.server()->setRunningActions({});
        QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);
        fixture.network->lastSession()->reportOpened();
        fixture.server()->succeed(fixture.running());
        // The server said idle while the sync still ran, and says nothing more: our last
        // operation's end starts the countdown.
        QVERIFY(fixture.manager->networkSessionIdleRemaining() >= 0);
        fixture.server()->setRunningActions({QmfStandIn::ObservedAction(7, RetrieveMessagesRequestType)});
        QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);   // a busy report stops it

        QCOMPARE(fixture.manager->networkSessionIdleInterval(), 7000);
        fixture.manager->setNetworkSessionIdleInterval(-5);   // a negative interval means at once
        QCOMPARE(fixture.manager->networkSessionIdleInterval(), 0);
        fixture.manager->setNetworkSessionIdleInterval(60000);
        fixture.server()->setRunningActions({});
        QVERIFY(fixture.manager->networkSessionIdleRemaining() > 50000);
        // Were the running countdown restarted, it would now run with the short interval.
        fixture.manager->setNetworkSessionIdleInterval(50);
        fixture.server()->setRunningActions({});
        QVERIFY(fixture.manager->networkSessionIdleRemaining() > 50000);

        fixture.manager->exportUpdates(account);   // a request stops it
        QCOMPARE(fixture.manager->networkSessionIdleRemaining(), -1);
        fixture.server()->succeed(fixture.running());
        fixture.server()->setRunningActions({});
        QVERIFY(fixture.manager->networkSessionIdleRemaining() >= 0);
    }

    void idleSessionIsClosedAndReleased()
    {
        const int interval = 1000;
        fixture.manager->setNetworkSessionIdleInterval(interval);
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        fixture.manager->sync(account);
        QPointer<ZavekScriptedNetworkSession> session = fixture.network->lastSession();
        session->reportOpened();
        QElapsedTimer idle;
        idle.start();
        fixture.server()->succeed(fixture.running());
        QTRY_COMPARE_WITH_TIMEOUT(session->closeCalls(), 1, 10 * interval);
        QVERIFY2(idle.elapsed() >= interval, "closed before the messaging system was idle for the whole interval");
        session->reportClosed();
        QTRY_VERIFY(session.isNull());
        // Released: the next network request while offline opens a new session.
        fixture.network->setOnline(false);
        QTest::ignoreMessage(QtWarningMsg, goOnline.constData());
        fixture.manager->exportUpdates(account);
        QCOMPARE(fixture.network->sessions().size(), 2);
    }

    void reportsSetActivityAndRelayStatusOncePerEntry()
    {
        QSignalSpy activity(fixture.manager.data(), &Manager::serviceActivityChanged);
        QList<QMailActionId> statuses;
        connect(fixture.manager.data(), &Manager::serviceStatusChanged, this,
                [&statuses](const QMailActionInfo *info) { statuses << info->id(); });
        const QList<QmfStandIn::ObservedAction> running{QmfStandIn::ObservedAction(4, ExportUpdatesRequestType, Status::ErrLoginFailed),
                                                        QmfStandIn::ObservedAction(9, RetrieveMessagesRequestType)};
        fixture.server()->setRunningActions(running);
        fixture.server()->setRunningActions(running);
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.at(1).at(0).value<Manager::Activity>(), Manager::Busy);
        QCOMPARE(fixture.manager->lastObservedRequestType(), ExportUpdatesRequestType);
        QCOMPARE(fixture.manager->lastObservedStatusErrorCode(), Status::ErrLoginFailed);
        fixture.server()->setObservedActionStatus(9, Status());
        QCOMPARE(statuses, QList<QMailActionId>{9});
        fixture.server()->setRunningActions({QmfStandIn::ObservedAction(4, ExportUpdatesRequestType, Status::ErrTimeout)});
        fixture.server()->setObservedActionStatus(9, Status());   // no longer observed
        QCOMPARE(statuses, QList<QMailActionId>{9});

        // A null first entry records nothing and counts as Busy.
        fixture.server()->setRunningActions({});
        QCOMPARE(fixture.manager->activity(), Manager::Idle);
        QTest::ignoreMessage(QtWarningMsg, "Null QMailActionInfo");
        QVERIFY(QMetaObject::invokeMethod(fixture.manager.data(), "onActionsChanged",
                                          Q_ARG(QList<QSharedPointer<QMailActionInfo> >, {QSharedPointer<QMailActionInfo>()})));
        QCOMPARE(fixture.manager->activity(), Manager::Busy);
        QCOMPARE(fixture.manager->lastObservedStatusErrorCode(), Status::ErrTimeout);

        // Storage actions for the caller's own use are counted, and not relayed.
        QMailStorageAction *first = fixture.manager->newStorageAction();
        QScopedPointer<QMailStorageAction> second(fixture.manager->newStorageAction());
        delete first;
        QCOMPARE(fixture.manager->liveStorageActionCount(), 1);
        second->deleteMessages({QMailMessageId(3)});
        fixture.server()->succeed(second.data());
        QVERIFY(fixture.log->lines.isEmpty());
    }

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

QTEST_GUILESS_MAIN(TestManagerNetwork)
#include "tst_manager_network.moc"
