// The queue and its scheduler: order, merging limits, pre-emption, cancellation, restarts,
// waiting for the store, re-entrant requests and the relays of status and progress.

#include "managerfixture.h"

#include <QtTest>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;
// What happens to a pre-empted run before it has stopped.
using During = std::function<void(ZavekServiceActionManager &, QMailServiceAction *interrupted)>;
Q_DECLARE_METATYPE(During)

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
    void storeChangeJoinsOnlyTheLastStoreChange_data();
    void storeChangeJoinsOnlyTheLastStoreChange();
    void preemptedSyncEndsExactlyOnce_data();
    void preemptedSyncEndsExactlyOnce();
    void followUpCancelledBehindItsPreemptedRun();
    void runningExportIsNeverInterrupted();
    void waitingOperationStepsBackForUrgentWork();
    void cancellingQueuedWaitingOrUnknownReportsFailure();
    void operationWaitingWhileHundredsPassRunsOnceUnderItsSerial();
    void internalStateResetRestartsAtMostThreeTimes();
    void cancelledRunIsAskedEachTimeAndNeverRestarted();
    void equalRequestNeverJoinsACancelledRun_data();
    void equalRequestNeverJoinsACancelledRun();
    void resetWhileTheStoreIsUnreachableRestartsOnceItIsBack();
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
    QTest::addColumn<Issue>("request");
    QTest::newRow("send") << Issue([](Manager &m) { return m.send(QMailAccountId(1)); });
    QTest::newRow("exportUpdates") << Issue([](Manager &m) { return m.exportUpdates(QMailAccountId(1)); });
    QTest::newRow("sync") << Issue([](Manager &m) { return m.sync(QMailAccountId(1)); });
}

void TestManagerScheduler::snapshotRequestsQueueOneFollowUp()
{
    QFETCH(Issue, request);
    Manager &manager = *fixture.manager;
    const uint running = request(manager);
    const uint followUp = request(manager);
    QVERIFY(followUp != running);
    QCOMPARE(request(manager), followUp);
    QCOMPARE(fixture.succeedAll(), 2);
    QCOMPARE(ends(fixture.log->lines), (QStringList{line("A%1 Successful 0", running), line("A%1 Successful 0", followUp)}));
}

void TestManagerScheduler::storeChangeJoinsOnlyTheLastStoreChange_data()
{
    const QMailMessageIdList ids{QMailMessageId(7)};
    QMailMessage message;
    message.setId(QMailMessageId(7));
    const Issue read = [=](Manager &m) { return m.flagMessages(ids, QMailMessage::Read, 0); };
    const Issue update = [=](Manager &m) { return m.updateMessages({message}); };
    const QStringList flagUpdateFlag{"flagMessages", "updateMessages", "flagMessages"};
    QTest::addColumn<Issue>("change");
    QTest::addColumn<Issue>("between");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<bool>("changeRunsFirst");   // else a retrieval runs, and the change waits
    QTest::newRow("read, unread, read") << read << Issue([=](Manager &m) { return m.flagMessages(ids, 0, QMailMessage::Read); })
                                        << QStringList{"flagMessages", "flagMessages", "flagMessages"} << false;
    QTest::newRow("flag, update, flag") << read << update << flagUpdateFlag << false;
    QTest::newRow("flag running, update, flag") << read << update << flagUpdateFlag << true;
    QTest::newRow("delete, add, delete") << Issue([=](Manager &m) { return m.deleteMessages(ids); })
                                         << Issue([=](Manager &m) { return m.addMessages({message}); })
                                         << QStringList{"deleteMessages", "addMessages", "deleteMessages"} << false;
    QTest::newRow("move, update, move") << Issue([=](Manager &m) { return m.moveMessages(ids, QMailFolderId(2)); }) << update
                                        << QStringList{"moveMessages", "updateMessages", "moveMessages"} << false;
}

void TestManagerScheduler::storeChangeJoinsOnlyTheLastStoreChange()
{
    QFETCH(Issue, change);
    QFETCH(Issue, between);
    QFETCH(QStringList, calls);
    QFETCH(bool, changeRunsFirst);
    Manager &manager = *fixture.manager;
    if (!changeRunsFirst)
        manager.retrieveMessages({QMailMessageId(9)}, QMailRetrievalAction::Content);
    const uint first = change(manager);
    between(manager);
    // Merged into the first, it would run before the change between, which would undo it.
    const uint last = change(manager);
    QVERIFY(last != first);
    QCOMPARE(change(manager), last);   // nothing changed since: it joins
    fixture.succeedAll();
    QCOMPARE(fixture.calls().mid(changeRunsFirst ? 0 : 1), calls);
}

