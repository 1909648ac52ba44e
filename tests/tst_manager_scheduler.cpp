// The queue and its scheduler: order, merging limits, pre-emption, cancellation, restarts,
// waiting for the store, re-entrant requests and the relays of status and progress.

#include "managerfixture.h"

#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;
using Request = std::function<uint(ZavekServiceActionManager &)>;
Q_DECLARE_METATYPE(Request)

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

    void urgentWorkFirstTiesInArrivalOrder();
    void snapshotRequestsQueueOneFollowUp_data();
    void snapshotRequestsQueueOneFollowUp();
    void lastStoreChangeWins();
    void additionsAndUpdatesAreStoreChangesToo_data();
    void additionsAndUpdatesAreStoreChangesToo();
    void preemptedOperationRunsAgainUnderItsSerial();
    void preemptedRunThatSucceedsIsFinished();
    void followUpCancelledBehindItsPreemptedRun();
    void sendWaitsUntilThePreemptedSyncHasStopped();
    void stopDuringAPreemptionEndsEachSerialOnce();
    void waitingOperationStepsBackForUrgentWork();
    void cancellingQueuedWaitingOrUnknownReportsFailure();
    void stopCancelsQueueInOrderThenTheRunningOne();
    void operationWaitingWhileHundredsPassRunsOnceUnderItsSerial();
    void internalStateResetRestartsAtMostThreeTimes();
    void cancelledRunIsNotRestartedAfterAReset();
    void resetWhileTheStoreIsUnreachableRestartsOnceItIsBack();
    void everyCancelOfARunningOperationAsksItsAction();
    void waitingOperationStartsWhenConditionsChange();
    void receiverQueueingDuringCompletionStartsItOnce();
    void relaysPassReportsOfTheCurrentOperationOnly();

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

void TestManagerScheduler::urgentWorkFirstTiesInArrivalOrder()
{
    Manager *manager = fixture.manager.data();
    manager->retrieveMessagePart(fixture.part(1, 1));
    QCOMPARE(manager->retrieveMessagePart(fixture.part(1, 1)), 1u);   // retrievals join the running one
    manager->sync(account);
    manager->exportUpdates(account);
    manager->retrieveMessages({QMailMessageId(2)}, QMailRetrievalAction::Content);
    manager->deleteMessages({QMailMessageId(3)});
    QCOMPARE(fixture.log->take(), (QStringList{"A1 Pending 0", "A1 Pending 0", "A2 Pending 0", "A3 Pending 0",
                                               "A4 Pending 0", "A5 Pending 0"}));
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "retrieveMessages", "deleteMessages",
                                           "synchronizeAll", "exportUpdates"}));
    QVERIFY(fixture.server()->cancellationRequests().isEmpty());
}

void TestManagerScheduler::snapshotRequestsQueueOneFollowUp_data()
{
    QTest::addColumn<Request>("request");
    QTest::newRow("send") << Request([](Manager &m) { return m.send(QMailAccountId(1)); });
    QTest::newRow("exportUpdates") << Request([](Manager &m) { return m.exportUpdates(QMailAccountId(1)); });
    QTest::newRow("sync") << Request([](Manager &m) { return m.sync(QMailAccountId(1)); });
}

void TestManagerScheduler::snapshotRequestsQueueOneFollowUp()
{
    QFETCH(Request, request);
    Manager &manager = *fixture.manager;
    const uint running = request(manager);
    const uint followUp = request(manager);
    QVERIFY(followUp != running);
    QCOMPARE(request(manager), followUp);
    QCOMPARE(fixture.succeedAll(), 2);
    QVERIFY(fixture.log->lines.contains(line("A%1 Successful 0", running)));
    QVERIFY(fixture.log->lines.contains(line("A%1 Successful 0", followUp)));
}

void TestManagerScheduler::lastStoreChangeWins()
{
    Manager *manager = fixture.manager.data();
    const QMailMessageIdList ids{QMailMessageId(7)};
    manager->retrieveMessagePart(fixture.part(9, 1));
    const uint read = manager->flagMessages(ids, 0x1, 0);
    const uint unread = manager->flagMessages(ids, 0, 0x1);
    const uint readAgain = manager->flagMessages(ids, 0x1, 0);
    QCOMPARE(QSet<uint>({read, unread, readAgain}).size(), 3);
    QCOMPARE(manager->flagMessages(ids, 0x1, 0), readAgain);   // nothing changed since: joins
    // The later of two equal requests goes first: the earlier one stays and runs.
    manager->cancelOperation(readAgain);
    QCOMPARE(fixture.succeedAll(), 3);
    QCOMPARE(fixture.server()->requests().at(1).arguments.value(1).value<quint64>(), quint64(0x1));
    QCOMPARE(fixture.server()->requests().last().arguments.value(2).value<quint64>(), quint64(0x1));
}

