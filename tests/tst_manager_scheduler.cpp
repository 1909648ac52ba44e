// The queue and its scheduler: order, pre-emption, cancellation, completion, restarts,
// waiting for the store's IPC connection, and the relays of status and progress.

#include "managerfixture.h"

#include <QSignalSpy>
#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

class TestManagerScheduler : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start();
        account = fixture.addAccount();
    }
    void cleanup() { fixture.finish(); }

    void secondRequestIsQueuedAndAnnouncedOnce();
    void urgentWorkRunsFirstAndTiesKeepArrivalOrder();
    void retrievalMergesIntoTheRunningOne();
    void snapshotRequestsQueueOneFollowUpInsteadOfJoiningTheRunningOne_data();
    void snapshotRequestsQueueOneFollowUpInsteadOfJoiningTheRunningOne();
    void lastStoreChangeWins();

    void preemptedOperationRunsAgainUnderItsSerialWithoutFinishing();
    void preemptedRunThatSucceedsIsFinished();
    void secondUrgentRequestDuringPreemptionQueuesNoSecondCopy();
    void waitingOperationStepsBackForUrgentWork();
    void cancellingThePreemptedOperationEndsIt();

    void cancellingQueuedOrUnknownSerialReportsFailure();
    void cancellingRunningOperationAsksTheServer();
    void cancellingWaitingOperationEndsItForGood();
    void stopCancelsQueueInOrderThenTheRunningOne();

    void internalStateResetRestartsAtMostThreeTimes();
    void ipcDownDelaysTheStartUntilTheConnectionReturns();
    void enqueueRetriesAWaitingOperation();
    void receiverQueueingDuringCompletionGetsItsRequestStartedOnce();
    void operationCompletingInsideItsOwnStartLeavesTheNextOneRunning();

    void statusAndProgressAreRelayedUnchanged();
    void strayReportsAreDroppedWithAWarning();

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

void TestManagerScheduler::secondRequestIsQueuedAndAnnouncedOnce()
{
    const uint first = fixture.manager->sync(account);
    const uint second = fixture.manager->retrieveFolderList(account, QMailFolderId(), true);
    QCOMPARE(second, first + 1);
    QCOMPARE(fixture.log->take(), (QStringList{"A1 Pending 0", "A2 Pending 0"}));
    QCOMPARE(fixture.server()->requestCount(), 1);

    fixture.server()->setActivity(fixture.running(), QMailServiceAction::InProgress);
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->take(), (QStringList{"A1 InProgress 0", "A1 Successful 0", "A2 Pending 0"}));
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveFolderList"}));
}

void TestManagerScheduler::urgentWorkRunsFirstAndTiesKeepArrivalOrder()
{
    Manager *manager = fixture.manager.data();
    manager->retrieveMessagePart(fixture.part(1, 1));           // High, runs
    manager->sync(account);                                     // Low
    manager->exportUpdates(account);                            // Low
    manager->retrieveMessages({QMailMessageId(2)}, QMailRetrievalAction::Content); // High
    manager->deleteMessages({QMailMessageId(3)});               // High
    QCOMPARE(fixture.server()->cancellationRequests().size(), 0);

    for (int i = 0; i < 5; ++i)
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "retrieveMessages", "deleteMessages",
                                           "synchronizeAll", "exportUpdates"}));
}

void TestManagerScheduler::retrievalMergesIntoTheRunningOne()
{
    const uint serial = fixture.manager->retrieveMessagePart(fixture.part(5, 1));
    QCOMPARE(fixture.manager->retrieveMessagePart(fixture.part(5, 1)), serial);
    QCOMPARE(fixture.log->take(), (QStringList{"A1 Pending 0", "A1 Pending 0"}));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 1);
    QCOMPARE(fixture.log->take(), QStringList{"A1 Successful 0"});
}

void TestManagerScheduler::snapshotRequestsQueueOneFollowUpInsteadOfJoiningTheRunningOne_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("send") << "send";
    QTest::newRow("exportUpdates") << "exportUpdates";
    QTest::newRow("sync") << "sync";
}