void TestManagerScheduler::preemptedSyncEndsExactlyOnce_data()
{
    QTest::addColumn<Issue>("urgent");
    QTest::addColumn<During>("during");
    // From the urgent request on: the sync is A1, the urgent request A2; each start shows as
    // the service action's own Pending.
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<int>("cancellations");
    const Issue part = [](Manager &m) { return m.retrieveMessagePart(ManagerFixture::part(3, 1)); };
    const During answer = [](Manager &, QMailServiceAction *run) { ManagerFixture::server()->answerCancellation(run); };
    QTest::newRow("runs again under its serial")
        << part << answer
        << QStringList{"A2 Pending 0", "A1 Pending 0", "A2 Pending 0", "A2 Successful 0", "A1 Pending 0", "A1 Successful 0"} << 1;
    QTest::newRow("second urgent request, no second copy")
        << part << During([=](Manager &m, QMailServiceAction *run) {
               m.retrieveMessagePart(ManagerFixture::part(3, 2));
               answer(m, run);
           })
        << QStringList{"A2 Pending 0", "A3 Pending 0", "A1 Pending 0", "A2 Pending 0", "A2 Successful 0", "A3 Pending 0",
                       "A3 Successful 0", "A1 Pending 0", "A1 Successful 0"} << 1;
    // Two different service actions: nothing but the manager keeps them from running at once.
    QTest::newRow("send waits for the sync to stop")
        << Issue([](Manager &m) { return m.send(QMailAccountId(1)); }) << answer
        << QStringList{"A2 Pending 0", "A1 Pending 0", "A2 Pending 0", "A2 Successful 0", "A1 Pending 0", "A1 Successful 0"} << 1;
    // Its reports are not relayed, but its success counts.
    QTest::newRow("interrupted run succeeds")
        << part << During([](Manager &, QMailServiceAction *run) {
               ManagerFixture::server()->setActivity(run, QMailServiceAction::InProgress);
               ManagerFixture::server()->setStatus(run, Status(Status::ErrTimeout, "nearly", QMailAccountId(1), {}, {}));
               ManagerFixture::server()->setProgress(run, 3, 4);
               ManagerFixture::server()->succeed(run);
           })
        << QStringList{"A2 Pending 0", "A1 Successful 1040", "A2 Pending 0", "A2 Successful 0"} << 1;
    // Asked again, and the end of the interrupted run is final.
    QTest::newRow("cancelled by the caller")
        << part << During([=](Manager &m, QMailServiceAction *run) {
               m.cancelOperation(1);
               answer(m, run);
           })
        << QStringList{"A2 Pending 0", "S1 1030", "A1 Failed 1030", "A2 Pending 0", "A2 Successful 0"} << 2;
    QTest::newRow("stop")
        << part << During([=](Manager &m, QMailServiceAction *run) {
               m.stop();
               answer(m, run);
           })
        << QStringList{"A2 Pending 0", "S2 1030", "A2 Failed 1030", "S1 1030", "A1 Failed 1030"} << 3;
}

void TestManagerScheduler::preemptedSyncEndsExactlyOnce()
{
    QFETCH(Issue, urgent);
    QFETCH(During, during);
    QFETCH(QStringList, log);
    QFETCH(int, cancellations);
    Manager &manager = *fixture.manager;
    fixture.server()->setAnswerCancellations(false);
    manager.sync(account);
    QMailServiceAction *interrupted = fixture.running();
    fixture.log->take();
    QCOMPARE(urgent(manager), 2u);
    QCOMPARE(fixture.calls(), QStringList{"synchronizeAll"});   // nothing starts beside the interrupted run
    if (log.contains("A1 Failed 1030"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1030"));
    during(manager, interrupted);
    fixture.succeedAll();
    QCOMPARE(fixture.log->lines, log);
    QCOMPARE(fixture.server()->cancellationRequests().size(), cancellations);
    QVERIFY(!manager.operationInfo(1));
}

void TestManagerScheduler::runningExportIsNeverInterrupted()
{
    Manager &manager = *fixture.manager;
    const uint exported = manager.exportUpdates(account);
    fixture.log->take();
    // Urgent work and the user's changes wait for the export's end, then go first; the
    // export ends once.
    manager.retrieveMessagePart(fixture.part(3, 1));
    manager.flagMessages({QMailMessageId(4)}, QMailMessage::Read, 0);
    manager.sync(account);
    QCOMPARE(fixture.calls(), QStringList{"exportUpdates"});
    QVERIFY(fixture.server()->cancellationRequests().isEmpty());
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"exportUpdates", "retrieveMessagePart", "flagMessages", "synchronizeAll"}));
    QCOMPARE(fixture.log->lines.filter(line("A%1 ", exported)), QStringList{line("A%1 Successful 0", exported)});
}

void TestManagerScheduler::followUpCancelledBehindItsPreemptedRun()
{
    Manager *manager = fixture.manager.data();
    fixture.server()->setAnswerCancellations(false);
    const uint sync = manager->sync(account);
    QMailServiceAction *interrupted = fixture.running();
    const uint followUp = manager->sync(account);
    manager->retrieveMessagePart(fixture.part(3, 1));   // the sync waits again, ahead of its follow-up
    // A receiver asks again while the follow-up's end is reported, as a retry would.
    uint again = 0;
    connect(manager, &Manager::activityChanged, this, [&](uint serial, QMailServiceAction::Activity activity) {
        if (serial == followUp && activity == QMailServiceAction::Failed)
            again = manager->sync(account);
    });
    manager->cancelOperation(followUp);
    // The cancelled follow-up is gone for good: the request is a follow-up of its own.
    QVERIFY(again != 0 && again != sync && again != followUp);
    QCOMPARE(manager->sync(account), again);
    fixture.server()->answerCancellation(interrupted);
    fixture.succeedAll();
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "retrieveMessagePart", "synchronizeAll", "synchronizeAll"}));
}