void TestManagerScheduler::additionsAndUpdatesAreStoreChangesToo_data()
{
    const QMailMessageIdList ids{QMailMessageId(7)};
    QMailMessage message;
    message.setId(QMailMessageId(7));
    const QMailMessageList messages{message};
    QTest::addColumn<Request>("change");
    QTest::addColumn<Request>("between");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("changeRunsFirst");   // else a retrieval runs, and the change waits
    QTest::newRow("flag, update, flag") << Request([=](Manager &m) { return m.flagMessages(ids, QMailMessage::Read, 0); })
                                        << Request([=](Manager &m) { return m.updateMessages(messages); })
                                        << QStringList{"flagMessages", "updateMessages", "flagMessages"} << false;
    QTest::newRow("flag running, update, flag") << Request([=](Manager &m) { return m.flagMessages(ids, QMailMessage::Read, 0); })
                                                << Request([=](Manager &m) { return m.updateMessages(messages); })
                                                << QStringList{"flagMessages", "updateMessages", "flagMessages"} << true;
    QTest::newRow("delete, add, delete") << Request([=](Manager &m) { return m.deleteMessages(ids); })
                                         << Request([=](Manager &m) { return m.addMessages(messages); })
                                         << QStringList{"deleteMessages", "addMessages", "deleteMessages"} << false;
    QTest::newRow("move, update, move") << Request([=](Manager &m) { return m.moveMessages(ids, QMailFolderId(2)); })
                                        << Request([=](Manager &m) { return m.updateMessages(messages); })
                                        << QStringList{"moveMessages", "updateMessages", "moveMessages"} << false;
}

void TestManagerScheduler::additionsAndUpdatesAreStoreChangesToo()
{
    QFETCH(Request, change);
    QFETCH(Request, between);
    QFETCH(QStringList, calls);
    QFETCH(bool, changeRunsFirst);
    Manager &manager = *fixture.manager;
    if (!changeRunsFirst)
        manager.retrieveMessages({QMailMessageId(9)}, QMailRetrievalAction::Content);
    const uint first = change(manager);
    between(manager);
    // Merged into the first, it would run before the update, which would undo it.
    QVERIFY(change(manager) != first);
    fixture.succeedAll();
    QCOMPARE(fixture.calls().mid(changeRunsFirst ? 0 : 1), calls);
}

void TestManagerScheduler::preemptedOperationRunsAgainUnderItsSerial()
{
    Manager *manager = fixture.manager.data();
    const uint sync = manager->sync(account);
    fixture.log->take();
    const uint part = manager->retrieveMessagePart(fixture.part(3, 1));
    manager->retrieveMessagePart(fixture.part(3, 2));   // no second copy of the sync
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);

    // The cancellation answer comes on the next turn; the sync is queued again, not cancelled.
    QTRY_COMPARE(fixture.server()->requestCount(), 2);
    QCOMPARE(fixture.log->take(), (QStringList{line("A%1 Pending 0", part), line("A%1 Pending 0", part + 1),
                                                line("A%1 Pending 0", sync), line("A%1 Pending 0", part)}));
    QVERIFY(manager->operationInfo(sync));
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "retrieveMessagePart", "synchronizeAll"}));
    QCOMPARE(fixture.log->lines.filter(line("A%1 ", sync)), (QStringList{line("A%1 Pending 0", sync), line("A%1 Successful 0", sync)}));
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::preemptedRunThatSucceedsIsFinished()
{
    fixture.server()->setAnswerCancellations(false);
    const uint sync = fixture.manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    const uint part = fixture.manager->retrieveMessagePart(fixture.part(3, 1));
    fixture.log->take();
    // Its reports are not relayed, but its success counts.
    fixture.server()->setActivity(retrieval, QMailServiceAction::InProgress);
    fixture.server()->setStatus(retrieval, Status(Status::ErrNoError, "nearly", account, QMailFolderId(), QMailMessageId()));
    fixture.server()->setProgress(retrieval, 3, 4);
    fixture.server()->succeed(retrieval);
    QCOMPARE(fixture.log->take(), (QStringList{line("A%1 Successful 0", sync), line("A%1 Pending 0", part)}));
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart"}));
}

