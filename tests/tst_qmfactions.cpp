// Service actions and the action observer of the client layer, driven through the scripted
// message server: the order of their signals, cancellation, a busy action, a lost connection.

#include <qmailmessageserver.h>
#include <qmailserviceaction.h>
#include <qmailstore.h>
#include <qmailstorecontrol.h>

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

QList<QMailActionId> idsOf(const QList<QSharedPointer<QMailActionInfo> > &list)
{
    QList<QMailActionId> ids;
    for (const QSharedPointer<QMailActionInfo> &info : list)
        ids << (info ? info->id() : 0);
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

    void requestEndsSuccessfulOrFailed_data()
    {
        QTest::addColumn<bool>("succeed");
        QTest::addColumn<QStringList>("expected");
        // Pending reaches the action's listeners before the server hears of the request.
        QTest::newRow("success") << true << QStringList{"activity:0", "request:exportUpdates", "connectivity:2",
                                                        "activity:1", "progress:10/10", "activity:2"};
        QTest::newRow("failure") << false << QStringList{"activity:0", "request:exportUpdates", "connectivity:2",
                                                         "activity:1", "progress:10/10", "status:1029", "activity:3"};
    }

    void requestEndsSuccessfulOrFailed()
    {
        QFETCH(bool, succeed);
        QMailRetrievalAction action;
        SignalLog log(&action);
        bool runningAtEnd = true;   // as a slot on the final activity sees it
        connect(&action, &QMailServiceAction::activityChanged, this, [&](QMailServiceAction::Activity a) {
            if (a == QMailServiceAction::Successful || a == QMailServiceAction::Failed)
                runningAtEnd = action.isRunning();
        });

        action.exportUpdates(QMailAccountId(2));
        QVERIFY(action.isRunning());
        server()->setConnectivity(&action, QMailServiceAction::Connected);
        server()->setActivity(&action, QMailServiceAction::InProgress);
        server()->setProgress(&action, 15, 10);   // clamped to the total
        server()->setProgress(&action, 12, 10);   // unchanged: not announced again
        if (succeed)
            server()->succeed(&action);
        else
            server()->fail(&action, Status::ErrLoginFailed, QStringLiteral("Login failed"));

        QTEST(log.entries, "expected");
        QVERIFY(!runningAtEnd);
        QCOMPARE(action.status().text, succeed ? QString() : QStringLiteral("Login failed"));
        QVERIFY(server()->runningRequests().isEmpty());
    }

    void busyActionRefusesASecondRequestButNotTheNext()
    {
        // The manager starts its next operation from its activityChanged slot; the rest of
        // the finished request's report must not reach the new one.
        QMailRetrievalAction action;
        SignalLog log(&action);
        connect(&action, &QMailServiceAction::activityChanged, this, [&](QMailServiceAction::Activity a) {
            if (a == QMailServiceAction::Failed)
                action.retrieveMessagePart(QMailMessagePart::Location(QStringLiteral("8-1")));
        });
        action.synchronize(QMailAccountId(1), 20);
        QTest::ignoreMessage(QtWarningMsg, "QMailServiceAction: a request is still running; not starting \"exportUpdates\"");
        action.exportUpdates(QMailAccountId(1));
        server()->fail(&action, Status::ErrTimeout);
        QCOMPARE(log.entries, (QStringList{"activity:0", "request:synchronize", "status:1040", "activity:3", "activity:0",
                                           "request:retrieveMessagePart"}));
        QCOMPARE(server()->runningRequest(&action).call, QStringLiteral("retrieveMessagePart"));
    }

    void cancellationIsAnsweredOnTheNextTurn()
    {
        QMailRetrievalAction action;
        SignalLog log(&action);
        QTest::ignoreMessage(QtWarningMsg, "QMailServiceAction::cancelOperation(): no running request to cancel");
        action.cancelOperation();
        action.synchronize(QMailAccountId(1), 20);
        action.cancelOperation();
        QCOMPARE(log.entries.size(), 2);   // nothing inside cancelOperation itself
        QCOMPARE(server()->cancellationRequests().size(), 1);
        QTRY_VERIFY(!action.isRunning());
        QCOMPARE(log.entries.mid(2), (QStringList{"status:1030", "activity:3"}));
        QCOMPARE(action.status().text, QStringLiteral("Cancelled by user"));

        // A request that ended before the answer came is left alone.
        action.exportUpdates(QMailAccountId(1));
        action.cancelOperation();
        server()->succeed(&action);
        QCoreApplication::processEvents();
        QCOMPARE(action.activity(), QMailServiceAction::Successful);
    }

    void requestWhileTheIpcConnectionIsDownFailsOnTheNextTurn()
    {
        // (A run that the drop cuts off is checked through the manager, in tst_faults.)
        QMailRetrievalAction action;
        QSignalSpy established(QMailStore::instance(), SIGNAL(ipcConnectionEstablished()));
        server()->dropIpcConnection();
        action.exportUpdates(QMailAccountId(1));
        QVERIFY(action.isRunning());
        QTRY_VERIFY(!action.isRunning());
        QCOMPARE(action.status().errorCode, Status::ErrInternalServer);
        server()->establishIpcConnection();
        QCOMPARE(established.size(), 1);
    }

    void observerReportsRunningActions()
    {
        QMailActionObserver observer;
        QSignalSpy changed(&observer, SIGNAL(actionsChanged(QList<QSharedPointer<QMailActionInfo> >)));
        // The constructor's request is answered like one over IPC: after a turn, also when empty.
        QCOMPARE(changed.size(), 0);
        QTRY_COMPARE(changed.size(), 1);

        server()->setRunningActions({QmfStandIn::ObservedAction(9, SynchronizeRequestType),
                                     QmfStandIn::ObservedAction(4, RetrieveMessagePartRequestType, Status::ErrTimeout,
                                                                QStringLiteral("slow"))});
        const QList<QSharedPointer<QMailActionInfo> > reported = observer.actions();
        QCOMPARE(idsOf(reported), (QList<QMailActionId>{4, 9}));
        QCOMPARE(reported.first()->statusErrorCode(), Status::ErrTimeout);
        QCOMPARE(reported.first()->statusText(), QStringLiteral("slow"));

        // A new answer keeps the info objects and refreshes their state.
        QSignalSpy code(reported.first().data(), SIGNAL(statusErrorCodeChanged(QMailActionInfo::StatusErrorCode)));
        server()->setObservedActionStatus(4, Status(Status::ErrNoConnection, QString(), QMailAccountId(1), QMailFolderId(),
                                                    QMailMessageId()));
        QCOMPARE(code.size(), 1);
        observer.listActionsRequest();
        QTRY_COMPARE(changed.size(), 3);
        QCOMPARE(observer.actions(), reported);

        // A completed action turns Successful and leaves the list one turn later.
        server()->completeObservedAction(4);
        QCOMPARE(reported.first()->activity(), QMailServiceAction::Successful);
        QTRY_COMPARE(idsOf(observer.actions()), QList<QMailActionId>{9});
    }
};

QTEST_GUILESS_MAIN(TestQmfActions)
#include "tst_qmfactions.moc"
