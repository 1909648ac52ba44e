// The manager's public face: meta-object and meta-types, the call each request makes,
// which requests are one operation, and the per-message and per-part lookups.

#include "managerfixture.h"

#include <QtTest>

using Manager = ZavekServiceActionManager;

class QueuedReceiver : public QObject
{
    Q_OBJECT
public slots:
    void onActivity(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity, const QMailServiceAction::Status &)
    {
        serials << serial;
    }

public:
    QList<uint> serials;
};

class TestManagerRegistry : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start();
        account = fixture.addAccount();
    }
    void cleanup() { fixture.finish(); }

    void metaObjectHasExactlyTheDeclaredSignalsAndSlots();
    void metaTypesTravelAndStream();
    void eachRequestMakesItsOneCall();
    void equalRequestsAreOneOperation_data();
    void equalRequestsAreOneOperation();
    void lookupsFollowTheOperations();

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

void TestManagerRegistry::metaObjectHasExactlyTheDeclaredSignalsAndSlots()
{
    const QMetaObject *meta = &Manager::staticMetaObject;
    const QStringList expected{
        "serviceActivityChanged(ZavekServiceActionManager::Activity)", "serviceStatusChanged(const QMailActionInfo*)",
        "statusChanged(ZavekServiceActionManager::Serial,QMailServiceAction::Status)",
        "progressChanged(ZavekServiceActionManager::Serial,uint,uint)",
        "activityChanged(ZavekServiceActionManager::Serial,QMailServiceAction::Activity,QMailServiceAction::Status)",
        "onActionConnectivityChanged(QMailServiceAction::Connectivity)", "onActionActivityChanged(QMailServiceAction::Activity)",
        "onActionStatusChanged(QMailServiceAction::Status)", "onActionProgressChanged(uint,uint)", "onOnlineStateChanged(bool)",
        "onIpcConnectionEstablished()", "onActionsChanged(QList<QSharedPointer<QMailActionInfo> >)",
        "onStatusChanged(QMailServiceAction::Status)", "releaseNetworkSession()", "goOffline()", "onStorageActionDestroyed()"};
    QStringList actual;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        actual << QString::fromLatin1(method.methodSignature());
        const bool isSignal = i - meta->methodOffset() < 5;
        QCOMPARE(method.methodType(), isSignal ? QMetaMethod::Signal : QMetaMethod::Slot);
        if (!isSignal)
            QCOMPARE(method.access(), QMetaMethod::Private);
    }
    QCOMPARE(actual, expected);
    QCOMPARE(meta->propertyCount() + meta->enumeratorCount() + meta->classInfoCount(),
             meta->propertyOffset() + meta->enumeratorOffset() + meta->classInfoOffset());
}

