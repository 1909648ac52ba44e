#include <zaveknambackendstrategies.h>

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkRequest>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

// A loopback HTTP server: "/ok" answers 200, anything else 404.
class LocalServer : public QTcpServer
{
public:
    LocalServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { answer(socket); });
        });
    }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path));
    }

private:
    static void answer(QTcpSocket *socket)
    {
        QByteArray &request = requests()[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const bool found = request.startsWith("GET /ok ");
        requests().remove(socket);
        socket->write(found ? QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok")
                            : QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"));
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    static QHash<QTcpSocket *, QByteArray> &requests()
    {
        static QHash<QTcpSocket *, QByteArray> pending;
        return pending;
    }
};

// A reply the test drives by hand, for error sequences a real server cannot produce.
class ScriptedReply : public QNetworkReply
{
public:
    ScriptedReply() { open(QIODevice::ReadOnly); }
    void abort() override {}
    void reportError(NetworkError code)
    {
        setError(code, QStringLiteral("scripted"));
        Q_EMIT errorOccurred(code);
        QT_WARNING_PUSH
        QT_WARNING_DISABLE_DEPRECATED
        Q_EMIT error(code);
        QT_WARNING_POP
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
    void initTestCase();

    void realReplyIsRelayed_data();
    void realReplyIsRelayed();
    void lastOfTwoErrorsWins();
    void finishedReplyDeletedBeforeTheCompletionIsNotTouched();
    void nullReplyIsAnsweredWithAnError();

private:
    LocalServer m_server;
    QNetworkAccessManager m_network;
};

void TestNamClosure::initTestCase()
{
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    m_network.setProxy(QNetworkProxy::NoProxy);
}

void TestNamClosure::realReplyIsRelayed_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QNetworkReply::NetworkError>("expected");
    QTest::addColumn<bool>("finishedBeforehand");
    QTest::newRow("answered") << QStringLiteral("/ok") << QNetworkReply::NoError << false;
    QTest::newRow("not found") << QStringLiteral("/missing") << QNetworkReply::ContentNotFoundError << false;
    QTest::newRow("finished beforehand: answered next turn") << QStringLiteral("/gone")
                                                             << QNetworkReply::ContentNotFoundError << true;
}

void TestNamClosure::realReplyIsRelayed()
{
    QFETCH(QString, path);
    QFETCH(QNetworkReply::NetworkError, expected);
    QFETCH(bool, finishedBeforehand);
    QNetworkReply *reply = m_network.get(QNetworkRequest(m_server.url(path)));
    if (finishedBeforehand)
        QTRY_VERIFY(reply->isFinished());
    QSignalSpy replyGone(reply, &QObject::destroyed);
    Completions completions;
    auto *closure = new RecordingClosure(reply, &completions);
    QSignalSpy closureGone(closure, &QObject::destroyed);
    QVERIFY(completions.isEmpty());
    // Connected after the closure, so it runs right after the closure's slot: both must
    // still be alive there, their deletion deferred.
    int aliveAfterCompletion = -1;
    connect(reply, &QNetworkReply::finished, this, [&] {
        aliveAfterCompletion = completions.size() == 1 && replyGone.isEmpty() && closureGone.isEmpty();
    });

    QTRY_COMPARE(completions.size(), 1);
    QCOMPARE(completions.at(0), expected);
    if (!finishedBeforehand)
        QCOMPARE(aliveAfterCompletion, 1);
    QTRY_COMPARE(replyGone.count(), 1);
    QTRY_COMPARE(closureGone.count(), 1);
    QCOMPARE(completions.size(), 1);
}

void TestNamClosure::lastOfTwoErrorsWins()
{
    auto *reply = new ScriptedReply;
    QSignalSpy replyGone(reply, &QObject::destroyed);
    Completions completions;
    new RecordingClosure(reply, &completions);
    reply->reportError(QNetworkReply::TimeoutError);
    reply->reportError(QNetworkReply::OperationCanceledError);
    QVERIFY(completions.isEmpty());
    reply->finish();
    QCOMPARE(completions, QList<QNetworkReply::NetworkError>() << QNetworkReply::OperationCanceledError);
    QTRY_COMPARE(replyGone.count(), 1);
}

void TestNamClosure::finishedReplyDeletedBeforeTheCompletionIsNotTouched()
{
    auto *reply = new ScriptedReply;
    reply->reportError(QNetworkReply::ContentNotFoundError);
    reply->finish();
    Completions completions;
    QPointer<NamClosureBase> closure = new RecordingClosure(reply, &completions);
    delete reply;   // as a deleteLater() connected to finished() does before the next turn
    QTRY_COMPARE(completions, Completions{QNetworkReply::ContentNotFoundError});
    QTRY_VERIFY(!closure);
}

void TestNamClosure::nullReplyIsAnsweredWithAnError()
{
    Completions completions;
    QTest::ignoreMessage(QtWarningMsg, "NamClosureBase::NamClosureBase(QNetworkReply*, QObject*) no reply to wait for");
    QPointer<NamClosureBase> closure = new RecordingClosure(nullptr, &completions);
    QTRY_COMPARE(completions.size(), 1);
    QCOMPARE(completions.at(0), QNetworkReply::UnknownNetworkError);
    QTRY_VERIFY(!closure);
}

QTEST_GUILESS_MAIN(TestNamClosure)
#include "tst_namclosure.moc"
