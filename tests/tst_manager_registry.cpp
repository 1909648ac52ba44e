// The manager's public face: the call each request makes, which requests are one operation,
// the per-message and per-part lookups, and the meta-types that queued receivers need.

#include "managerfixture.h"

#include <QtTest>

using Manager = ZavekServiceActionManager;
using Request = std::function<uint(Manager &, const QMailAccountId &)>;
Q_DECLARE_METATYPE(Request)

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

    void eachRequestMakesItsOneCall_data();
    void eachRequestMakesItsOneCall();
    void equalRequestsAreOneOperation_data();
    void equalRequestsAreOneOperation();
    void lookupsFollowTheOperations();
    void queuedReceiversAndStreamsKnowTheTypes();
    void longQueueKeepsItsLookups();

private:
    ManagerFixture fixture;
    QMailAccountId account;
};

void TestManagerRegistry::eachRequestMakesItsOneCall_data()
{
    const QMailFolderId folder(12);
    const QMailMessageIdList ids{QMailMessageId(5), QMailMessageId(3)};
    const QMailMessagePartContainer::Location part = ManagerFixture::part(5, 2);
    QTest::addColumn<Request>("request");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QVariantList>("arguments");   // checked when given
    const auto row = [](const char *name, Request request, const char *call, const QVariantList &arguments = {}) {
        QTest::newRow(name) << request << QString::fromLatin1(call) << arguments;
    };
    row("sync", [](Manager &m, const QMailAccountId &a) { return m.sync(a); }, "synchronizeAll");
    row("send", [](Manager &m, const QMailAccountId &a) { return m.send(a); }, "transmitMessages");
    row("export", [](Manager &m, const QMailAccountId &a) { return m.exportUpdates(a); }, "exportUpdates");
    row("folders", [=](Manager &m, const QMailAccountId &a) { return m.retrieveFolderList(a, folder, false); },
        "retrieveFolderList", {QVariant::fromValue(QMailAccountId(1)), QVariant::fromValue(folder), false});
    row("message list", [=](Manager &m, const QMailAccountId &a) { return m.retrieveMessageList(a, folder, 20, QMailMessageSortKey()); },
        "retrieveMessageList");
    row("messages", [=](Manager &m, const QMailAccountId &) { return m.retrieveMessages(ids, QMailRetrievalAction::Content); },
        "retrieveMessages", {QVariant::fromValue(ids), QVariant::fromValue(QMailRetrievalAction::Content)});
    row("message range", [=](Manager &m, const QMailAccountId &) { return m.retrieveMessageRange(ids.first(), 100); },
        "retrieveMessageRange", {QVariant::fromValue(ids.first()), 100u});
    row("part", [=](Manager &m, const QMailAccountId &) { return m.retrieveMessagePart(part); }, "retrieveMessagePart",
        {QStringLiteral("5-2")});
    row("part range", [=](Manager &m, const QMailAccountId &) { return m.retrieveMessagePartRange(part, 100); },
        "retrieveMessagePartRange", {QStringLiteral("5-2"), 100u});
    row("delete", [=](Manager &m, const QMailAccountId &) { return m.deleteMessages(ids); }, "deleteMessages");
    row("flag", [=](Manager &m, const QMailAccountId &) { return m.flagMessages(ids, 0x4, 0x8); }, "flagMessages",
        {QVariant::fromValue(ids), quint64(0x4), quint64(0x8)});
    row("move", [=](Manager &m, const QMailAccountId &) { return m.moveMessages(ids, folder); }, "moveMessages",
        {QVariant::fromValue(ids), QVariant::fromValue(folder)});
    row("add", [](Manager &m, const QMailAccountId &) { return m.addMessages({QMailMessage()}); }, "addMessages");
    row("update", [](Manager &m, const QMailAccountId &) { return m.updateMessages({QMailMessage()}); }, "updateMessages");
}

void TestManagerRegistry::eachRequestMakesItsOneCall()
{
    QFETCH(Request, request);
    QFETCH(QString, call);
    QFETCH(QVariantList, arguments);
    QCOMPARE(request(*fixture.manager, account), 1u);
    QCOMPARE(fixture.calls(), QStringList{call});
    if (!arguments.isEmpty())
        QCOMPARE(fixture.server()->lastRequest().arguments, arguments);
    fixture.server()->succeed(fixture.running());
    // Started at once: the only Pending is the service action's own, relayed.
    QCOMPARE(fixture.log->take(), (QStringList{"A1 Pending 0", "A1 Successful 0"}));
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
        {"add", [&] { return manager->addMessages({QMailMessage()}); }},
        {"update", [&] { return manager->updateMessages({QMailMessage()}); }}};

    manager->retrieveMessageRange(QMailMessageId(99), 1); // runs, so both requests queue
    const uint one = requests.value(first)();
    const uint two = requests.value(second)();
    QCOMPARE(two == one, merged);
    // A merged request is announced as Pending under the serial it joined.
    QCOMPARE(fixture.log->take().mid(1), (QStringList{line("A%1 Pending 0", one), line("A%1 Pending 0", two)}));
    QCOMPARE(fixture.succeedAll(), merged ? 2 : 3);
}

void TestManagerRegistry::lookupsFollowTheOperations()
{
    Manager *manager = fixture.manager.data();
    const QList<uint> &none = manager->operations(QMailMessageId(3));
    QVERIFY(none.isEmpty());
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

void TestManagerRegistry::queuedReceiversAndStreamsKnowTheTypes()
{
    QueuedReceiver receiver;
    QVERIFY(QObject::connect(fixture.manager.data(),
                             SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             &receiver, SLOT(onActivity(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                             Qt::QueuedConnection));
    fixture.manager->sync(account);
    QTRY_COMPARE(receiver.serials, QList<uint>{1});

    Manager::Activity busy = Manager::Busy, read = Manager::Idle;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    QVERIFY(QMetaType::save(out, QMetaType::type("ZavekServiceActionManager::Activity"), &busy));
    QDataStream in(bytes);
    in >> read;
    QCOMPARE(read, Manager::Busy);
    in >> read;   // past the end: a safe value
    QCOMPARE(read, Manager::Idle);
}

void TestManagerRegistry::longQueueKeepsItsLookups()
{
    // Enough operations for the manager's tables to grow and be rebuilt several times, and
    // cancellations scattered over them.
    Manager *manager = fixture.manager.data();
    const int count = 3000;
    QVector<uint> serials;
    for (int i = 0; i < count; ++i)
        serials << manager->retrieveMessagePart(fixture.part(1000 + i, 2));
    for (int i = 0; i < count; ++i) {
        const int k = (i * 7919) % count;
        if (k % 3 != 0)
            manager->cancelOperation(serials.at(k));
    }
    for (int k = 0; k < count; ++k) {
        const QList<uint> expected = k % 3 == 0 ? QList<uint>{serials.at(k)} : QList<uint>();
        QCOMPARE(manager->operations(fixture.part(1000 + k, 2)), expected);
        QCOMPARE(manager->operations(QMailMessageId(1000 + k)), expected);
        QCOMPARE(manager->operationInfo(serials.at(k)) != nullptr, k % 3 == 0);
    }
    QCOMPARE(manager->retrieveMessagePart(fixture.part(1000 + 2997, 2)), serials.at(2997));
    QCOMPARE(manager->operations(QMailMessageId(1000 + 2997)), (QList<uint>{serials.at(2997), serials.at(2997)}));
}

QTEST_GUILESS_MAIN(TestManagerRegistry)
#include "tst_manager_registry.moc"
