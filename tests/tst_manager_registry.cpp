// The manager's public face: meta-object, meta-types, the call each request makes, which
// requests are one operation, and the per-message and per-part lookups.

#include "managerfixture.h"

#include <QBuffer>
#include <QDataStream>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QtTest>

using Manager = ZavekServiceActionManager;

// Receives activityChanged through a queued, string-based connection.
class QueuedReceiver : public QObject
{
    Q_OBJECT
public slots:
    void onActivity(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                    const QMailServiceAction::Status &)
    {
        received << qMakePair(serial, int(activity));
    }

public:
    QList<QPair<uint, int> > received;
};

class TestManagerRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init() { fixture.start(); }
    void cleanup() { fixture.finish(); }

    void metaObjectHasExactlyTheDeclaredSignalsAndSlots();
    void serialTravelsUnchangedThroughQueuedConnection();
    void activityMetaTypeDefaultsToIdleAndStreamsAsFourBytes();

    void eachRequestMakesItsOneCall_data();
    void eachRequestMakesItsOneCall();

    void equalRequestsAreOneOperation_data();
    void equalRequestsAreOneOperation();
    void additionsAndUpdatesAreNeverMerged();

    void partRetrievalIsListedUnderPartAndMessageUntilItFinishes();
    void mergedRequestIsListedTwiceAndForgottenCompletely();
    void operationInfoDescribesTheOperation();
    void lookupsWithoutOperationsGiveTheSameEmptyList();

private:
    ManagerFixture fixture;
};

void TestManagerRegistry::metaObjectHasExactlyTheDeclaredSignalsAndSlots()
{
    const QMetaObject *meta = &ZavekServiceActionManager::staticMetaObject;
    const QStringList expected{
        QStringLiteral("serviceActivityChanged(ZavekServiceActionManager::Activity)"),
        QStringLiteral("serviceStatusChanged(const QMailActionInfo*)"),
        QStringLiteral("statusChanged(ZavekServiceActionManager::Serial,QMailServiceAction::Status)"),
        QStringLiteral("progressChanged(ZavekServiceActionManager::Serial,uint,uint)"),
        QStringLiteral("activityChanged(ZavekServiceActionManager::Serial,QMailServiceAction::Activity,QMailServiceAction::Status)"),
        QStringLiteral("onActionConnectivityChanged(QMailServiceAction::Connectivity)"),
        QStringLiteral("onActionActivityChanged(QMailServiceAction::Activity)"),
        QStringLiteral("onActionStatusChanged(QMailServiceAction::Status)"),
        QStringLiteral("onActionProgressChanged(uint,uint)"),
        QStringLiteral("onOnlineStateChanged(bool)"),
        QStringLiteral("onIpcConnectionEstablished()"),
        QStringLiteral("onActionsChanged(QList<QSharedPointer<QMailActionInfo> >)"),
        QStringLiteral("onStatusChanged(QMailServiceAction::Status)"),
        QStringLiteral("releaseNetworkSession()"),
        QStringLiteral("goOffline()"),
        QStringLiteral("onStorageActionDestroyed()"),
    };
    QStringList actual;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        actual << QString::fromLatin1(method.methodSignature());
        if (i - meta->methodOffset() < 5)
            QCOMPARE(method.methodType(), QMetaMethod::Signal);
        else
            QCOMPARE(method.access(), QMetaMethod::Private);
    }
    QCOMPARE(actual, expected);
    QCOMPARE(meta->propertyCount(), meta->propertyOffset());
    QCOMPARE(meta->enumeratorCount(), meta->enumeratorOffset());
    QCOMPARE(meta->classInfoCount(), meta->classInfoOffset());

    // The closures connect by this exact text, with blanks.
    QVERIFY(meta->indexOfSignal(QMetaObject::normalizedSignature(
                "activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)"))
            >= 0);
}