void TestManagerScheduler::followUpCancelledBehindItsPreemptedRun()
{
    Manager *manager = fixture.manager.data();
    const uint sync = manager->sync(account);
    const uint followUp = manager->sync(account);
    manager->retrieveMessagePart(fixture.part(3, 1));
    QTRY_COMPARE(fixture.server()->requestCount(), 2);   // the sync waits again, ahead of its follow-up
    manager->cancelOperation(followUp);
    fixture.server()->succeed(fixture.running());
    // The cancelled follow-up is gone for good: a new request is a follow-up of its own.
    const uint again = manager->sync(account);
    QVERIFY(again != sync && again != followUp);
    QCOMPARE(manager->sync(account), again);
    while (fixture.running())
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "synchronizeAll", "synchronizeAll"}));
}

void TestManagerScheduler::sendWaitsUntilThePreemptedSyncHasStopped()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    const uint send = manager->send(account);
    // Two different service actions: nothing but the manager keeps them from running at once.
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});
    fixture.server()->answerCancellation(retrieval);
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "transmitMessages"}));
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "transmitMessages", "synchronizeAll"}));
    QCOMPARE(fixture.log->lines.filter(QRegularExpression("Successful|Failed")),
             (QStringList{line("A%1 Successful 0", send), line("A%1 Successful 0", sync)}));
}

void TestManagerScheduler::stopDuringAPreemptionEndsEachSerialOnce()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    const uint part = manager->retrieveMessagePart(fixture.part(1, 1));
    manager->stop();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1030"));
    fixture.server()->answerCancellation(retrieval);
    QCOMPARE(fixture.log->lines.filter("Failed"), (QStringList{line("A%1 Failed 1030", part), line("A%1 Failed 1030", sync)}));
    QCOMPARE(fixture.server()->requestCount(), 1);
    QVERIFY(!manager->operationInfo(sync));
}

void TestManagerScheduler::waitingOperationStepsBackForUrgentWork()
{
    fixture.network->setOnline(false);
    const uint sync = fixture.manager->sync(account);   // waits for the network
    const uint removal = fixture.manager->deleteMessages({QMailMessageId(4)});   // needs none
    QCOMPARE(fixture.calls(), QStringList{"deleteMessages"});
    QVERIFY(fixture.server()->cancellationRequests().isEmpty());
    fixture.server()->succeed(fixture.running());
    fixture.network->setOnline(true);
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->take(), (QStringList{line("A%1 Pending 0", removal), line("A%1 Successful 0", removal),
                                                line("A%1 Pending 0", sync), line("A%1 Successful 0", sync)}));

    // Urgent work that cannot start either is told that it waits.
    fixture.network->setOnline(false);
    fixture.manager->sync(account);
    const uint part = fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    QCOMPARE(fixture.log->take(), QStringList{line("A%1 Pending 0", part)});
}

void TestManagerScheduler::cancellingQueuedWaitingOrUnknownReportsFailure()
{
    Manager *manager = fixture.manager.data();
    fixture.network->setOnline(false);
    const uint waiting = manager->sync(account);
    const uint queued = manager->retrieveFolderList(account, QMailFolderId(), true);
    const uint next = manager->exportUpdates(account);
    fixture.log->take();
    manager->cancelOperation(queued);
    manager->cancelOperation(waiting);
    manager->cancelOperation(99);
    QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1030", queued), line("A%1 Failed 1030", queued),
                                                line("S%1 1030", waiting), line("A%1 Failed 1030", waiting),
                                                "S99 1030", "A99 Failed 1030"}));
    QVERIFY(!manager->operationInfo(queued) && !manager->operationInfo(waiting));
    fixture.network->setOnline(true);
    QCOMPARE(fixture.calls(), QStringList{"exportUpdates"});   // the cancelled ones never run

    // A running one is cancelled by the server, which reports the outcome.
    fixture.log->take();
    manager->cancelOperation(next);
    QVERIFY(fixture.log->lines.isEmpty());
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(
        "^void ZavekServiceActionManager::onActionActivityChanged\\(QMailServiceAction::Activity\\) Action finished .* \"Cancelled by user\" error: 1030 store error: 0$"));
    QTRY_COMPARE(fixture.log->lines, (QStringList{line("S%1 1030", next), line("A%1 Failed 1030", next)}));
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
    QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1030", a), line("A%1 Failed 1030", a), line("S%1 1030", b),
                                                line("A%1 Failed 1030", b), line("S%1 1030", c), line("A%1 Failed 1030", c)}));
    QCOMPARE(fixture.server()->cancellationRequests().size(), 1);
    QTRY_VERIFY(fixture.log->lines.contains(line("A%1 Failed 1030", running)));
    QCOMPARE(fixture.server()->requestCount(), 1);
}