void TestManagerScheduler::snapshotRequestsQueueOneFollowUpInsteadOfJoiningTheRunningOne()
{
    QFETCH(QString, kind);
    Manager *manager = fixture.manager.data();
    const auto request = [&] {
        if (kind == QLatin1String("send"))
            return manager->send(account);
        if (kind == QLatin1String("exportUpdates"))
            return manager->exportUpdates(account);
        return manager->sync(account);
    };

    const uint running = request();
    const uint followUp = request();
    QVERIFY(followUp != running);
    QCOMPARE(request(), followUp);

    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 2);
    QCOMPARE(fixture.log->take().mid(3, 2),
             (QStringList{QStringLiteral("A%1 Successful 0").arg(running), QStringLiteral("A%1 Pending 0").arg(followUp)}));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 2);
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::lastStoreChangeWins()
{
    Manager *manager = fixture.manager.data();
    const QMailMessageIdList ids{QMailMessageId(7)};
    const quint64 read = 0x1;
    manager->retrieveMessagePart(fixture.part(9, 1)); // keeps the flag changes queued
    const uint markRead = manager->flagMessages(ids, read, 0);
    const uint markUnread = manager->flagMessages(ids, 0, read);
    const uint markReadAgain = manager->flagMessages(ids, read, 0);
    QVERIFY(markReadAgain != markRead);
    QVERIFY(markUnread != markRead);
    // Nothing else changed the message since, so a repetition joins the last change.
    QCOMPARE(manager->flagMessages(ids, read, 0), markReadAgain);

    for (int i = 0; i < 4; ++i)
        fixture.server()->succeed(fixture.running());
    const QList<QmfStandIn::Request> requests = fixture.server()->requests();
    QCOMPARE(requests.size(), 4);
    QCOMPARE(requests.last().arguments.value(1).value<quint64>(), read);
    QCOMPARE(requests.last().arguments.value(2).value<quint64>(), quint64(0));
}

void TestManagerScheduler::preemptedOperationRunsAgainUnderItsSerialWithoutFinishing()
{
    Manager *manager = fixture.manager.data();
    const uint sync = manager->sync(account);
    fixture.server()->setProgress(fixture.running(), 1, 4);
    fixture.log->take();

    const uint part = manager->retrieveMessagePart(fixture.part(3, 1));
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);
    QCOMPARE(fixture.log->take(), QStringList{QStringLiteral("A%1 Pending 0").arg(part)});

    // The server answers the cancellation on the next turn; callers of the sync see it
    // queued again, not cancelled.
    QTRY_COMPARE(fixture.server()->requestCount(), 2);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("A%1 Pending 0").arg(sync),
                                                QStringLiteral("A%1 Pending 0").arg(part)}));
    QVERIFY(manager->operationInfo(sync));

    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "synchronizeAll"}));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("A%1 Successful 0").arg(part),
                                                QStringLiteral("A%1 Pending 0").arg(sync),
                                                QStringLiteral("A%1 Successful 0").arg(sync)}));
    QVERIFY(!manager->operationInfo(sync));
}

void TestManagerScheduler::preemptedRunThatSucceedsIsFinished()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    const uint part = manager->retrieveMessagePart(fixture.part(3, 1));
    fixture.log->take();

    // The interrupted run's reports are not relayed, but its success counts.
    fixture.server()->setStatus(retrieval, Status(Status::ErrNoError, QStringLiteral("nearly"), account,
                                                  QMailFolderId(), QMailMessageId()));
    fixture.server()->setProgress(retrieval, 3, 4);
    fixture.server()->succeed(retrieval);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("A%1 Successful 0").arg(sync),
                                                QStringLiteral("A%1 Pending 0").arg(part)}));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart"}));
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::secondUrgentRequestDuringPreemptionQueuesNoSecondCopy()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    manager->retrieveMessagePart(fixture.part(3, 1));
    manager->retrieveMessagePart(fixture.part(3, 2));
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);

    fixture.server()->answerCancellation(retrieval);
    for (int i = 0; i < 3; ++i)
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "retrieveMessagePart", "synchronizeAll"}));
    QVERIFY(!fixture.running());
    QCOMPARE(fixture.log->lines.filter(QStringLiteral("A%1 Successful").arg(sync)).size(), 1);
}