void TestManagerRegistry::serialTravelsUnchangedThroughQueuedConnection()
{
    QCOMPARE(QMetaType::type("ZavekServiceActionManager::Serial"), int(QMetaType::UInt));

    QueuedReceiver receiver;
    QVERIFY(QObject::connect(fixture.manager.data(),
                             SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             &receiver, SLOT(onActivity(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             Qt::QueuedConnection));
    const QMailAccountId account = fixture.addAccount();
    fixture.manager->sync(account);
    const uint queued = fixture.manager->exportUpdates(account);
    QVERIFY(receiver.received.isEmpty());
    QTRY_VERIFY(receiver.received.contains(qMakePair(queued, int(QMailServiceAction::Pending))));
}

void TestManagerRegistry::activityMetaTypeDefaultsToIdleAndStreamsAsFourBytes()
{
    const int type = QMetaType::type("ZavekServiceActionManager::Activity");
    QVERIFY(type != QMetaType::UnknownType);
    QCOMPARE(type, qMetaTypeId<ZavekServiceActionManager::Activity>());
    const QVariant fresh(type, nullptr);
    QCOMPARE(fresh.value<ZavekServiceActionManager::Activity>(), ZavekServiceActionManager::Idle);
    QCOMPARE(fixture.manager->activity(), ZavekServiceActionManager::Idle);

    QByteArray bytes;
    {
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << ZavekServiceActionManager::Busy;
    }
    QCOMPARE(bytes.size(), 4);
    QDataStream in(bytes);
    ZavekServiceActionManager::Activity read = ZavekServiceActionManager::Idle;
    in >> read;
    QCOMPARE(read, ZavekServiceActionManager::Busy);

    // A variant holding an Activity streams through the registered operators.
    QByteArray variantBytes;
    {
        QDataStream out(&variantBytes, QIODevice::WriteOnly);
        QVERIFY(QMetaType::save(out, type, &read));
    }
    QCOMPARE(variantBytes.size(), 4);
}

void TestManagerRegistry::eachRequestMakesItsOneCall_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QVariantList>("arguments");

    const QMailAccountId account(1); // the fixture's account is the first one stored
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(5), QMailMessageId(3)};
    QTest::newRow("sync") << "sync" << "synchronizeAll" << QVariantList{QVariant::fromValue(account)};
    QTest::newRow("send") << "send" << "transmitMessages" << QVariantList{QVariant::fromValue(account)};
    QTest::newRow("exportUpdates") << "exportUpdates" << "exportUpdates" << QVariantList{QVariant::fromValue(account)};
    QTest::newRow("retrieveFolderList") << "retrieveFolderList" << "retrieveFolderList"
                                        << QVariantList{QVariant::fromValue(account), QVariant::fromValue(folder), false};
    QTest::newRow("retrieveMessageList") << "retrieveMessageList" << "retrieveMessageList"
                                         << QVariantList{QVariant::fromValue(account), QVariant::fromValue(folder), 20u};
    QTest::newRow("retrieveMessages") << "retrieveMessages" << "retrieveMessages"
                                      << QVariantList{QVariant::fromValue(ids),
                                                      QVariant::fromValue(QMailRetrievalAction::Content)};
    QTest::newRow("retrieveMessageRange") << "retrieveMessageRange" << "retrieveMessageRange"
                                          << QVariantList{QVariant::fromValue(QMailMessageId(5)), 100u};
    QTest::newRow("retrieveMessagePart") << "retrieveMessagePart" << "retrieveMessagePart" << QVariantList{QStringLiteral("5-2")};
    QTest::newRow("retrieveMessagePartRange") << "retrieveMessagePartRange" << "retrieveMessagePartRange"
                                              << QVariantList{QStringLiteral("5-2"), 100u};
    QTest::newRow("deleteMessages") << "deleteMessages" << "deleteMessages" << QVariantList{QVariant::fromValue(ids)};
    QTest::newRow("flagMessages") << "flagMessages" << "flagMessages"
                                  << QVariantList{QVariant::fromValue(ids), quint64(0x4), quint64(0x8)};
    QTest::newRow("moveMessages") << "moveMessages" << "moveMessages"
                                  << QVariantList{QVariant::fromValue(ids), QVariant::fromValue(folder)};
    QTest::newRow("addMessages") << "addMessages" << "addMessages" << QVariantList();
    QTest::newRow("updateMessages") << "updateMessages" << "updateMessages" << QVariantList();
}