void TestManagerRegistry::metaTypesTravelAndStream()
{
    QCOMPARE(QMetaType::type("ZavekServiceActionManager::Serial"), int(QMetaType::UInt));
    QueuedReceiver receiver;
    QVERIFY(QObject::connect(fixture.manager.data(),
                             SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             &receiver, SLOT(onActivity(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             Qt::QueuedConnection));
    fixture.manager->sync(account);
    const uint queued = fixture.manager->exportUpdates(account);
    QVERIFY(receiver.serials.isEmpty());
    QTRY_COMPARE(receiver.serials, (QList<uint>{1, queued}));

    const int type = QMetaType::type("ZavekServiceActionManager::Activity");
    QCOMPARE(type, qMetaTypeId<Manager::Activity>());
    QCOMPARE(QVariant(type, nullptr).value<Manager::Activity>(), Manager::Idle);
    Manager::Activity busy = Manager::Busy;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QVERIFY(QMetaType::save(out, type, &busy));
    QCOMPARE(bytes.size(), 4);
    Manager::Activity read = Manager::Idle;
    QDataStream in(bytes);
    in >> read;
    QCOMPARE(read, Manager::Busy);
}

void TestManagerRegistry::eachRequestMakesItsOneCall()
{
    Manager *manager = fixture.manager.data();
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(5), QMailMessageId(3)};
    const QList<std::function<uint()> > requests{
        [&] { return manager->sync(account); }, [&] { return manager->send(account); },
        [&] { return manager->exportUpdates(account); },
        [&] { return manager->retrieveFolderList(account, folder, false); },
        [&] { return manager->retrieveMessageList(account, folder, 20, QMailMessageSortKey()); },
        [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::Content); },
        [&] { return manager->retrieveMessageRange(ids.first(), 100); },
        [&] { return manager->retrieveMessagePart(fixture.part(5, 2)); },
        [&] { return manager->retrieveMessagePartRange(fixture.part(5, 2), 100); },
        [&] { return manager->deleteMessages(ids); }, [&] { return manager->flagMessages(ids, 0x4, 0x8); },
        [&] { return manager->moveMessages(ids, folder); },
        [&] { return manager->addMessages(QMailMessageList{QMailMessage()}); },
        [&] { return manager->updateMessages(QMailMessageList{QMailMessage()}); }};
    for (int i = 0; i < requests.size(); ++i) {
        QCOMPARE(requests.at(i)(), uint(i + 1));
        // Started at once: the only Pending is the service action's own, relayed.
        QCOMPARE(fixture.log->take(), QStringList{QStringLiteral("A%1 Pending 0").arg(i + 1)});
        fixture.server()->succeed(fixture.running());
        QCOMPARE(fixture.log->take(), QStringList{QStringLiteral("A%1 Successful 0").arg(i + 1)});
    }
    QCOMPARE(fixture.calls(), (QStringList{"synchronizeAll", "transmitMessages", "exportUpdates", "retrieveFolderList",
                                           "retrieveMessageList", "retrieveMessages", "retrieveMessageRange",
                                           "retrieveMessagePart", "retrieveMessagePartRange", "deleteMessages",
                                           "flagMessages", "moveMessages", "addMessages", "updateMessages"}));
    const QList<QmfStandIn::Request> made = fixture.server()->requests();
    QCOMPARE(made.at(3).arguments, (QVariantList{QVariant::fromValue(account), QVariant::fromValue(folder), false}));
    QCOMPARE(made.at(5).arguments.value(1), QVariant::fromValue(QMailRetrievalAction::Content));
    QCOMPARE(made.at(8).arguments, (QVariantList{QStringLiteral("5-2"), 100u}));
    QCOMPARE(made.at(10).arguments, (QVariantList{QVariant::fromValue(ids), quint64(0x4), quint64(0x8)}));
}

void TestManagerRegistry::equalRequestsAreOneOperation_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("merged");
    QTest::newRow("sync twice") << "sync a" << "sync a" << true;
    QTest::newRow("sync, other account") << "sync a" << "sync b" << false;
    QTest::newRow("sync and export") << "sync a" << "export a" << false;
    QTest::newRow("list, other sort key") << "list k1" << "list k2" << true;
    QTest::newRow("list, other minimum") << "list k1" << "list 30" << false;
    QTest::newRow("folders, descending or not") << "folders 1" << "folders 0" << false;
    QTest::newRow("part twice") << "part" << "part" << true;
    QTest::newRow("part and part range") << "part" << "part range" << false;
    QTest::newRow("flag, other unset mask") << "flag a b" << "flag a c" << false;
    QTest::newRow("flag twice") << "flag a b" << "flag a b" << true;
    QTest::newRow("delete, ids reordered") << "delete 1,2" << "delete 2,1" << false;
    QTest::newRow("messages, other kind") << "messages meta" << "messages content" << false;
    QTest::newRow("additions alike") << "add" << "add" << false;
    QTest::newRow("updates alike") << "update" << "update" << false;
}