void TestManagerScheduler::waitingOperationStepsBackForUrgentWork()
{
    fixture.network->setOnline(false);
    const uint sync = fixture.manager->sync(account);   // waits for the network
    const uint removal = fixture.manager->deleteMessages({QMailMessageId(4)});   // needs none
    QCOMPARE(fixture.calls(), QStringList{"deleteMessages"});
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
    fixture.succeedAll();
    QCOMPARE(fixture.calls().mid(301), (QStringList{"synchronizeAll", "retrieveMessagePart", "synchronizeAll"}));
    QCOMPARE(ends(fixture.log->lines).mid(301), (QStringList{line("A%1 Successful 0", part), line("A%1 Successful 0", sync)}));
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

void TestManagerScheduler::cancelledRunIsAskedEachTimeAndNeverRestarted()
{
    // Every cancel asks the action again; ended by a reset, the cancelled run is not restarted.
    fixture.server()->setAnswerCancellations(false);
    const uint serial = fixture.manager->sync(account);
    fixture.manager->cancelOperation(serial);
    fixture.manager->cancelOperation(serial);
    QCOMPARE(fixture.server()->cancellationRequests().size(), 2);
    fixture.log->take();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1041"));
    fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
    QCOMPARE(fixture.server()->requestCount(), 1);
    QCOMPARE(fixture.log->take(), (QStringList{line("S%1 1041", serial), line("A%1 Failed 1041", serial)}));
}

void TestManagerScheduler::equalRequestNeverJoinsACancelledRun_data()
{
    const QMailMessageIdList ids{QMailMessageId(3)};
    QTest::addColumn<Issue>("request");
    QTest::newRow("part") << Issue([](Manager &m) { return m.retrieveMessagePart(ManagerFixture::part(3, 1)); });
    QTest::newRow("flag") << Issue([=](Manager &m) { return m.flagMessages(ids, QMailMessage::Read, 0); });
    QTest::newRow("delete") << Issue([=](Manager &m) { return m.deleteMessages(ids); });
}

void TestManagerScheduler::equalRequestNeverJoinsACancelledRun()
{
    // Asked again while the cancel of its run is pending: the user's new request runs on its own, after it.
    QFETCH(Issue, request);
    fixture.server()->setAnswerCancellations(false);
    const uint cancelled = request(*fixture.manager);
    fixture.manager->cancelOperation(cancelled);
    const uint again = request(*fixture.manager);
    QVERIFY(again != cancelled);
    QCOMPARE(request(*fixture.manager), again);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1030"));
    fixture.server()->answerCancellation(fixture.running());
    QCOMPARE(fixture.succeedAll(), 1);
    QCOMPARE(ends(fixture.log->take()), (QStringList{line("A%1 Failed 1030", cancelled), line("A%1 Successful 0", again)}));
}

void TestManagerScheduler::resetWhileTheStoreIsUnreachableRestartsOnceItIsBack()
{
    const uint serial = fixture.manager->retrieveMessagePart(fixture.part(1, 1));
    QmfStandIn::setIpcConnectionEstablished(false);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Action finished .* error: 1041"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Internal state reset: restarting"));
    QTest::ignoreMessage(QtWarningMsg, ipcWarning);
    fixture.server()->fail(fixture.running(), Status::ErrInternalStateReset);
    QCOMPARE(fixture.server()->requestCount(), 1);
    fixture.server()->establishIpcConnection();
    fixture.network->setOnline(false);
    fixture.network->setOnline(true);
    QCOMPARE(fixture.server()->requestCount(), 2);
    fixture.server()->succeed(fixture.running());
    QCOMPARE(ends(fixture.log->lines), QStringList{line("A%1 Successful 0", serial)});
}

void TestManagerScheduler::waitingOperationStartsWhenConditionsChange()
{
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg, ipcWarning);
    const uint serial = fixture.manager->deleteMessages({QMailMessageId(5)});
    QCOMPARE(fixture.server()->requestCount(), 0);
    fixture.server()->establishIpcConnection();
    QCOMPARE(fixture.log->take(), QStringList{line("A%1 Pending 0", serial)});
    fixture.server()->succeed(fixture.running());

    // The connection comes back unannounced: the next request starts the waiting one.
    fixture.server()->dropIpcConnection();
    QTest::ignoreMessage(QtWarningMsg, ipcWarning);
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
}

QTEST_GUILESS_MAIN(TestManagerScheduler)
#include "tst_manager_scheduler.moc"
