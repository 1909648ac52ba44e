// The network layer: the scripted backend the tests and the demo drive, and the platform's
// backend used in production (bearer management on Qt 5, reachability on Qt 6).

#include "zaveknetwork.h"
#include "zaveknetworkscripted.h"
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "childprocess.h"
#include "zaveknetworkreachability.h"

#include <QDir>
#include <QLibraryInfo>
#else
#include "zaveknetworkqt.h"
#endif

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
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    void reachabilityBackendOpensNoSession();
    void reachabilityChangesReachTheManagerOnlyAsOnlineChanges();
    void reachabilityComesFromTheRealBackend();
#else
    void withoutScriptedNetworkTheQtBackendAnswers();
#endif
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

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)

namespace {

// The glib backend needs no bus, so wherever it is installed a backend must load.
bool glibBackendInstalled()
{
    const QDir plugins(QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/networkinformation"));
    return !plugins.entryList({QStringLiteral("*glib*")}, QDir::Files).isEmpty();
}

} // namespace

void TestNetwork::reachabilityBackendOpensNoSession()
{
    { ZavekScriptedNetwork network; }
    QScopedPointer<ZavekNetworkConfigurationManager> manager(ZavekNetworkConfigurationManager::create());
    auto *reachability = qobject_cast<ZavekReachabilityNetworkConfigurationManager *>(manager.data());
    QVERIFY(reachability);
    QVERIFY(!(manager->capabilities() & ZavekNetworkConfigurationManager::CanStartAndStopInterfaces));
    if (glibBackendInstalled())
        QVERIFY(!reachability->backendName().isEmpty());
    if (!reachability->backendName().isEmpty()) {
        // A valid configuration, so that the manager reaches its check of the capability.
        const ZavekNetworkConfiguration system = manager->defaultConfiguration();
        QVERIFY(system.isValid());
        QCOMPARE(system.identifier(), reachability->backendName());
        QCOMPARE(manager->allConfigurations(), QList<ZavekNetworkConfiguration>{system});
    }

    QScopedPointer<ZavekNetworkSession> session(manager->createSession(manager->defaultConfiguration()));
    session->setSessionProperty(QStringLiteral("ConnectInBackground"), QVariant(false));
    QCOMPARE(session->sessionProperty(QStringLiteral("ConnectInBackground")), QVariant(false));
    QSignalSpy failed(session.data(), SIGNAL(error(ZavekNetworkSession::SessionError)));
    QSignalSpy opened(session.data(), &ZavekNetworkSession::opened);
    session->open();
    QCOMPARE(failed.count(), 0);   // answered later, as the manager expects of any session
    QTRY_COMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<ZavekNetworkSession::SessionError>(),
             ZavekNetworkSession::OperationNotSupportedError);
    QVERIFY(opened.isEmpty() && !session->isOpen());
}

void TestNetwork::reachabilityChangesReachTheManagerOnlyAsOnlineChanges()
{
    // Driven the way QNetworkInformation's signal drives it: here the glib backend reports no
    // change after it has loaded (a default route added later goes unheard), so no real
    // backend can be made to change its mind.
    ZavekReachabilityNetworkConfigurationManager manager;
    const auto report = [&manager](QNetworkInformation::Reachability reachability) {
        QVERIFY(QMetaObject::invokeMethod(&manager, "onReachabilityChanged",
                                          Q_ARG(QNetworkInformation::Reachability, reachability)));
    };
    using R = QNetworkInformation::Reachability;
    report(R::Online);
    QSignalSpy spy(&manager, &ZavekNetworkConfigurationManager::onlineStateChanged);
    // Online beyond the local link, or where the backend cannot tell.
    for (R reachability : {R::Disconnected, R::Unknown, R::Local, R::Site, R::Local, R::Online, R::Site})
        report(reachability);
    QList<bool> online;
    for (const QList<QVariant> &arguments : qAsConst(spy))
        online.append(arguments.at(0).toBool());
    QCOMPARE(online, QList<bool>({false, true, false, true, false, true}));
    QVERIFY(manager.isOnline());
}

void TestNetwork::reachabilityComesFromTheRealBackend()
{
    // Each case in a process of its own: a process loads its network information backend once.
    using ZavekTest::runCommand;
    const QString helper = QStringLiteral(ZAVEK_NETWORK_HELPER);

    // No backend can load: online, and said once, before the first manager answers.
    ZavekTest::CommandRun run = runCommand(helper, {QStringLiteral("--no-plugins")});
    QVERIFY2(run.exitCode == 0, run.report());
    const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).startsWith(QLatin1String("warning: ")) && lines.at(0).contains(QLatin1String("counts as online")),
             run.report());
    QCOMPARE(lines.mid(1), QStringList({QStringLiteral("- 1"), QStringLiteral("- 1")}));

    run = runCommand(helper, {});
    QVERIFY2(run.exitCode == 0, run.report());
    const QString backend = run.out.section(QLatin1Char(' '), 0, 0);
    QVERIFY2(backend != QLatin1String("-") || !glibBackendInstalled(), run.report());
    if (backend == QLatin1String("-"))
        QSKIP("no network information backend with reachability is installed");

    // A network namespace of its own has nothing but loopback: offline with no route, online
    // with a default route, if only through loopback.
    const QString noRoute = QStringLiteral("exec \"$0\"");
    const QString defaultRoute = QStringLiteral("ip link set lo up && ip route add default dev lo && exec \"$0\"");
    for (const QString &script : {noRoute, defaultRoute}) {
        run = runCommand(QStringLiteral("unshare"), {QStringLiteral("-n"), QStringLiteral("sh"), QStringLiteral("-c"), script, helper});
        if (run.exitCode != 0)
            run = runCommand(QStringLiteral("unshare"), {QStringLiteral("-rn"), QStringLiteral("sh"), QStringLiteral("-c"), script, helper});
        if (run.exitCode != 0)
            QSKIP(qPrintable(QStringLiteral("cannot set up a network namespace: ") + run.err.left(200)));
        const int online = script == defaultRoute ? 1 : 0;
        QCOMPARE(run.out, QStringLiteral("%1 %2\n%1 %2\n").arg(backend).arg(online));
    }
}

#else

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

#endif

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