void TestManagerRegistry::eachRequestMakesItsOneCall()
{
    QFETCH(QString, request);
    QFETCH(QString, call);
    QFETCH(QVariantList, arguments);

    const QMailAccountId account = fixture.addAccount();
    QCOMPARE(account, QMailAccountId(1));
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(5), QMailMessageId(3)};
    Manager *manager = fixture.manager.data();
    const QHash<QString, std::function<uint()> > requests{
        {"sync", [&] { return manager->sync(account); }},
        {"send", [&] { return manager->send(account); }},
        {"exportUpdates", [&] { return manager->exportUpdates(account); }},
        {"retrieveFolderList", [&] { return manager->retrieveFolderList(account, folder, false); }},
        {"retrieveMessageList", [&] { return manager->retrieveMessageList(account, folder, 20, QMailMessageSortKey()); }},
        {"retrieveMessages", [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::Content); }},
        {"retrieveMessageRange", [&] { return manager->retrieveMessageRange(QMailMessageId(5), 100); }},
        {"retrieveMessagePart", [&] { return manager->retrieveMessagePart(fixture.part(5, 2)); }},
        {"retrieveMessagePartRange", [&] { return manager->retrieveMessagePartRange(fixture.part(5, 2), 100); }},
        {"deleteMessages", [&] { return manager->deleteMessages(ids); }},
        {"flagMessages", [&] { return manager->flagMessages(ids, 0x4, 0x8); }},
        {"moveMessages", [&] { return manager->moveMessages(ids, folder); }},
        {"addMessages", [&] { return manager->addMessages(QMailMessageList() << QMailMessage()); }},
        {"updateMessages", [&] { return manager->updateMessages(QMailMessageList() << QMailMessage()); }},
    };

    const uint serial = requests.value(request)();
    QCOMPARE(serial, 1u);
    QCOMPARE(fixture.calls(), QStringList{call});
    const QmfStandIn::Request made = fixture.server()->lastRequest();
    for (int i = 0; i < arguments.size(); ++i)
        QCOMPARE(made.arguments.value(i), arguments.at(i));
    // The server's own Pending is relayed; enqueue adds none for a request started at once.
    QCOMPARE(fixture.log->take(), QStringList{"A1 Pending 0"});

    fixture.server()->succeed(made.action);
    QCOMPARE(fixture.log->take(), QStringList{"A1 Successful 0"});
    QVERIFY(!fixture.manager->operationInfo(serial));
}

void TestManagerRegistry::equalRequestsAreOneOperation_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("merged");

    QTest::newRow("sync twice") << "sync a" << "sync a" << true;
    QTest::newRow("sync, other account") << "sync a" << "sync b" << false;
    QTest::newRow("sync and export") << "sync a" << "export a" << false;
    QTest::newRow("message list, other sort key") << "list k1" << "list k2" << true;
    QTest::newRow("message list, other minimum") << "list k1" << "list 30" << false;
    QTest::newRow("folder list, descending or not") << "folders 1" << "folders 0" << false;
    QTest::newRow("part twice") << "part" << "part" << true;
    QTest::newRow("part and part range") << "part" << "part range" << false;
    QTest::newRow("flag, other unset mask") << "flag a b" << "flag a c" << false;
    QTest::newRow("flag twice") << "flag a b" << "flag a b" << true;
    QTest::newRow("delete, ids reordered") << "delete 1,2" << "delete 2,1" << false;
    QTest::newRow("messages, other specification") << "messages meta" << "messages content" << false;
}