void TestManagerScheduler::waitingOperationStepsBackForUrgentWork()
{
    fixture.network->setOnline(false);
    Manager *manager = fixture.manager.data();
    const uint sync = manager->sync(account);   // waits for the network
    QCOMPARE(fixture.server()->requestCount(), 0);

    const uint removal = manager->deleteMessages({QMailMessageId(4)});   // needs none
    QCOMPARE(fixture.calls(), QStringList{"deleteMessages"});
    QVERIFY(fixture.server()->cancellationRequests().isEmpty());
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 1);

    fixture.network->setOnline(true);
    QCOMPARE(fixture.calls(), (QStringList{"deleteMessages", "synchronizeAll"}));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("A%1 Pending 0").arg(removal),
                                                QStringLiteral("A%1 Successful 0").arg(removal),
                                                QStringLiteral("A%1 Pending 0").arg(sync),
                                                QStringLiteral("A%1 Successful 0").arg(sync)}));
}

void TestManagerScheduler::cancellingThePreemptedOperationEndsIt()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    manager->retrieveMessagePart(fixture.part(3, 1));
    manager->cancelOperation(sync);
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);

    fixture.server()->answerCancellation(retrieval);
    QVERIFY(fixture.log->lines.contains(QStringLiteral("A%1 Failed 1030").arg(sync)));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart"}));
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::cancellingQueuedOrUnknownSerialReportsFailure()
{
    Manager *manager = fixture.manager.data();
    manager->retrieveMessagePart(fixture.part(1, 1));
    const uint queued = manager->retrieveMessagePart(fixture.part(2, 1));
    fixture.log->take();

    manager->cancelOperation(queued);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("S%1 1030").arg(queued),
                                                QStringLiteral("A%1 Failed 1030").arg(queued)}));
    QVERIFY(!manager->operationInfo(queued));
    QVERIFY(manager->operations(fixture.part(2, 1)).isEmpty());
    QVERIFY(manager->operations(QMailMessageId(2)).isEmpty());

    manager->cancelOperation(99);
    QCOMPARE(fixture.log->take(), (QStringList{"S99 1030", "A99 Failed 1030"}));

    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 1);
}

void TestManagerScheduler::cancellingRunningOperationAsksTheServer()
{
    Manager *manager = fixture.manager.data();
    const uint running = manager->retrieveMessagePart(fixture.part(1, 1));
    const uint next = manager->retrieveMessagePart(fixture.part(2, 1));
    fixture.log->take();

    manager->cancelOperation(running);
    QVERIFY(fixture.log->lines.isEmpty());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
        "^void ZavekServiceActionManager::onActionActivityChanged\\(QMailServiceAction::Activity\\) Action finished .* \"Cancelled by user\" error: 1030 store error: 0$")));
    QTRY_COMPARE(fixture.log->lines.size(), 3);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("S%1 1030").arg(running),
                                                QStringLiteral("A%1 Failed 1030").arg(running),
                                                QStringLiteral("A%1 Pending 0").arg(next)}));
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);
}

void TestManagerScheduler::cancellingWaitingOperationEndsItForGood()
{
    fixture.network->setOnline(false);
    Manager *manager = fixture.manager.data();
    const uint waiting = manager->sync(account);
    const uint queued = manager->exportUpdates(account);
    fixture.log->take();

    manager->cancelOperation(waiting);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("S%1 1030").arg(waiting),
                                                QStringLiteral("A%1 Failed 1030").arg(waiting)}));
    QVERIFY(!manager->operationInfo(waiting));
    QVERIFY(manager->operationInfo(queued));

    fixture.network->setOnline(true);
    QCOMPARE(fixture.calls(), QStringList{"exportUpdates"});
}

