#include <zaveknambackendstrategies.h>

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

namespace {

// A reply the test drives by hand, with the signals a network reply emits.
class ScriptedReply : public QNetworkReply
{
public:
    ScriptedReply() { open(QIODevice::ReadOnly); }
    void abort() override {}
    void reportError(NetworkError code)
    {
        // Only the signal both majors have: Qt 6 has no other, so a closure that listens
        // to the old one misses every error here.
        setError(code, QStringLiteral("scripted"));
        Q_EMIT errorOccurred(code);
    }
    void finish()
    {
        setFinished(true);
        Q_EMIT finished();
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
};

using Completions = QList<QNetworkReply::NetworkError>;

class RecordingClosure : public NamClosureBase
{
public:
    RecordingClosure(QNetworkReply *reply, Completions *completions)
        : NamClosureBase(reply)
        , m_completions(completions)
    {
    }

protected:
    void complete(QNetworkReply::NetworkError error) override { m_completions->append(error); }

private:
    Completions *m_completions;
};

} // namespace

class TestNamClosure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lastErrorIsPassedOnceAndBothAreDeleted_data()
    {
        QTest::addColumn<Completions>("errors");
        QTest::addColumn<QNetworkReply::NetworkError>("expected");
        QTest::newRow("no error") << Completions() << QNetworkReply::NoError;
        QTest::newRow("two errors: the last wins")
            << Completions{QNetworkReply::TimeoutError, QNetworkReply::OperationCanceledError}
            << QNetworkReply::OperationCanceledError;
    }

    void lastErrorIsPassedOnceAndBothAreDeleted()
    {
        QFETCH(Completions, errors);
        QFETCH(QNetworkReply::NetworkError, expected);
        auto *reply = new ScriptedReply;
        QSignalSpy replyGone(reply, &QObject::destroyed);
        Completions completions;
        QPointer<NamClosureBase> closure = new RecordingClosure(reply, &completions);
        for (QNetworkReply::NetworkError code : errors)
            reply->reportError(code);
        QVERIFY(completions.isEmpty());
        // Connected after the closure, so it runs right after the closure's slot: both must
        // still be alive there, their deletion deferred.
        connect(reply, &QNetworkReply::finished, this, [&] { QVERIFY(closure && replyGone.isEmpty()); });
        reply->finish();
        QCOMPARE(completions, Completions{expected});
        QTRY_COMPARE(replyGone.count(), 1);
        QTRY_VERIFY(!closure);
        QCOMPARE(completions.size(), 1);
    }

    void finishedReplyIsAnsweredOnTheNextTurn_data()
    {
        QTest::addColumn<bool>("deleteReply");
        QTest::newRow("reply kept") << false;
        // As a deleteLater() connected to finished() does before the next turn.
        QTest::newRow("reply deleted first") << true;
    }

    void finishedReplyIsAnsweredOnTheNextTurn()
    {
        QFETCH(bool, deleteReply);
        QPointer<ScriptedReply> reply = new ScriptedReply;
        reply->reportError(QNetworkReply::ContentNotFoundError);
        reply->finish();
        Completions completions;
        QPointer<NamClosureBase> closure = new RecordingClosure(reply, &completions);
        if (deleteReply)
            delete reply;
        QVERIFY(completions.isEmpty());
        QTRY_COMPARE(completions, Completions{QNetworkReply::ContentNotFoundError});
        QTRY_VERIFY(!closure && !reply);
    }

    void nullReplyIsAnsweredWithAnError()
    {
        Completions completions;
        QTest::ignoreMessage(QtWarningMsg, "NamClosureBase::NamClosureBase(QNetworkReply*, QObject*) no reply to wait for");
        QPointer<NamClosureBase> closure = new RecordingClosure(nullptr, &completions);
        QTRY_COMPARE(completions, Completions{QNetworkReply::UnknownNetworkError});
        QTRY_VERIFY(!closure);
    }
};

QTEST_GUILESS_MAIN(TestNamClosure)
#include "tst_namclosure.moc"