void TestManagerScheduler::operationWaitingWhileHundredsPassRunsOnceUnderItsSerial()
{
    Manager *manager = fixture.manager.data();
    manager->retrieveMessagePart(fixture.part(1, 1));
    const uint sync = manager->sync(account);
    for (int i = 0; i < 300; ++i) {
        manager->retrieveMessagePart(fixture.part(2 + i, 1));
        fixture.server()->succeed(fixture.running());
    }
    QVERIFY(manager->operationInfo(sync));
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls().size(), 302);
    QCOMPARE(fixture.calls().last(), QStringLiteral("synchronizeAll"));

    // Interrupted by the newest request, the oldest serial is queued again and runs once more.
    const uint part = manager->retrieveMessagePart(fixture.part(1000, 1));
    QTRY_COMPARE(fixture.server()->requestCount(), 303);
    QVERIFY(manager->operationInfo(sync));
    fixture.server()->succeed(fixture.running());
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls().mid(301), (QStringList{"synchronizeAll", "retrieveMessagePart", "synchronizeAll"}));
    // Each run starts with the server's own Pending.
    QCOMPARE(fixture.log->lines.filter(QRegularExpression(QStringLiteral("^A(%1|%2) ").arg(sync).arg(part))),
             (QStringList{line("A%1 Pending 0", sync), line("A%1 Pending 0", sync), line("A%1 Pending 0", part),
                          line("A%1 Pending 0", sync), line("A%1 Pending 0", part), line("A%1 Successful 0", part),
                          line("A%1 Pending 0", sync), line("A%1 Successful 0", sync)}));
    QVERIFY(!manager->operationInfo(sync));
}

void TestManagerScheduler::internalStateResetRestartsAtMostThreeTimes()
{
    // Pre-empted first: it comes back with a fresh count.
    const uint serial = fixture.manager->sync(account);
    fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    QTRY_COMPARE(fixture.server()->requestCount(), 2);
    fixture.server()->succeed(fixture.running());
    for (int run = 1; run <= 4; ++run) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1041"));
        QTest::ignoreMessage(QtWarningMsg, run < 4 ? QRegularExpression("^void ZavekServiceActionManager::onActionActivityChanged"
                                                                        "\\(QMailServiceAction::Activity\\) Internal state reset: "
                                                                        "restarting current action\\.$")
                                                   : QRegularExpression("giving up"));
        fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
        QCOMPARE(fixture.server()->requestCount(), 3 + qMin(run, 3));
        QCOMPARE(bool(fixture.manager->operationInfo(serial)), run < 4);
    }
    QCOMPARE(fixture.log->lines.filter("Failed"), QStringList{line("A%1 Failed 1041", serial)});
}

void TestManagerScheduler::cancelledRunIsNotRestartedAfterAReset()
{
    fixture.server()->setAnswerCancellations(false);
    const uint serial = fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    fixture.manager->cancelOperation(serial);
    fixture.log->take();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1041"));
    fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
    QCOMPARE(fixture.server()->requestCount(), 1);
    QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1041", serial), line("A%1 Failed 1041", serial)}));
}

void TestManagerScheduler::resetWhileTheStoreIsUnreachableRestartsOnceItIsBack()
{
    const uint serial = fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    QmfStandIn::setIpcConnectionEstablished(false);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1041"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Internal state reset: restarting"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("cannot exec service action"));
    fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
    QCOMPARE(fixture.server()->requestCount(), 1);
    fixture.server()->establishIpcConnection();
    fixture.network->setOnline(false);
    fixture.network->setOnline(true);
    QCOMPARE(fixture.server()->requestCount(), 2);
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.log->lines.filter(QRegularExpression("Successful|Failed")), QStringList{line("A%1 Successful 0", serial)});
}