void TestManagerRegistry::equalRequestsAreOneOperation()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, merged);

    const QMailAccountId a = fixture.addAccount();
    const QMailAccountId b = fixture.addAccount();
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(1), QMailMessageId(2)};
    Manager *manager = fixture.manager.data();
    const QHash<QString, std::function<uint()> > requests{
        {"sync a", [&] { return manager->sync(a); }},
        {"sync b", [&] { return manager->sync(b); }},
        {"export a", [&] { return manager->exportUpdates(a); }},
        {"list k1", [&] { return manager->retrieveMessageList(a, folder, 20, QMailMessageSortKey::id(Qt::AscendingOrder)); }},
        {"list k2", [&] { return manager->retrieveMessageList(a, folder, 20, QMailMessageSortKey::id(Qt::DescendingOrder)); }},
        {"list 30", [&] { return manager->retrieveMessageList(a, folder, 30, QMailMessageSortKey()); }},
        {"folders 1", [&] { return manager->retrieveFolderList(a, folder, true); }},
        {"folders 0", [&] { return manager->retrieveFolderList(a, folder, false); }},
        {"part", [&] { return manager->retrieveMessagePart(fixture.part(7, 1)); }},
        {"part range", [&] { return manager->retrieveMessagePartRange(fixture.part(7, 1), 10); }},
        {"flag a b", [&] { return manager->flagMessages(ids, 0x10, 0x20); }},
        {"flag a c", [&] { return manager->flagMessages(ids, 0x10, 0x40); }},
        {"delete 1,2", [&] { return manager->deleteMessages(ids); }},
        {"delete 2,1", [&] { return manager->deleteMessages(QMailMessageIdList{ids.at(1), ids.at(0)}); }},
        {"messages meta", [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::MetaData); }},
        {"messages content", [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::Content); }},
    };

    // Something else runs, so both requests wait in the queue.
    const uint blocker = manager->retrieveMessageRange(QMailMessageId(99), 1);
    const uint one = requests.value(first)();
    const uint two = requests.value(second)();
    QVERIFY(one != blocker);
    QCOMPARE(two == one, merged);
    // A merged request is announced as Pending under the serial it joined.
    QCOMPARE(fixture.log->take().mid(1), (QStringList{QStringLiteral("A%1 Pending 0").arg(one),
                                                       QStringLiteral("A%1 Pending 0").arg(two)}));

    // Each operation runs once, whatever was merged into it.
    fixture.server()->succeed(fixture.running());
    fixture.server()->succeed(fixture.running());
    if (!merged)
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), merged ? 2 : 3);
    QVERIFY(!fixture.running());
}

void TestManagerRegistry::additionsAndUpdatesAreNeverMerged()
{
    Manager *manager = fixture.manager.data();
    const uint blocker = manager->deleteMessages(QMailMessageIdList{QMailMessageId(40)});
    QMailMessage first;
    first.setSubject(QStringLiteral("first"));
    QMailMessage second;
    second.setSubject(QStringLiteral("second"));
    // Neither has a content identifier, and the updates name the same (unsaved) id.
    const uint addOne = manager->addMessages(QMailMessageList{first});
    const uint addTwo = manager->addMessages(QMailMessageList{second});
    const uint updateOne = manager->updateMessages(QMailMessageList{first});
    const uint updateTwo = manager->updateMessages(QMailMessageList{second});
    QCOMPARE(QSet<uint>({blocker, addOne, addTwo, updateOne, updateTwo}).size(), 5);

    for (int i = 0; i < 5; ++i)
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.calls(), (QStringList{"deleteMessages", "addMessages", "addMessages", "updateMessages", "updateMessages"}));
    const QList<QmfStandIn::Request> requests = fixture.server()->requests();
    QCOMPARE(requests.at(2).arguments.value(0).value<QMailMessageList>().value(0).subject(), QStringLiteral("second"));
    QCOMPARE(requests.at(4).arguments.value(0).value<QMailMessageList>().value(0).subject(), QStringLiteral("second"));
}

