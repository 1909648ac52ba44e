// The message server's name leaving the session bus: the real client library reports
// nothing of the run it lost, so the manager ends that run itself and holds the queue
// until the name is back. A private dbus-daemon stands for the session bus, where the
// stand-in server owns the name; a second connection of this process takes it over.

#include "childprocess.h"
#include "managerfixture.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

namespace {

const char serverName[] = "org.qt.messageserver";
const int busTimeoutMs = 10000;
const QRegularExpression lostWarning("onMessageServerUnregistered\\(\\) the message server left the session bus");
const QRegularExpression waitingWarning("executeCurrent\\(\\) the message server is gone: waiting for it");
const QRegularExpression backWarning("onMessageServerRegistered\\(\\) the message server is back");

} // namespace

class TestManagerServerLoss : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        if (!bus.start(&error))
            QSKIP(qPrintable(QStringLiteral("needs a private session bus: %1").arg(error)));
        // Read when the manager first opens the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toLocal8Bit());
        other = QDBusConnection::connectToBus(bus.address(), QStringLiteral("another server"));
        QVERIFY(other.isConnected());
    }
    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("another server"));
        bus.stop();
    }
    void init()
    {
        fixture.start();
        QVERIFY(fixture.server()->isOnSessionBus());
        account = fixture.addAccount();
        fixture.server()->setAnswerCancellations(false); // a dead server answers nothing
    }
    void cleanup()
    {
        fixture.finish();
        other.unregisterService(QLatin1String(serverName));   // the stand-in, queued, has it again
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void lostRunFailsOnceAndTheQueueWaitsForTheServer()
    {
        Manager *manager = fixture.manager.data();
        const uint running = manager->retrieveMessagePart(fixture.part(1, 1));
        const uint queued = manager->sync(account);
        fixture.log->take();
        fixture.server()->setRunningActions({QmfStandIn::ObservedAction(7, SynchronizeRequestType)});   // another client's

        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        loseServer();
        const int lost = Status::ErrInternalServer;
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.log->lines.isEmpty(), busTimeoutMs);
        QCOMPARE(fixture.log->take(), (QStringList{line("S%1 %2", running, lost), line("A%1 Failed %2", running, lost)}));
        QCOMPARE(manager->activity(), Manager::Idle);

        // A request made while the server is gone waits too, also when it steps ahead of the
        // waiting sync; nothing reaches the server.
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        const uint later = manager->flagMessages({QMailMessageId(3)}, QMailMessage::Read, 0);
        QCOMPARE(fixture.log->take(), QStringList{line("A%1 Pending %2", later)});
        QCOMPARE(fixture.server()->requestCount(), 1);

        // Back again: the queue goes on through fresh service actions.
        serverReturns();
        fixture.succeedAll();
        QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "flagMessages", "synchronizeAll"}));
        QCOMPARE(ends(fixture.log->take()), (QStringList{line("A%1 Successful %2", later), line("A%1 Successful %2", queued)}));
        QTRY_COMPARE(manager->activity(), Manager::Busy);   // the server that returned is asked what runs
    }

    void lostPreemptedRunIsQueuedAgain()
    {
        Manager *manager = fixture.manager.data();
        const uint sync = manager->sync(account);
        const uint urgent = manager->retrieveMessages({QMailMessageId(4)}, QMailRetrievalAction::Content);
        fixture.log->take();

        // The interrupted run is gone with the server: the sync waits again, with no outcome yet.
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        loseServer();
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.log->lines.isEmpty(), busTimeoutMs);
        QCOMPARE(fixture.log->take(), QStringList{line("A%1 Pending %2", sync)});

        serverReturns();
        fixture.succeedAll();
        QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessages", "synchronizeAll"}));
        QCOMPARE(ends(fixture.log->take()), (QStringList{line("A%1 Successful %2", urgent), line("A%1 Successful %2", sync)}));
    }

    void operationThatHasNotStartedOutlivesTheLoss()
    {
        // Chosen, but still waiting for the network: the server never had it.
        fixture.network->setOnline(false);
        const uint sync = fixture.manager->sync(account);
        fixture.log->take();
        const WarningLog warnings;
        loseServer();
        QTRY_COMPARE_WITH_TIMEOUT(warnings.count(lostWarning), 1, busTimeoutMs);
        QCOMPARE(fixture.log->lines, QStringList());
        QVERIFY(fixture.manager->operationInfo(sync));
    }

    void lostRequestLeavesNoStuckAction_data()
    {
        QTest::addColumn<Issue>("request");
        QTest::addColumn<QString>("call");
        QTest::newRow("send") << Issue([](Manager &m) { return m.send(QMailAccountId(1)); }) << "transmitMessages";
        QTest::newRow("delete") << Issue([](Manager &m) { return m.deleteMessages({QMailMessageId(2)}); }) << "deleteMessages";
        QTest::newRow("part") << Issue([](Manager &m) { return m.retrieveMessagePart(ManagerFixture::part(1, 1)); })
                              << "retrieveMessagePart";
    }

    void lostRequestLeavesNoStuckAction()
    {
        // From the lost run's failure report the caller cancels it and asks for the same again: the
        // request does not join the run that is over, and runs on a fresh action once the server is back.
        QFETCH(Issue, request);
        QFETCH(QString, call);
        uint again = 0;
        const QMetaObject::Connection asked = connect(fixture.manager.data(), &Manager::statusChanged, this, [&](uint serial) {
            disconnect(asked);
            fixture.manager->cancelOperation(serial);
            again = request(*fixture.manager);
        });
        const int actions = fixture.manager->findChildren<QMailServiceAction *>().size();
        const uint lost = request(*fixture.manager);
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        loseServer();
        QTRY_VERIFY_WITH_TIMEOUT(again != 0, busTimeoutMs);
        QVERIFY(again != lost);
        serverReturns();
        QCOMPARE(fixture.calls(), (QStringList{call, call}));
        QCOMPARE(fixture.server()->cancellationRequests().size(), 1);   // the manager's own, on leaving it
        QCOMPARE(fixture.manager->findChildren<QMailServiceAction *>().size(), actions);   // and it is deleted
        fixture.server()->succeed(fixture.running());
        QCOMPARE(ends(fixture.log->take()), (QStringList{line("A%1 Failed %2", lost, Status::ErrInternalServer),
                                                         line("A%1 Successful %2", again)}));
    }

    void requestFromTheLostRunsReportLeavesTheQueueGoing()
    {
        // Urgent work asked for while the lost sync's end is reported must not interrupt it; the left action's late answer is not heard.
        connect(fixture.manager.data(), &Manager::statusChanged, this, [this] {
            fixture.server()->answerCancellation(fixture.running());
            fixture.manager->retrieveMessagePart(fixture.part(1, 1));
        });
        fixture.manager->sync(account);
        fixture.manager->exportUpdates(account);
        const WarningLog warnings;
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        loseServer();
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.log->lines.filter(QStringLiteral("Failed")).isEmpty(), busTimeoutMs);
        serverReturns();
        fixture.succeedAll();
        QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "exportUpdates"}));
        QCOMPARE(warnings.count(QRegularExpression("dropped")), 0);
    }

    void managerMadeWhileTheServerIsAbsentWaitsForIt()
    {
        // A client started while the server is down (crashed and being restarted): its requests
        // wait for the server instead of being sent to nobody.
        fixture.manager.reset();
        fixture.server()->leaveSessionBus();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("watchMessageServer\\(\\) the message server is not on the session bus"));
        fixture.manager.reset(new Manager(fixture.network->createManager()));
        fixture.log.reset(new SignalLog(fixture.manager.data()));
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        const uint sync = fixture.manager->sync(account);
        QCOMPARE(fixture.server()->requestCount(), 0);
        serverReturns();
        fixture.server()->succeed(fixture.running());
        QCOMPARE(ends(fixture.log->take()), QStringList{line("A%1 Successful %2", sync)});
    }

    void handoverToAnotherOwnerIsALossAndAReturn()
    {
        // The name passes from the old server to a new one in one change, with no gap.
        const uint lost = fixture.manager->sync(account);
        const uint queued = fixture.manager->exportUpdates(account);
        QTest::ignoreMessage(QtWarningMsg, lostWarning);
        QTest::ignoreMessage(QtWarningMsg, waitingWarning);
        QTest::ignoreMessage(QtWarningMsg, backWarning);
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = other.interface()->registerService(
                QLatin1String(serverName), QDBusConnectionInterface::ReplaceExistingService, QDBusConnectionInterface::DontAllowReplacement);
        QCOMPARE(reply.value(), QDBusConnectionInterface::ServiceRegistered);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server()->requestCount(), 2, busTimeoutMs);
        fixture.server()->succeed(fixture.running());
        QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "exportUpdates"}));
        QCOMPARE(ends(fixture.log->take()), (QStringList{line("A%1 Failed %2", lost, Status::ErrInternalServer),
                                                         line("A%1 Successful %2", queued)}));
    }

private:
    void loseServer()
    {
        QTest::ignoreMessage(QtWarningMsg, lostWarning);
        fixture.server()->leaveSessionBus();
        QVERIFY(!fixture.server()->isOnSessionBus());
    }
    // The manager starts the next request on the server's return.
    void serverReturns()
    {
        QTest::ignoreMessage(QtWarningMsg, backWarning);
        const int before = fixture.server()->requestCount();
        fixture.server()->joinSessionBus();
        QTRY_COMPARE_WITH_TIMEOUT(fixture.server()->requestCount(), before + 1, busTimeoutMs);
    }

    ZavekTest::PrivateSessionBus bus;
    QDBusConnection other{QString()};
    ManagerFixture fixture;
    QMailAccountId account;
};

QTEST_GUILESS_MAIN(TestManagerServerLoss)
#include "tst_manager_serverloss.moc"
