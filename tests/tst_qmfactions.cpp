// Service actions, the action observer and the message server in scripted mode.

#include <qmailmessageserver.h>
#include <qmailserviceaction.h>
#include <qmailstore.h>
#include <qmailstorecontrol.h>

#include <QPointer>
#include <QSignalSpy>
#include <QStringList>
#include <QTest>

using QmfStandIn::MessageServer;
using Status = QMailServiceAction::Status;

namespace {

MessageServer *server()
{
    return MessageServer::instance();
}

// Records every signal of an action, as text, in emission order.
class SignalLog : public QObject
{
public:
    explicit SignalLog(QMailServiceAction *action)
    {
        connect(action, &QMailServiceAction::connectivityChanged, this,
                [this](QMailServiceAction::Connectivity c) { entries << QStringLiteral("connectivity:%1").arg(c); });
        connect(action, &QMailServiceAction::activityChanged, this,
                [this](QMailServiceAction::Activity a) { entries << QStringLiteral("activity:%1").arg(a); });
        connect(action, &QMailServiceAction::progressChanged, this,
                [this](uint v, uint t) { entries << QStringLiteral("progress:%1/%2").arg(v).arg(t); });
        connect(action, &QMailServiceAction::statusChanged, this,
                [this](const Status &s) { entries << QStringLiteral("status:%1").arg(s.errorCode); });
        connect(server(), &MessageServer::requestReceived, this,
                [this](const QmfStandIn::Request &r) { entries << QStringLiteral("request:") + r.call; });
    }
    QStringList entries;
};

QMailActionId idOf(const QSharedPointer<QMailActionInfo> &info)
{
    return info ? info->id() : 0;
}

QList<QMailActionId> idsOf(const QList<QSharedPointer<QMailActionInfo> > &list)
{
    QList<QMailActionId> ids;
    for (const QSharedPointer<QMailActionInfo> &info : list)
        ids << idOf(info);
    return ids;
}

} // namespace

class TestQmfActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QmfStandIn::resetStore();
        server()->reset();
    }

    void requestIsRecordedWithArguments()
    {
        QMailRetrievalAction retrieval;
        QMailStorageAction storage;
        QMailTransmitAction transmit;
        const QMailAccountId account(3);
        const QMailFolderId folder(7);
        const QMailMessageIdList ids { QMailMessageId(4), QMailMessageId(5) };
        const QMailMessagePart::Location part(QStringLiteral("42-2.1"));
        quint64 expectedId = 0;
        // Checks the request just made, then ends it so that the action can take the next.
        const auto recorded = [&](QMailServiceAction *action, const QString &call, QMailServerRequestType type,
                                  const QVariantList &arguments) {
            const QmfStandIn::Request request = server()->lastRequest();
            const bool asExpected = request.id == ++expectedId && request.action == action && request.call == call
                && request.type == type && request.arguments == arguments
                && server()->runningRequest(action).id == request.id && server()->runningRequests().size() == 1;
            server()->succeed(action);
            return asExpected;
        };

        retrieval.retrieveMessagePart(part);
        QVERIFY(recorded(&retrieval, "retrieveMessagePart", RetrieveMessagePartRequestType, { part.toString(true) }));
        retrieval.retrieveMessagePartRange(part, 1024);
        QVERIFY(recorded(&retrieval, "retrieveMessagePartRange", RetrieveMessagePartRangeRequestType,
                         { part.toString(true), 1024u }));
        retrieval.retrieveFolderList(account, folder, false);
        QVERIFY(recorded(&retrieval, "retrieveFolderList", RetrieveFolderListRequestType,
                         { QVariant::fromValue(account), QVariant::fromValue(folder), false }));
        retrieval.retrieveMessages(ids, QMailRetrievalAction::Content);
        QVERIFY(recorded(&retrieval, "retrieveMessages", RetrieveMessagesRequestType,
                         { QVariant::fromValue(ids), QVariant::fromValue(QMailRetrievalAction::Content) }));
        retrieval.synchronize(account, 20);
        QVERIFY(recorded(&retrieval, "synchronize", SynchronizeRequestType, { QVariant::fromValue(account), 20u }));
        storage.flagMessages(ids, 0x80, 0x800);
        QVERIFY(recorded(&storage, "flagMessages", FlagMessagesRequestType,
                         { QVariant::fromValue(ids), QVariant::fromValue(quint64(0x80)), QVariant::fromValue(quint64(0x800)) }));
        storage.moveMessages(ids, folder);
        QVERIFY(recorded(&storage, "moveMessages", MoveMessagesRequestType,
                         { QVariant::fromValue(ids), QVariant::fromValue(folder) }));
        transmit.transmitMessages(account);
        QVERIFY(recorded(&transmit, "transmitMessages", TransmitMessagesRequestType, { QVariant::fromValue(account) }));
    }

    void requestIsPendingInsideTheCall()
    {
        QMailRetrievalAction action;
        SignalLog log(&action);
        action.synchronize(QMailAccountId(1), 20);
        // Pending reaches the action's listeners before the server hears of the request.
        QCOMPARE(log.entries, QStringList({ "activity:0", "request:synchronize" }));
        QVERIFY(action.isRunning());
        QCOMPARE(action.activity(), QMailServiceAction::Pending);
    }

    void requestEndsSuccessfulOrFailed_data()
    {
        QTest::addColumn<bool>("succeed");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("success") << true
                                 << QStringList { "activity:0", "request:exportUpdates", "connectivity:2",
                                                  "activity:1", "progress:3/10", "activity:2" };
        QTest::newRow("failure") << false
                                 << QStringList { "activity:0", "request:exportUpdates", "connectivity:2",
                                                  "activity:1", "progress:3/10", "status:1029", "activity:3" };
    }

    void requestEndsSuccessfulOrFailed()
    {
        QFETCH(bool, succeed);
        QFETCH(QStringList, expected);

        QMailRetrievalAction action;
        SignalLog log(&action);
        // What a slot on the final activity change sees.
        bool runningAtEnd = true;
        Status statusAtEnd;
        connect(&action, &QMailServiceAction::activityChanged, this, [&](QMailServiceAction::Activity a) {
            if (a == QMailServiceAction::Successful || a == QMailServiceAction::Failed) {
                runningAtEnd = action.isRunning();
                statusAtEnd = action.status();
            }
        });

        action.exportUpdates(QMailAccountId(2));
        server()->setConnectivity(&action, QMailServiceAction::Connected);
        server()->setActivity(&action, QMailServiceAction::InProgress);
        server()->setProgress(&action, 3, 10);
        if (succeed)
            server()->succeed(&action);
        else
            server()->fail(&action, Status::ErrLoginFailed, QStringLiteral("Login failed"));

        QCOMPARE(log.entries, expected);
        QVERIFY(!runningAtEnd);
        QVERIFY(!action.isRunning());
        QCOMPARE(action.activity(), succeed ? QMailServiceAction::Successful : QMailServiceAction::Failed);
        QCOMPARE(statusAtEnd.errorCode, succeed ? Status::ErrNoError : Status::ErrLoginFailed);
        QCOMPARE(action.status().text, succeed ? QString() : QStringLiteral("Login failed"));
        QCOMPARE(action.progress(), qMakePair(3u, 10u));
        QVERIFY(server()->runningRequests().isEmpty());
        QCOMPARE(server()->requestCount(), 1);

        // Answers for a finished request go nowhere.
        QTest::ignoreMessage(QtWarningMsg,
                             "QmfStandIn::MessageServer::succeed: the action has no running request");
        server()->succeed(&action);
        QCOMPARE(log.entries.size(), expected.size());
    }

    void progressIsClampedToTotal()
    {
        QMailRetrievalAction action;
        QSignalSpy progress(&action, &QMailServiceAction::progressChanged);
        action.retrieveMessageRange(QMailMessageId(9), 100);
        server()->setProgress(&action, 15, 10);
        QCOMPARE(progress.size(), 1);
        QCOMPARE(progress.at(0).at(0).toUInt(), 10u);
        QCOMPARE(action.progress(), qMakePair(10u, 10u));
        // An unchanged value is not announced again.
        server()->setProgress(&action, 12, 10);
        QCOMPARE(progress.size(), 1);
    }

    void busyActionRefusesSecondRequest()
    {
        QMailRetrievalAction action;
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        action.synchronize(QMailAccountId(1), 20);
        QTest::ignoreMessage(QtWarningMsg,
                             "QMailServiceAction: a request is still running; not starting \"exportUpdates\"");
        action.exportUpdates(QMailAccountId(1));
        QCOMPARE(activity.size(), 1);
        QCOMPARE(server()->requestCount(), 1);
        QCOMPARE(server()->runningRequest(&action).call, QStringLiteral("synchronize"));
    }

    void slotOnCompletionMayStartTheNextRequest()
    {
        // The manager starts its next operation from its activityChanged slot; the rest of
        // the finished request's report must not reach the new one.
        QMailRetrievalAction action;
        QStringList seen;
        connect(&action, &QMailServiceAction::activityChanged, this, [&](QMailServiceAction::Activity a) {
            seen << QStringLiteral("activity:%1").arg(a);
            if (a == QMailServiceAction::Successful)
                action.retrieveMessagePart(QMailMessagePart::Location(QStringLiteral("8-1")));
        });
        connect(&action, &QMailServiceAction::statusChanged, this,
                [&](const Status &s) { seen << QStringLiteral("status:%1").arg(s.errorCode); });

        action.exportUpdates(QMailAccountId(2));
        server()->succeed(&action);
        QCOMPARE(seen, QStringList({ "activity:0", "activity:2", "activity:0" }));
        QVERIFY(action.isRunning());
        QCOMPARE(server()->runningRequest(&action).call, QStringLiteral("retrieveMessagePart"));
        QCOMPARE(server()->runningRequests().size(), 1);
    }

    void cancellationEndsFailedWithErrCancel()
    {
        QMailRetrievalAction action;
        SignalLog log(&action);
        action.synchronize(QMailAccountId(1), 20);
        action.cancelOperation();
        // Nothing happens inside cancelOperation itself.
        QCOMPARE(log.entries.size(), 2);
        QVERIFY(action.isRunning());
        QCOMPARE(server()->cancellationRequests().size(), 1);
        QCOMPARE(server()->cancellationRequests().first().data(), &action);

        QTRY_VERIFY(!action.isRunning());
        QCOMPARE(log.entries.mid(2), QStringList({ "status:1030", "activity:3" }));
        QCOMPARE(action.status().errorCode, Status::ErrCancel);
        QCOMPARE(action.status().text, QStringLiteral("Cancelled by user"));
    }

    void cancellationAnsweredByTheTest()
    {
        server()->setAnswerCancellations(false);
        QMailStorageAction action;
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        action.deleteMessages({ QMailMessageId(1) });
        action.cancelOperation();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY(action.isRunning());
        QCOMPARE(activity.size(), 1);

        server()->answerCancellation(&action);
        QCOMPARE(activity.size(), 2);
        QCOMPARE(activity.last().first().value<QMailServiceAction::Activity>(), QMailServiceAction::Failed);
        QCOMPARE(action.status().errorCode, Status::ErrCancel);
    }

    void cancellationOfIdleActionIsRefused()
    {
        QMailTransmitAction action;
        QTest::ignoreMessage(QtWarningMsg, "QMailServiceAction::cancelOperation(): no running request to cancel");
        action.cancelOperation();
        QVERIFY(server()->cancellationRequests().isEmpty());

        // A request that ended before the answer came is left alone.
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        action.transmitMessages(QMailAccountId(1));
        action.cancelOperation();
        server()->succeed(&action);
        QCoreApplication::processEvents();
        QCOMPARE(activity.size(), 2);
        QCOMPARE(action.activity(), QMailServiceAction::Successful);
    }

    void resetForgetsRunningRequests()
    {
        QMailRetrievalAction action;
        action.synchronize(QMailAccountId(1), 20);
        action.cancelOperation();
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        server()->reset();
        QVERIFY(!action.isRunning());
        QCOMPARE(server()->requestCount(), 0);
        QCoreApplication::processEvents();
        QCOMPARE(activity.size(), 0);   // the pending cancellation answer died with the reset

        action.exportUpdates(QMailAccountId(1));
        QCOMPARE(server()->lastRequest().id, quint64(1));
    }

    void droppedIpcConnectionFailsRunningRequests()
    {
        QMailRetrievalAction action;
        QSignalSpy status(&action, &QMailServiceAction::statusChanged);
        QSignalSpy activity(&action, &QMailServiceAction::activityChanged);
        QSignalSpy established(QMailStore::instance(), SIGNAL(ipcConnectionEstablished()));
        action.retrieveFolderList(QMailAccountId(1), QMailFolderId());

        server()->dropIpcConnection();
        QVERIFY(!QMailStore::instance()->isIpcConnectionEstablished());
        QCOMPARE(status.size(), 1);
        QCOMPARE(status.first().first().value<Status>().errorCode, Status::ErrInternalServer);
        QCOMPARE(activity.last().first().value<QMailServiceAction::Activity>(), QMailServiceAction::Failed);

        // While the connection is down a request fails on the next event-loop turn.
        action.exportUpdates(QMailAccountId(1));
        QVERIFY(action.isRunning());
        QTRY_VERIFY(!action.isRunning());
        QCOMPARE(action.activity(), QMailServiceAction::Failed);
        QCOMPARE(action.status().errorCode, Status::ErrInternalServer);

        server()->establishIpcConnection();
        QVERIFY(QMailStore::instance()->isIpcConnectionEstablished());
        QCOMPARE(established.size(), 1);
    }

    void observerReportsFullListInAscendingOrder()
    {
        QMailActionObserver observer;
        QSignalSpy changed(&observer, SIGNAL(actionsChanged(QList<QSharedPointer<QMailActionInfo> >)));
        QVERIFY(changed.isValid());
        // The constructor's request is answered like one over IPC: after a turn, also when empty.
        QCOMPARE(changed.size(), 0);
        QTRY_COMPARE(changed.size(), 1);
        QVERIFY(observer.actions().isEmpty());

        server()->setRunningActions({ QmfStandIn::ObservedAction(9, SynchronizeRequestType),
                                      QmfStandIn::ObservedAction(4, RetrieveMessagePartRequestType,
                                                                 Status::ErrTimeout, QStringLiteral("slow")) });
        QCOMPARE(changed.size(), 2);
        const QList<QSharedPointer<QMailActionInfo> > reported =
                changed.last().first().value<QList<QSharedPointer<QMailActionInfo> > >();
        QCOMPARE(idsOf(reported), QList<QMailActionId>({ 4, 9 }));
        QCOMPARE(reported.first()->requestType(), RetrieveMessagePartRequestType);
        QCOMPARE(reported.first()->statusErrorCode(), Status::ErrTimeout);
        QCOMPARE(reported.first()->statusText(), QStringLiteral("slow"));
        QCOMPARE(reported.last()->activity(), QMailServiceAction::InProgress);

        // listActionsRequest answers again in full, with the same info objects.
        observer.listActionsRequest();
        QTRY_COMPARE(changed.size(), 3);
        QCOMPARE(observer.actions(), reported);

        // A new answer refreshes the state of the info objects it keeps.
        server()->setRunningActions({ QmfStandIn::ObservedAction(4, RetrieveMessagePartRequestType,
                                                                 Status::ErrNoConnection) });
        QCOMPARE(observer.actions().first(), reported.first());
        QCOMPARE(reported.first()->statusErrorCode(), Status::ErrNoConnection);

        // A second observer sees the same actions through its own info objects.
        QMailActionObserver other;
        QTRY_COMPARE(idsOf(other.actions()), QList<QMailActionId>({ 4 }));
        QVERIFY(other.actions().first() != reported.first());
    }

    void observedActionStatusAndCompletion()
    {
        QMailActionObserver observer;
        QSignalSpy changed(&observer, &QMailActionObserver::actionsChanged);
        QTRY_COMPARE(changed.size(), 1);   // the constructor's answer
        server()->setRunningActions({ QmfStandIn::ObservedAction(3, TransmitMessagesRequestType),
                                      QmfStandIn::ObservedAction(5, ExportUpdatesRequestType) });
        const QSharedPointer<QMailActionInfo> info = observer.actions().first();
        QSignalSpy status(info.data(), SIGNAL(statusChanged(QMailServiceAction::Status)));
        QSignalSpy code(info.data(), SIGNAL(statusErrorCodeChanged(QMailActionInfo::StatusErrorCode)));
        QSignalSpy activity(info.data(), SIGNAL(activityChanged(QMailServiceAction::Activity)));
        changed.clear();

        server()->setObservedActionStatus(3, Status(Status::ErrNoConnection, QStringLiteral("offline"),
                                                    QMailAccountId(1), QMailFolderId(), QMailMessageId()));
        QCOMPARE(status.size(), 1);
        QCOMPARE(code.size(), 1);
        QCOMPARE(info->statusErrorCode(), Status::ErrNoConnection);
        QCOMPARE(info->status().accountId, QMailAccountId(1));

        server()->completeObservedAction(3);
        QCOMPARE(activity.size(), 1);
        QCOMPARE(info->activity(), QMailServiceAction::Successful);
        QCOMPARE(changed.size(), 0);   // it leaves the list one turn later
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(idsOf(observer.actions()), QList<QMailActionId>({ 5 }));

        server()->completeObservedAction(5);
        QTRY_COMPARE(changed.size(), 2);
        QVERIFY(observer.actions().isEmpty());
        QVERIFY(changed.last().first().value<QList<QSharedPointer<QMailActionInfo> > >().isEmpty());

        QTest::ignoreMessage(QtWarningMsg, "QmfStandIn::MessageServer::completeObservedAction: no running action 5");
        server()->completeObservedAction(5);
    }

    void stringConnectionsToEverySignal()
    {
        QMailRetrievalAction retrieval;
        QMailTransmitAction transmit;
        QMailStorageAction storage;
        QMailActionObserver observer;
        const char *const common[] = {
            SIGNAL(connectivityChanged(QMailServiceAction::Connectivity)),
            SIGNAL(activityChanged(QMailServiceAction::Activity)),
            SIGNAL(statusChanged(QMailServiceAction::Status)),
            SIGNAL(progressChanged(uint,uint)),
        };
        for (QMailServiceAction *action : { static_cast<QMailServiceAction *>(&retrieval),
                                            static_cast<QMailServiceAction *>(&transmit),
                                            static_cast<QMailServiceAction *>(&storage),
                                            static_cast<QMailServiceAction *>(&observer) }) {
            for (const char *signal : common)
                QVERIFY2(QSignalSpy(action, signal).isValid(), signal);
        }
        QVERIFY(QSignalSpy(&transmit, SIGNAL(messagesTransmitted(QMailMessageIdList))).isValid());
        QVERIFY(QSignalSpy(&transmit, SIGNAL(messagesFailedTransmission(QMailMessageIdList,
                                                                         QMailServiceAction::Status::ErrorCode)))
                        .isValid());
        QVERIFY(QSignalSpy(&observer, SIGNAL(actionsChanged(QList<QSharedPointer<QMailActionInfo> >))).isValid());

        // Queued delivery needs the types registered by name.
        for (const char *name : { "QMailServiceAction::Status", "QMailServiceAction::Activity",
                                  "QMailServiceAction::Connectivity", "QMailServiceAction::Status::ErrorCode",
                                  "QMailRetrievalAction::RetrievalSpecification", "QMailServerRequestType",
                                  "QList<QSharedPointer<QMailActionInfo> >", "QMailActionInfo::StatusErrorCode" })
            QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);

        QList<Status> received;
        connect(&retrieval, &QMailServiceAction::statusChanged, this,
                [&](const Status &s) { received << s; }, Qt::QueuedConnection);
        retrieval.exportUpdates(QMailAccountId(6));
        server()->fail(&retrieval, Status::ErrTimeout, QStringLiteral("late"));
        QTRY_COMPARE(received.size(), 1);
        QCOMPARE(received.first().text, QStringLiteral("late"));
    }

    void transmitAndStorageReports()
    {
        QMailTransmitAction transmit;
        QSignalSpy sent(&transmit, &QMailTransmitAction::messagesTransmitted);
        QSignalSpy failed(&transmit, &QMailTransmitAction::messagesFailedTransmission);
        transmit.transmitMessages(QMailAccountId(1));
        server()->reportTransmitted(&transmit, { QMailMessageId(2) });
        server()->reportFailedTransmission(&transmit, { QMailMessageId(3) }, Status::ErrInvalidAddress);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first().first().value<QMailMessageIdList>(), QMailMessageIdList({ QMailMessageId(2) }));
        QCOMPARE(failed.first().at(1).value<Status::ErrorCode>(), Status::ErrInvalidAddress);

        QMailStorageAction storage;
        storage.addMessages(QMailMessageList() << QMailMessage());
        server()->setMessagesAdded(&storage, { QMailMessageId(11) });
        server()->succeed(&storage);
        QCOMPARE(storage.messagesAdded(), QMailMessageIdList({ QMailMessageId(11) }));
    }
};

QTEST_GUILESS_MAIN(TestQmfActions)
#include "tst_qmfactions.moc"
