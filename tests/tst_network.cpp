#include "zaveknetwork.h"
#include "zaveknetworkqt.h"
#include "zaveknetworkscripted.h"

#include <QScopedPointer>
#include <QSignalSpy>
#include <QtTest>

class TestNetwork : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlineStateReachesEveryManagerOnChangeOnly();
    void installedNetworkIsTheBackendInForce();
    void sessionsAreListedWithConfigurationAndProperties();
    void sessionsOpenCloseAndFailOnCommand();
    void autoOpenAndAutoCloseAnswerOnTheNextTurn();
    void managerOutlivingItsNetworkStaysSafe();
    void qtBackendAnswers();
};

void TestNetwork::onlineStateReachesEveryManagerOnChangeOnly()
{
    ZavekScriptedNetwork network;
    QScopedPointer<ZavekNetworkConfigurationManager> first(ZavekNetworkConfigurationManager::create());
    QScopedPointer<ZavekNetworkConfigurationManager> second(network.createManager());
    QSignalSpy firstSpy(first.data(), SIGNAL(onlineStateChanged(bool)));
    QSignalSpy secondSpy(second.data(), &ZavekNetworkConfigurationManager::onlineStateChanged);

    QVERIFY(!first->isOnline());
    network.setOnline(false);
    QCOMPARE(firstSpy.count(), 0);

    network.setOnline(true);
    network.setOnline(true);
    QCOMPARE(firstSpy.count(), 1);
    QCOMPARE(firstSpy.at(0).at(0).toBool(), true);
    QCOMPARE(secondSpy.count(), 1);
    QVERIFY(first->isOnline() && second->isOnline());

    network.setOnline(false);
    QCOMPARE(secondSpy.count(), 2);
    QCOMPARE(secondSpy.at(1).at(0).toBool(), false);
    QVERIFY(!second->isOnline());
}

void TestNetwork::installedNetworkIsTheBackendInForce()
{
    {
        ZavekScriptedNetwork outer;
        {
            ZavekScriptedNetwork inner;
            inner.setOnline(true);
            QScopedPointer<ZavekNetworkConfigurationManager> manager(ZavekNetworkConfigurationManager::create());
            QVERIFY(manager->isOnline());
        }
        // The inner network put the outer one back.
        QScopedPointer<ZavekNetworkConfigurationManager> manager(ZavekNetworkConfigurationManager::create());
        QVERIFY(!manager->isOnline());
        QScopedPointer<ZavekNetworkSession> session(manager->createSession(ZavekNetworkConfiguration()));
        QCOMPARE(outer.sessions().size(), 1);
    }
    QScopedPointer<ZavekNetworkConfigurationManager> manager(ZavekNetworkConfigurationManager::create());
    QVERIFY(qobject_cast<ZavekQtNetworkConfigurationManager *>(manager.data()));
}

void TestNetwork::sessionsAreListedWithConfigurationAndProperties()
{
    ZavekScriptedNetwork network;
    QScopedPointer<ZavekNetworkConfigurationManager> manager(network.createManager());
    const ZavekNetworkConfiguration wlan(QStringLiteral("wlan-1"), QStringLiteral("Home"));
    ZavekNetworkSession *first = manager->createSession(wlan);
    ZavekNetworkSession *second = manager->createSession(ZavekNetworkConfiguration(), this);
    QCOMPARE(second->parent(), this);
    QCOMPARE(network.sessions().at(0).data(), first);
    QCOMPARE(first->configuration(), wlan);

    // A null value removes the property rather than storing an invalid one.
    first->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant(false));
    ZavekScriptedNetworkSession *scripted = network.sessions().at(0);
    QCOMPARE(scripted->sessionProperty(QStringLiteral("ConnectInBackground")), QVariant(false));
    first->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant());
    QVERIFY(scripted->sessionProperties().isEmpty());

    // Deleted sessions stay listed, as null, so that tests can see they went.
    delete first;
    QCOMPARE(network.sessions().size(), 2);
    QVERIFY(network.sessions().at(0).isNull());
    delete second;
    QCOMPARE(network.lastSession(), nullptr);
}

