#include "managerfixture.h"

#include <zavekbackendstrategies.h>

#include <QSignalSpy>
#include <QtTest>

namespace {

using Completions = QList<QMailServiceAction::Status>;

// The application's side: records each complete() call where the test can see it after
// the closure is gone.
class RecordingClosure : public ClosureBase
{
public:
    RecordingClosure(const QList<ZavekServiceActionManager::Serial> &serials, Completions *completions)
        : ClosureBase(serials)
        , m_completions(completions)
    {
    }

protected:
    void complete(const QMailServiceAction::Status &status) override { m_completions->append(status); }

private:
    Completions *m_completions;
};

} // namespace

class TestClosures : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        fixture.start();
        ZavekServiceActionManager::setTestInstance(fixture.manager.data());
    }

    void cleanup()
    {
        // Let closures that completed be deleted before their manager goes.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Another manager going leaves the installed one in place; that one uninstalls itself.
        delete new ZavekServiceActionManager(fixture.network->createManager());
        QCOMPARE(ZavekServiceActionManager::instance(), fixture.manager.data());
        fixture.finish();
    }

    void completesOnceWhenTheLastAwaitedOperationEnds()
    {
        const QList<ZavekServiceActionManager::Serial> serials = queueRetrievals(5);
        Completions completions;
        QPointer<ClosureBase> closure = new RecordingClosure({serials.at(2), serials.at(2), serials.at(3)}, &completions);
        // Ends of operations not awaited, whatever their activity, the end of the first awaited
        // one (listed twice, ended once) and activity short of an end change nothing yet.
        QmfStandIn::MessageServer *server = ManagerFixture::server();
        server->fail(ManagerFixture::running(), QMailServiceAction::Status::ErrCancel);
        server->succeed(ManagerFixture::running());
        server->succeed(ManagerFixture::running());
        server->setActivity(ManagerFixture::running(), QMailServiceAction::InProgress);
        QVERIFY(completions.isEmpty());

        // A failure ends it like a success; complete() gets the last status.
        server->fail(ManagerFixture::running(), QMailServiceAction::Status::ErrNoConnection);
        QCOMPARE(completions.size(), 1);
        QCOMPARE(completions.at(0).errorCode, QMailServiceAction::Status::ErrNoConnection);
        QVERIFY(closure); // deleted later, not inside the manager's signal
        QTRY_VERIFY(!closure);
        // Later ends of other operations reach a closure that is gone: nothing happens.
        server->succeed(ManagerFixture::running());
        QCOMPARE(completions.size(), 1);
    }

    void cancelledQueuedOperationCountsAsEnded()
    {
        const QList<ZavekServiceActionManager::Serial> serials = queueRetrievals(2);
        Completions completions;
        new RecordingClosure({serials.at(1)}, &completions);
        fixture.manager->cancelOperation(serials.at(1));
        QTRY_COMPARE(completions.size(), 1);
        QCOMPARE(completions.at(0).errorCode, QMailServiceAction::Status::ErrCancel);
    }

    void withoutSerialsCompletesOnTheNextTurn()
    {
        Completions completions;
        QPointer<ClosureBase> closure = new RecordingClosure({}, &completions);
        QVERIFY(completions.isEmpty());
        QTRY_COMPARE(completions.size(), 1);
        QTRY_VERIFY(!closure);
    }

private:
    // Queues count part retrievals; the first runs, the rest wait. Returns their serials.
    QList<ZavekServiceActionManager::Serial> queueRetrievals(int count);

    ManagerFixture fixture;
};

QList<ZavekServiceActionManager::Serial> TestClosures::queueRetrievals(int count)
{
    QList<ZavekServiceActionManager::Serial> serials;
    for (int i = 1; i <= count; ++i)
        serials.append(fixture.manager->retrieveMessagePart(ManagerFixture::part(100, i)));
    return serials;
}

QTEST_GUILESS_MAIN(TestClosures)
#include "tst_closures.moc"