void TestManagerRegistry::partRetrievalIsListedUnderPartAndMessageUntilItFinishes()
{
    Manager *manager = fixture.manager.data();
    const QMailMessagePartContainer::Location location = fixture.part(42, 2);
    const uint running = manager->retrieveMessagePart(location);
    const uint queued = manager->retrieveMessagePartRange(fixture.part(42, 3), 50);

    QCOMPARE(manager->operations(location), QList<uint>{running});
    QCOMPARE(manager->operations(fixture.part(42, 3)), QList<uint>{queued});
    QCOMPARE(manager->operations(QMailMessageId(42)), (QList<uint>{running, queued}));

    fixture.server()->succeed(fixture.running());
    QVERIFY(manager->operations(location).isEmpty());
    QCOMPARE(manager->operations(QMailMessageId(42)), QList<uint>{queued});
    QVERIFY(!manager->operationInfo(running));

    fixture.server()->fail(fixture.running(), QMailServiceAction::Status::ErrNoConnection);
    QVERIFY(manager->operations(QMailMessageId(42)).isEmpty());
    QVERIFY(manager->operations(fixture.part(42, 3)).isEmpty());
}

void TestManagerRegistry::mergedRequestIsListedTwiceAndForgottenCompletely()
{
    Manager *manager = fixture.manager.data();
    const QMailMessageIdList ids{QMailMessageId(8), QMailMessageId(9)};
    const uint serial = manager->retrieveMessages(ids, QMailRetrievalAction::Content);
    QCOMPARE(manager->retrieveMessages(ids, QMailRetrievalAction::Content), serial);
    QCOMPARE(manager->operations(QMailMessageId(9)), (QList<uint>{serial, serial}));

    manager->cancelOperation(serial);
    QVERIFY(manager->operations(QMailMessageId(8)).isEmpty());
    QVERIFY(manager->operations(QMailMessageId(9)).isEmpty());
    QTRY_VERIFY(fixture.log->lines.contains(QStringLiteral("A%1 Failed 1030").arg(serial)));
}

void TestManagerRegistry::operationInfoDescribesTheOperation()
{
    Manager *manager = fixture.manager.data();
    const QMailAccountId account = fixture.addAccount();
    const uint messages = manager->retrieveMessages(QMailMessageIdList{QMailMessageId(4), QMailMessageId(6)},
                                                    QMailRetrievalAction::MetaData);
    const uint none = manager->retrieveMessages(QMailMessageIdList(), QMailRetrievalAction::MetaData);
    const uint part = manager->retrieveMessagePart(fixture.part(6, 1));
    const uint range = manager->retrieveMessagePartRange(fixture.part(6, 1), 10);
    const uint sync = manager->sync(account);

    QCOMPARE(manager->operationInfo(messages)->messageId(), QMailMessageId(4));
    QVERIFY(!manager->operationInfo(none)->messageId().isValid());
    QCOMPARE(manager->operationInfo(part)->messageId(), QMailMessageId(6));
    QCOMPARE(manager->operationInfo(part)->messagePartLocation().toString(true), QStringLiteral("6-1"));
    QVERIFY(!manager->operationInfo(range)->messageId().isValid());
    QVERIFY(!manager->operationInfo(range)->messagePartLocation().isValid());
    QVERIFY(!manager->operationInfo(sync)->messageId().isValid());
    QVERIFY(!manager->operationInfo(sync + 1));
    QVERIFY(!manager->operationInfo(0));
}

void TestManagerRegistry::lookupsWithoutOperationsGiveTheSameEmptyList()
{
    Manager *manager = fixture.manager.data();
    const QList<uint> &byId = manager->operations(QMailMessageId(3));
    QVERIFY(byId.isEmpty());
    QCOMPARE(&manager->operations(QMailMessageId(4)), &byId);
    const QList<uint> &byPart = manager->operations(fixture.part(3, 1));
    QVERIFY(byPart.isEmpty());
    QCOMPARE(&manager->operations(fixture.part(5, 1)), &byPart);

    // Additions and updates are not listed under any message.
    QMailMessage message;
    message.setId(QMailMessageId(3));
    manager->updateMessages(QMailMessageList{message});
    QVERIFY(manager->operations(QMailMessageId(3)).isEmpty());
}

QTEST_GUILESS_MAIN(TestManagerRegistry)
#include "tst_manager_registry.moc"