void TestManagerScheduler::everyCancelOfARunningOperationAsksItsAction()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    manager->cancelOperation(sync);
    manager->cancelOperation(sync);
    QCOMPARE(fixture.server()->cancellationRequests().size(), 2);
    fixture.server()->answerCancellation(fixture.running());

    // Pre-empted, then cancelled by the caller: asked again, and the run's end is final.
    const uint second = manager->sync(account);
    QMailServiceAction *retrieval = fixture.running();
    manager->retrieveMessagePart(fixture.part(4, 1));
    manager->cancelOperation(second);
    QCOMPARE(fixture.server()->cancellationRequests().size(), 4);
    fixture.server()->answerCancellation(retrieval);
    QVERIFY(fixture.log->lines.contains(line("A%1 Failed 1030", second)));
    fixture.server()->succeed(fixture.running());
    QVERIFY(!fixture.running());
}

void TestManagerScheduler::waitingOperationStartsWhenConditionsChange()
{
    const QByteArray ipcWarning =
        "bool ZavekServiceActionManager::executeCurrent() cannot exec service action due to QCopServer connection problems";
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg, ipcWarning.constData());
    const uint serial = fixture.manager->deleteMessages({QMailMessageId(5)});
    QCOMPARE(fixture.server()->requestCount(), 0);
    fixture.server()->establishIpcConnection();
    QCOMPARE(fixture.log->take(), QStringList{line("A%1 Pending 0", serial)});
    fixture.server()->succeed(fixture.running());

    // The connection comes back unannounced: the next request starts the waiting one.
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg, ipcWarning.constData());
    fixture.manager->deleteMessages({QMailMessageId(6)});
    {
        const QSignalBlocker silence(QMailStore::instance());
        QmfStandIn::setIpcConnectionEstablished(true);
    }
    fixture.manager->deleteMessages({QMailMessageId(7)});
    QCOMPARE(fixture.succeedAll(), 2);

    // The option is switched off while a network operation waits.
    fixture.network->setOnline(false);
    fixture.manager->sync(account);
    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    fixture.manager->exportUpdates(account);
    QCOMPARE(fixture.calls().last(), QStringLiteral("synchronizeAll"));
}

void TestManagerScheduler::receiverQueueingDuringCompletionStartsItOnce()
{
    Manager *manager = fixture.manager.data();
    const uint first = manager->retrieveMessagePart(fixture.part(1, 1));
    const WarningLog warnings;
    connect(manager, &Manager::activityChanged, this, [&](uint serial, QMailServiceAction::Activity activity) {
        if (serial == first && activity == QMailServiceAction::Successful)
            manager->retrieveMessagePart(fixture.part(1, 2));
    });
    fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"retrieveMessagePart", "retrieveMessagePart"}));
    // A second start would be refused by the busy action, with its warning.
    QVERIFY(warnings.lines.filter("still running").isEmpty());

    // An addition written directly completes inside its own start; the next one still runs.
    QMailMessage message;
    message.setStatus(QMailMessage::HasUnresolvedReferences, true);
    const uint add = manager->addMessages({message});
    manager->deleteMessages({QMailMessageId(9)});
    fixture.server()->succeed(fixture.running());
    QVERIFY(fixture.log->lines.contains(line("A%1 Successful 0", add)));
    QCOMPARE(fixture.calls().mid(2), (QStringList{"addMessages", "deleteMessages"}));
}

void TestManagerScheduler::relaysPassReportsOfTheCurrentOperationOnly()
{
    Manager *manager = fixture.manager.data();
    manager->deleteMessages({QMailMessageId(1)});
    QMailServiceAction *storage = fixture.running();
    fixture.server()->succeed(storage);
    const uint serial = manager->retrieveMessages({QMailMessageId(3)}, QMailRetrievalAction::Content);
    fixture.log->take();

    QMailServiceAction::Status received;
    connect(manager, &Manager::statusChanged, this, [&](uint, const Status &status) { received = status; });
    fixture.server()->setStatus(fixture.running(), Status(Status::ErrTimeout, "slow", account, QMailFolderId(4), QMailMessageId(3)));
    QCOMPARE(received.text, QStringLiteral("slow"));
    QCOMPARE(received.folderId, QMailFolderId(4));
    QCOMPARE(received.messageId, QMailMessageId(3));
    fixture.server()->setProgress(fixture.running(), 3, 10);
    fixture.server()->setProgress(fixture.running(), 0, 0);
    fixture.server()->setConnectivity(fixture.running(), QMailServiceAction::Connected);
    QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1040", serial), line("P%1 3/10", serial), line("P%1 0/0", serial)}));

    // Another of the manager's actions, while this one runs, speaks for no serial.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^void ZavekServiceActionManager::onActionStatusChanged.*dropped$"));
    emit storage->statusChanged(Status());
    QVERIFY(fixture.log->lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestManagerScheduler)
#include "tst_manager_scheduler.moc"