void TestManagerScheduler::stopCancelsQueueInOrderThenTheRunningOne()
{
    Manager *manager = fixture.manager.data();
    const uint running = manager->retrieveMessagePart(fixture.part(1, 1));
    const uint a = manager->sync(account);
    const uint b = manager->retrieveMessages({QMailMessageId(2)}, QMailRetrievalAction::Flags);
    const uint c = manager->exportUpdates(account);
    fixture.log->take();

    manager->stop();
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("S%1 1030").arg(a), QStringLiteral("A%1 Failed 1030").arg(a),
                                                QStringLiteral("S%1 1030").arg(b), QStringLiteral("A%1 Failed 1030").arg(b),
                                                QStringLiteral("S%1 1030").arg(c), QStringLiteral("A%1 Failed 1030").arg(c)}));
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);
    QTRY_VERIFY(fixture.log->lines.contains(QStringLiteral("A%1 Failed 1030").arg(running)));
    QCOMPARE(fixture.server()->requestCount(), 1);
    QVERIFY(!manager->operationInfo(running));
}

void TestManagerScheduler::internalStateResetRestartsAtMostThreeTimes()
{
    const uint serial = fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    const QByteArray restart =
        "void ZavekServiceActionManager::onActionActivityChanged(QMailServiceAction::Activity) Internal state reset: restarting current action.";
    for (int restarts = 1; restarts <= 3; ++restarts) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Action finished .* error: 1041")));
        QTest::ignoreMessage(QtWarningMsg, restart.constData());
        fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
        QCOMPARE(fixture.server()->requestCount(), 1 + restarts);
        QVERIFY(fixture.manager->operationInfo(serial));
    }
    QVERIFY(fixture.log->lines.filter(QStringLiteral("A1 Failed")).isEmpty());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Action finished .* error: 1041")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("giving up")));
    fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
    QCOMPARE(fixture.server()->requestCount(), 4);
    QCOMPARE(fixture.log->lines.filter(QStringLiteral("A1 Failed")), QStringList{"A1 Failed 1041"});
    QVERIFY(!fixture.manager->operationInfo(serial));
}

void TestManagerScheduler::ipcDownDelaysTheStartUntilTheConnectionReturns()
{
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg,
                         "bool ZavekServiceActionManager::executeCurrent() cannot exec service action due to QCopServer connection problems");
    const uint serial = fixture.manager->deleteMessages({QMailMessageId(5)});
    QCOMPARE(fixture.server()->requestCount(), 0);
    QVERIFY(fixture.log->lines.isEmpty());

    fixture.server()->establishIpcConnection();
    QCOMPARE(fixture.calls(), QStringList{"deleteMessages"});
    QCOMPARE(fixture.log->take(), QStringList{QStringLiteral("A%1 Pending 0").arg(serial)});
}

void TestManagerScheduler::enqueueRetriesAWaitingOperation()
{
    // The store's connection comes back without telling anyone.
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg,
                         "bool ZavekServiceActionManager::executeCurrent() cannot exec service action due to QCopServer connection problems");
    fixture.manager->deleteMessages({QMailMessageId(5)});
    {
        const QSignalBlocker silence(QMailStore::instance());
        QmfStandIn::setIpcConnectionEstablished(true);
    }
    QCOMPARE(fixture.server()->requestCount(), 0);
    fixture.manager->deleteMessages({QMailMessageId(6)});
    QCOMPARE(fixture.calls(), QStringList{"deleteMessages"});

    // The option is switched off while a network operation waits.
    fixture.server()->succeed(fixture.running());
    fixture.server()->succeed(fixture.running());
    fixture.network->setOnline(false);
    fixture.manager->sync(account);
    QCOMPARE(fixture.server()->requestCount(), 2);
    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    fixture.manager->exportUpdates(account);
    QCOMPARE(fixture.calls(), (QStringList{"deleteMessages", "deleteMessages", "synchronizeAll"}));
}