void TestManagerRegistry::equalRequestsAreOneOperation()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(bool, merged);
    const QMailAccountId b = fixture.addAccount();
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(1), QMailMessageId(2)};
    QMailMessage unsaved;
    Manager *manager = fixture.manager.data();
    const QHash<QString, std::function<uint()> > requests{
        {"sync a", [&] { return manager->sync(account); }}, {"sync b", [&] { return manager->sync(b); }},
        {"export a", [&] { return manager->exportUpdates(account); }},
        {"list k1", [&] { return manager->retrieveMessageList(account, folder, 20, QMailMessageSortKey::id(Qt::AscendingOrder)); }},
        {"list k2", [&] { return manager->retrieveMessageList(account, folder, 20, QMailMessageSortKey::id(Qt::DescendingOrder)); }},
        {"list 30", [&] { return manager->retrieveMessageList(account, folder, 30, QMailMessageSortKey()); }},
        {"folders 1", [&] { return manager->retrieveFolderList(account, folder, true); }},
        {"folders 0", [&] { return manager->retrieveFolderList(account, folder, false); }},
        {"part", [&] { return manager->retrieveMessagePart(fixture.part(7, 1)); }},
        {"part range", [&] { return manager->retrieveMessagePartRange(fixture.part(7, 1), 10); }},
        {"flag a b", [&] { return manager->flagMessages(ids, 0x10, 0x20); }},
        {"flag a c", [&] { return manager->flagMessages(ids, 0x10, 0x40); }},
        {"delete 1,2", [&] { return manager->deleteMessages(ids); }},
        {"delete 2,1", [&] { return manager->deleteMessages({ids.at(1), ids.at(0)}); }},
        {"messages meta", [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::MetaData); }},
        {"messages content", [&] { return manager->retrieveMessages(ids, QMailRetrievalAction::Content); }},
        {"add", [&] { return manager->addMessages({unsaved}); }},
        {"update", [&] { return manager->updateMessages({unsaved}); }}};

    manager->retrieveMessageRange(QMailMessageId(99), 1); // runs, so both requests queue
    const uint one = requests.value(first)();
    const uint two = requests.value(second)();
    QCOMPARE(two == one, merged);
    // A merged request is announced as Pending under the serial it joined.
    QCOMPARE(fixture.log->take().mid(1), (QStringList{QStringLiteral("A%1 Pending 0").arg(one),
                                                       QStringLiteral("A%1 Pending 0").arg(two)}));
    for (int i = merged ? 2 : 3; i > 0; --i)
        fixture.server()->succeed(fixture.running());
    QCOMPARE(fixture.server()->requestCount(), merged ? 2 : 3);
    QVERIFY(!fixture.running());
}

void TestManagerRegistry::lookupsFollowTheOperations()
{
    Manager *manager = fixture.manager.data();
    const QList<uint> &none = manager->operations(QMailMessageId(3));
    QVERIFY(none.isEmpty());
    QCOMPARE(&manager->operations(QMailMessageId(4)), &none);
    QCOMPARE(&manager->operations(fixture.part(5, 1)), &manager->operations(fixture.part(3, 1)));

    const uint part = manager->retrieveMessagePart(fixture.part(42, 2));
    const uint range = manager->retrieveMessagePartRange(fixture.part(42, 3), 50);
    const uint messages = manager->retrieveMessages({QMailMessageId(8), QMailMessageId(42)}, QMailRetrievalAction::Flags);
    QCOMPARE(manager->retrieveMessages({QMailMessageId(8), QMailMessageId(42)}, QMailRetrievalAction::Flags), messages);
    const uint empty = manager->retrieveMessages({}, QMailRetrievalAction::Flags);
    QMailMessage stored;
    stored.setId(QMailMessageId(8));
    manager->updateMessages({stored});   // never listed

    QCOMPARE(manager->operations(fixture.part(42, 2)), QList<uint>{part});
    QCOMPARE(manager->operations(QMailMessageId(42)), (QList<uint>{part, range, messages, messages}));
    QCOMPARE(manager->operations(QMailMessageId(8)), (QList<uint>{messages, messages}));
    QCOMPARE(manager->operationInfo(part)->messageId(), QMailMessageId(42));
    QCOMPARE(manager->operationInfo(part)->messagePartLocation().toString(true), QStringLiteral("42-2"));
    QVERIFY(!manager->operationInfo(range)->messageId().isValid());
    QVERIFY(!manager->operationInfo(range)->messagePartLocation().isValid());
    QCOMPARE(manager->operationInfo(messages)->messageId(), QMailMessageId(8));
    QVERIFY(!manager->operationInfo(empty)->messageId().isValid());
    QVERIFY(!manager->operationInfo(99) && !manager->operationInfo(0));

    fixture.server()->succeed(fixture.running());
    manager->cancelOperation(messages);
    QVERIFY(!manager->operationInfo(part) && !manager->operationInfo(messages));
    QVERIFY(manager->operations(fixture.part(42, 2)).isEmpty());
    QVERIFY(manager->operations(QMailMessageId(8)).isEmpty());
    QCOMPARE(manager->operations(QMailMessageId(42)), QList<uint>{range});
}

QTEST_GUILESS_MAIN(TestManagerRegistry)
#include "tst_manager_registry.moc"
