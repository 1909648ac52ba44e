// The network layer: the scripted backend the tests and the demo drive, and the Qt bearer
// backend used in production.

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
    void sessionsOpenCloseAndFail();
    void autoOpenAndAutoCloseAnswerOnTheNextTurn();
    void managerOutlivingItsNetworkStaysSafe();
    void withoutScriptedNetworkTheQtBackendAnswers();
};

void TestNetwork::onlineStateReachesEveryManagerOnChangeOnly()
{
    ZavekScriptedNetwork network;
    QScopedPointer<ZavekNetworkConfigurationManager> first(ZavekNetworkConfigurationManager::create());
    QScopedPointer<ZavekNetworkConfigurationManager> second(network.createManager());
    QSignalSpy firstSpy(first.data(), SIGNAL(onlineStateChanged(bool)));
    QSignalSpy secondSpy(second.data(), &ZavekNetworkConfigurationManager::onlineStateChanged);
    network.setOnline(false);
    network.setOnline(true);
    network.setOnline(true);
    QCOMPARE(firstSpy.count(), 1);
    QVERIFY(first->isOnline() && second->isOnline());
    network.setOnline(false);
    QCOMPARE(secondSpy.count(), 2);
    QCOMPARE(secondSpy.at(1).at(0).toBool(), false);
}

void TestNetwork::sessionsOpenCloseAndFail()
{
    ZavekScriptedNetwork network;
    QScopedPointer<ZavekNetworkConfigurationManager> manager(network.createManager());
    const ZavekNetworkConfiguration wlan(QStringLiteral("a"), QStringLiteral("A"));
    QVERIFY(!(wlan == ZavekNetworkConfiguration(QStringLiteral("a"), QStringLiteral("B"))));
    QScopedPointer<ZavekNetworkSession> session(manager->createSession(wlan));
    ZavekScriptedNetworkSession *scripted = network.lastSession();
    QCOMPARE(scripted->configuration(), wlan);
    // The string form is how the manager connects; it must resolve.
    QSignalSpy failed(session.data(), SIGNAL(error(ZavekNetworkSession::SessionError)));
    QVERIFY(failed.isValid());
    QSignalSpy online(manager.data(), &ZavekNetworkConfigurationManager::onlineStateChanged);

    session->open();
    QCoreApplication::processEvents();
    QVERIFY(!session->isOpen());
    scripted->reportOpened();
    QVERIFY(session->isOpen() && manager->isOnline());
    QCOMPARE(online.count(), 1);
    session->close();
    scripted->reportClosed();
    QVERIFY(!session->isOpen() && manager->isOnline());   // others may keep the link up
    scripted->reportOpened();
    scripted->reportError(ZavekNetworkSession::SessionAbortedError);
    QVERIFY(!session->isOpen());
    QCOMPARE(failed.at(0).at(0).value<ZavekNetworkSession::SessionError>(), ZavekNetworkSession::SessionAbortedError);
}

void TestNetwork::autoOpenAndAutoCloseAnswerOnTheNextTurn()
{
    ZavekScriptedNetwork network;
    network.setAutoOpen(true);
    network.setAutoClose(true);
    QScopedPointer<ZavekNetworkConfigurationManager> manager(network.createManager());
    QScopedPointer<ZavekNetworkSession> good(manager->createSession(ZavekNetworkConfiguration(QStringLiteral("a"), QStringLiteral("A"))));
    QScopedPointer<ZavekNetworkSession> bad(manager->createSession(ZavekNetworkConfiguration()));
    QSignalSpy opened(good.data(), &ZavekNetworkSession::opened);
    QSignalSpy closed(good.data(), &ZavekNetworkSession::closed);
    QSignalSpy failed(bad.data(), &ZavekNetworkSession::error);
    good->open();
    bad->open();
    QCOMPARE(opened.count(), 0);
    QTRY_COMPARE(opened.count(), 1);
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<ZavekNetworkSession::SessionError>(), ZavekNetworkSession::InvalidConfigurationError);
    QVERIFY(manager->isOnline() && !bad->isOpen());
    good->close();
    QCOMPARE(closed.count(), 0);
    QTRY_COMPARE(closed.count(), 1);

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
    QVERIFY(!manager->isOnline() && !manager->defaultConfiguration().isValid());
    QScopedPointer<ZavekNetworkSession> late(manager->createSession(ZavekNetworkConfiguration()));
    late->open();
    QCoreApplication::processEvents();
    QVERIFY(!late->isOpen());
}

void TestNetwork::withoutScriptedNetworkTheQtBackendAnswers()
{
    // A scripted network puts back the backend it replaced when it goes.
    { ZavekScriptedNetwork network; }
    QScopedPointer<ZavekNetworkConfigurationManager> manager(ZavekNetworkConfigurationManager::create());
    QVERIFY(qobject_cast<ZavekQtNetworkConfigurationManager *>(manager.data()));
    // Where Qt sees any network, each configuration keeps Qt's identifier.
    for (const ZavekNetworkConfiguration &configuration : manager->allConfigurations())
        QVERIFY(!configuration.isValid() || !configuration.identifier().isEmpty());
    QScopedPointer<ZavekNetworkSession> session(manager->createSession(manager->defaultConfiguration()));
    session->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant(false));
    QVERIFY(!session->isOpen() || manager->isOnline());
    session->close();
}

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