void TestManagerScheduler::receiverQueueingDuringCompletionGetsItsRequestStartedOnce()
{
    Manager *manager = fixture.manager.data();
    const uint first = manager->retrieveMessagePart(fixture.part(1, 1));
    const WarningLog warnings;
    uint followUp = 0;
    connect(manager, &Manager::activityChanged, this,
            [&](Manager::Serial serial, QMailServiceAction::Activity activity, const Status &) {
                if (serial == first && activity == QMailServiceAction::Successful)
                    followUp = manager->retrieveMessagePart(fixture.part(1, 2));
            });
    fixture.server()->succeed(fixture.running());
    QVERIFY(followUp != 0);
    QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "retrieveMessagePart"}));
    QCOMPARE(fixture.log->lines.filter(QStringLiteral("A%1 Pending").arg(followUp)).size(), 1);
    // A second start would be refused by the busy action, with its warning.
    QVERIFY(warnings.lines.filter(QStringLiteral("still running")).isEmpty());
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), 2);
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::operationCompletingInsideItsOwnStartLeavesTheNextOneRunning()
{
    // An outgoing message with unresolved references is written directly: the addition
    // completes inside exec(), and the next operation starts from there.
    Manager *manager = fixture.manager.data();
    manager->retrieveMessagePart(fixture.part(1, 1));
    QMailMessage message;
    message.setParentAccountId(account);
    message.setStatus(QMailMessage::HasUnresolvedReferences, true);
    const uint add = manager->addMessages({message});
    const uint after = manager->deleteMessages({QMailMessageId(9)});
    fixture.server()->succeed(fixture.running());
    QVERIFY(fixture.log->lines.contains(QStringLiteral("A%1 Successful 0").arg(add)));
    QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "addMessages", "deleteMessages"}));
    fixture.server()->succeed(fixture.running());
    QVERIFY(fixture.log->lines.contains(QStringLiteral("A%1 Successful 0").arg(after)));
    QCOMPARE(fixture.server()->requestCount(), 3);
}

void TestManagerScheduler::statusAndProgressAreRelayedUnchanged()
{
    const uint serial = fixture.manager->retrieveMessages({QMailMessageId(3)}, QMailRetrievalAction::Content);
    QSignalSpy statuses(fixture.manager.data(), &Manager::statusChanged);
    const Status status(Status::ErrTimeout, QStringLiteral("slow"), account, QMailFolderId(4), QMailMessageId(3));
    fixture.server()->setStatus(fixture.running(), status);
    QCOMPARE(statuses.size(), 1);
    QCOMPARE(statuses.at(0).at(0).toUInt(), serial);
    const Status relayed = statuses.at(0).at(1).value<Status>();
    QCOMPARE(relayed.errorCode, status.errorCode);
    QCOMPARE(relayed.text, status.text);
    QCOMPARE(relayed.accountId, status.accountId);
    QCOMPARE(relayed.folderId, status.folderId);
    QCOMPARE(relayed.messageId, status.messageId);

    fixture.log->take();
    fixture.server()->setProgress(fixture.running(), 3, 10);
    fixture.server()->setProgress(fixture.running(), 0, 0);
    fixture.server()->setConnectivity(fixture.running(), QMailServiceAction::Connected);
    QCOMPARE(fixture.log->take(), (QStringList{QStringLiteral("P%1 3/10").arg(serial), QStringLiteral("P%1 0/0").arg(serial)}));
}

void TestManagerScheduler::strayReportsAreDroppedWithAWarning()
{
    Manager *manager = fixture.manager.data();
    manager->deleteMessages({QMailMessageId(1)});
    QMailServiceAction *storage = fixture.running();
    fixture.server()->succeed(storage);
    manager->retrieveMessagePart(fixture.part(2, 1));
    fixture.log->take();

    // The storage action reports although the current operation runs on another action.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^void ZavekServiceActionManager::onActionStatusChanged.*dropped$")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^void ZavekServiceActionManager::onActionProgressChanged.*dropped$")));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^void ZavekServiceActionManager::onActionActivityChanged.*dropped$")));
    emit storage->statusChanged(Status());
    emit storage->progressChanged(1, 2);
    emit storage->activityChanged(QMailServiceAction::Failed);
    QVERIFY(fixture.log->lines.isEmpty());

    // And nothing is current at all.
    fixture.server()->succeed(fixture.running());
    fixture.log->take();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("onActionActivityChanged.*dropped$")));
    emit storage->activityChanged(QMailServiceAction::Successful);
    QVERIFY(fixture.log->lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestManagerScheduler)
#include "tst_manager_scheduler.moc"