void TestNetwork::sessionsOpenCloseAndFailOnCommand()
{
    ZavekScriptedNetwork network;
    QScopedPointer<ZavekNetworkConfigurationManager> manager(network.createManager());
    QScopedPointer<ZavekNetworkSession> session(
        manager->createSession(ZavekNetworkConfiguration(QStringLiteral("a"), QStringLiteral("A"))));
    ZavekScriptedNetworkSession *scripted = network.lastSession();
    QSignalSpy opened(session.data(), &ZavekNetworkSession::opened);
    QSignalSpy closed(session.data(), &ZavekNetworkSession::closed);
    // The string form is how the manager connects; it must resolve.
    QSignalSpy failed(session.data(), SIGNAL(error(ZavekNetworkSession::SessionError)));
    QVERIFY(failed.isValid());
    QSignalSpy online(manager.data(), &ZavekNetworkConfigurationManager::onlineStateChanged);

    session->open();
    QCoreApplication::processEvents();
    QCOMPARE(scripted->openCalls(), 1);
    QVERIFY(!session->isOpen());
    QCOMPARE(opened.count(), 0);

    scripted->reportOpened();
    QVERIFY(session->isOpen());
    QCOMPARE(opened.count(), 1);
    QCOMPARE(online.count(), 1);
    QVERIFY(manager->isOnline());

    session->close();
    QCOMPARE(scripted->closeCalls(), 1);
    QVERIFY(session->isOpen());
    scripted->reportClosed();
    QVERIFY(!session->isOpen());
    QCOMPARE(closed.count(), 1);
    QVERIFY(manager->isOnline());

    scripted->reportOpened();
    scripted->reportError(ZavekNetworkSession::SessionAbortedError);
    QVERIFY(!session->isOpen());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<ZavekNetworkSession::SessionError>(),
             ZavekNetworkSession::SessionAbortedError);
}

void TestNetwork::autoOpenAndAutoCloseAnswerOnTheNextTurn()
{
    ZavekScriptedNetwork network;
    network.setAutoOpen(true);
    network.setAutoClose(true);
    QScopedPointer<ZavekNetworkConfigurationManager> manager(network.createManager());
    QScopedPointer<ZavekNetworkSession> good(
        manager->createSession(ZavekNetworkConfiguration(QStringLiteral("a"), QStringLiteral("A"))));
    QScopedPointer<ZavekNetworkSession> bad(manager->createSession(ZavekNetworkConfiguration()));
    QSignalSpy opened(good.data(), &ZavekNetworkSession::opened);
    QSignalSpy closed(good.data(), &ZavekNetworkSession::closed);
    QSignalSpy failed(bad.data(), &ZavekNetworkSession::error);
    QSignalSpy online(manager.data(), &ZavekNetworkConfigurationManager::onlineStateChanged);

    good->open();
    bad->open();
    QCOMPARE(opened.count(), 0);
    QTRY_COMPARE(opened.count(), 1);
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<ZavekNetworkSession::SessionError>(),
             ZavekNetworkSession::InvalidConfigurationError);
    QCOMPARE(online.count(), 1);
    QVERIFY(!bad->isOpen());

    good->close();
    QCOMPARE(closed.count(), 0);
    QTRY_COMPARE(closed.count(), 1);
    QVERIFY(!good->isOpen());

    // A session deleted before its turn comes must not be touched.
    good->open();
    good.reset();
    QCoreApplication::processEvents();
    QCOMPARE(opened.count(), 1);
}

void TestNetwork::managerOutlivingItsNetworkStaysSafe()
{
    QScopedPointer<ZavekNetworkConfigurationManager> manager;
    QScopedPointer<ZavekNetworkSession> session;
    {
        ZavekScriptedNetwork network;
        network.setOnline(true);
        network.setAutoOpen(true);
        network.setDefaultConfiguration(ZavekNetworkConfiguration(QStringLiteral("a"), QStringLiteral("A")));
        manager.reset(ZavekNetworkConfigurationManager::create());
        session.reset(manager->createSession(manager->defaultConfiguration()));
        session->open();
    }
    QCoreApplication::processEvents();
    QVERIFY(!manager->isOnline());
    QVERIFY(!manager->defaultConfiguration().isValid());
    QCOMPARE(manager->capabilities(), ZavekNetworkConfigurationManager::Capabilities());
    QScopedPointer<ZavekNetworkSession> late(manager->createSession(ZavekNetworkConfiguration()));
    late->open();
    late->close();
    QCoreApplication::processEvents();
    QVERIFY(!late->isOpen());
}

void TestNetwork::qtBackendAnswers()
{
    ZavekQtNetworkConfigurationManager manager;
    manager.isOnline();
    manager.capabilities();
    const QList<ZavekNetworkConfiguration> all = manager.allConfigurations();
    for (const ZavekNetworkConfiguration &configuration : all)
        QVERIFY(!configuration.isValid() || !configuration.identifier().isEmpty());
    QScopedPointer<ZavekNetworkSession> session(manager.createSession(manager.defaultConfiguration()));
    session->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant(false));
    QVERIFY(!session->isOpen() || manager.isOnline());
    session->close();
}

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
