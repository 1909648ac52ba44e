// The manager's public face: the call each request makes, which requests are one operation,
// the per-message and per-part lookups, and the meta-types that queued receivers need.

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
        fixture.addAccount();
        fixture.addAccount();
    }
    void cleanup() { fixture.finish(); }

    void eachRequestMakesItsOneCall_data()
    {
        const QMailAccountId account(1);
        const QMailFolderId folder(12);
        const QMailMessageIdList ids{QMailMessageId(5), QMailMessageId(3)};
        const QMailMessagePartContainer::Location part = ManagerFixture::part(5, 2);
        QTest::addColumn<Issue>("request");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QVariantList>("arguments");   // checked when given
        const auto row = [](const char *name, Issue request, const char *call, const QVariantList &arguments = {}) {
            QTest::newRow(name) << request << QString::fromLatin1(call) << arguments;
        };
        row("sync", [=](Manager &m) { return m.sync(account); }, "synchronizeAll");
        row("send", [=](Manager &m) { return m.send(account); }, "transmitMessages");
        row("export", [=](Manager &m) { return m.exportUpdates(account); }, "exportUpdates");
        row("folders", [=](Manager &m) { return m.retrieveFolderList(account, folder, false); },
            "retrieveFolderList", {QVariant::fromValue(account), QVariant::fromValue(folder), false});
        row("message list", [=](Manager &m) { return m.retrieveMessageList(account, folder, 20, QMailMessageSortKey()); },
            "retrieveMessageList");
        row("messages", [=](Manager &m) { return m.retrieveMessages(ids, QMailRetrievalAction::Content); },
            "retrieveMessages", {QVariant::fromValue(ids), QVariant::fromValue(QMailRetrievalAction::Content)});
        row("message range", [=](Manager &m) { return m.retrieveMessageRange(ids.first(), 100); },
            "retrieveMessageRange", {QVariant::fromValue(ids.first()), 100u});
        row("part", [=](Manager &m) { return m.retrieveMessagePart(part); }, "retrieveMessagePart", {QStringLiteral("5-2")});
        row("part range", [=](Manager &m) { return m.retrieveMessagePartRange(part, 100); },
            "retrieveMessagePartRange", {QStringLiteral("5-2"), 100u});
        row("delete", [=](Manager &m) { return m.deleteMessages(ids); }, "deleteMessages");
        row("flag", [=](Manager &m) { return m.flagMessages(ids, 0x4, 0x8); }, "flagMessages",
            {QVariant::fromValue(ids), quint64(0x4), quint64(0x8)});
        row("move", [=](Manager &m) { return m.moveMessages(ids, folder); }, "moveMessages",
            {QVariant::fromValue(ids), QVariant::fromValue(folder)});
        row("add", [](Manager &m) { return m.addMessages({QMailMessage()}); }, "addMessages");
        row("update", [](Manager &m) { return m.updateMessages({QMailMessage()}); }, "updateMessages");
    }

    void eachRequestMakesItsOneCall()
    {
        QFETCH(Issue, request);
        QFETCH(QString, call);
        QFETCH(QVariantList, arguments);
        QCOMPARE(request(*fixture.manager), 1u);
        QCOMPARE(fixture.calls(), QStringList{call});
        if (!arguments.isEmpty())
            QCOMPARE(fixture.server()->lastRequest().arguments, arguments);
        fixture.server()->succeed(fixture.running());
        // Started at once: the only Pending is the service action's own, relayed.
        QCOMPARE(fixture.log->take(), (QStringList{"A1 Pending 0", "A1 Successful 0"}));
    }

    void equalRequestsAreOneOperation_data()
    {
        const QMailAccountId a(1);
        const QMailFolderId folder(12);
        const QMailMessageIdList ids{QMailMessageId(1), QMailMessageId(2)};
        QTest::addColumn<Issue>("first");
        QTest::addColumn<Issue>("second");
        QTest::addColumn<bool>("merged");
        const auto row = [](const char *name, Issue first, Issue second, bool merged) {
            QTest::newRow(name) << first << second << merged;
        };
        const Issue sync = [=](Manager &m) { return m.sync(a); };
        row("sync twice", sync, sync, true);
        row("sync, other account", sync, [](Manager &m) { return m.sync(QMailAccountId(2)); }, false);
        row("sync and export", sync, [=](Manager &m) { return m.exportUpdates(a); }, false);
        const auto list = [=](uint minimum, Qt::SortOrder order) {
            return Issue([=](Manager &m) { return m.retrieveMessageList(a, folder, minimum, QMailMessageSortKey::id(order)); });
        };
        row("list, other sort key", list(20, Qt::AscendingOrder), list(20, Qt::DescendingOrder), true);
        row("list, other minimum", list(20, Qt::AscendingOrder), list(30, Qt::AscendingOrder), false);
        row("folders, descending or not", [=](Manager &m) { return m.retrieveFolderList(a, folder, true); },
            [=](Manager &m) { return m.retrieveFolderList(a, folder, false); }, false);
        const Issue part = [](Manager &m) { return m.retrieveMessagePart(ManagerFixture::part(7, 1)); };
        row("part twice", part, part, true);
        row("part and part range", part, [](Manager &m) { return m.retrieveMessagePartRange(ManagerFixture::part(7, 1), 10); }, false);
        const auto flag = [=](quint64 unset) { return Issue([=](Manager &m) { return m.flagMessages(ids, 0x10, unset); }); };
        row("flag twice", flag(0x20), flag(0x20), true);
        row("flag, other unset mask", flag(0x20), flag(0x40), false);
        row("delete, ids reordered", [=](Manager &m) { return m.deleteMessages(ids); },
            [=](Manager &m) { return m.deleteMessages({ids.at(1), ids.at(0)}); }, false);
        row("messages, other kind", [=](Manager &m) { return m.retrieveMessages(ids, QMailRetrievalAction::MetaData); },
            [=](Manager &m) { return m.retrieveMessages(ids, QMailRetrievalAction::Content); }, false);
        const Issue add = [](Manager &m) { return m.addMessages({QMailMessage()}); };
        row("additions alike", add, add, false);
        const Issue update = [](Manager &m) { return m.updateMessages({QMailMessage()}); };
        row("updates alike", update, update, false);
    }

    void equalRequestsAreOneOperation()
    {
        QFETCH(Issue, first);
        QFETCH(Issue, second);
        QFETCH(bool, merged);
        Manager &manager = *fixture.manager;
        manager.retrieveMessageRange(QMailMessageId(99), 1); // runs, so both requests queue
        const uint one = first(manager);
        const uint two = second(manager);
        QCOMPARE(two == one, merged);
        // A merged request is announced as Pending under the serial it joined.
        QCOMPARE(fixture.log->take().mid(1), (QStringList{line("A%1 Pending 0", one), line("A%1 Pending 0", two)}));
        QCOMPARE(fixture.succeedAll(), merged ? 2 : 3);
    }

    void lookupsFollowTheOperations()
    {
        Manager *manager = fixture.manager.data();
        QVERIFY(manager->operations(QMailMessageId(3)).isEmpty());
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

    void queuedReceiversAndStreamsKnowTheTypes()
    {
        QueuedReceiver receiver;
        QVERIFY(QObject::connect(fixture.manager.data(),
                                 SIGNAL(activityChanged(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                                 &receiver, SLOT(onActivity(ZavekServiceActionManager::Serial, QMailServiceAction::Activity, QMailServiceAction::Status)),
                                 Qt::QueuedConnection));
        fixture.manager->sync(QMailAccountId(1));
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

    void longQueueKeepsItsLookups()
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

    void partLocationsOfAnyLength_data()
    {
        QTest::addColumn<int>("length");
        QTest::newRow("65,535") << 65535;
        QTest::newRow("65,536") << 65536;
        QTest::newRow("70,000") << 70000;
    }

    void partLocationsOfAnyLength()
    {
        // An entry left behind under a long location would name an operation that is gone.
        QFETCH(int, length);
        QString text = QLatin1String(length % 2 ? "7-1" : "7-11");
        while (text.size() < length)
            text += QLatin1String(".1");
        const QMailMessagePartContainer::Location location(text);
        QCOMPARE(location.toString(true).size(), length);
        Manager *manager = fixture.manager.data();
        const uint part = manager->retrieveMessagePart(location);
        const uint range = manager->retrieveMessagePartRange(location, 10);
        QCOMPARE(manager->retrieveMessagePartRange(location, 10), range);
        QCOMPARE(manager->operations(location), (QList<uint>{part, range, range}));
        QCOMPARE(fixture.succeedAll(), 2);
        QVERIFY(manager->operations(location).isEmpty());
        QVERIFY(manager->operations(QMailMessageId(7)).isEmpty());
    }

    void serialsWrapPastZeroAndKeepTheQueueOrder()
    {
        Manager *manager = fixture.manager.data();
        const QMailMessageIdList ids{QMailMessageId(3)};
        const uint running = manager->retrieveMessagePart(fixture.part(1, 1));
        manager->setLastSerialForTesting(0xfffffffdu);
        const uint read = manager->flagMessages(ids, QMailMessage::Read, 0);
        const uint sync = manager->sync(QMailAccountId(1));
        const uint unread = manager->flagMessages(ids, 0, QMailMessage::Read);
        const uint readAgain = manager->flagMessages(ids, QMailMessage::Read, 0);
        const uint part = manager->retrieveMessagePart(fixture.part(1, 2));
        // 0 is never a serial, nor is one still in use; the user's last change stays the last.
        QCOMPARE((QList<uint>{running, read, sync, unread, readAgain, part}), (QList<uint>{1, 0xfffffffeu, 0xffffffffu, 2, 3, 4}));
        QCOMPARE(manager->flagMessages(ids, QMailMessage::Read, 0), readAgain);
        QCOMPARE(manager->retrieveMessagePart(fixture.part(1, 2)), part);
        fixture.log->take();
        manager->stop();   // the queue first, in queue order
        QStringList cancelled;
        for (uint serial : {read, sync, unread, readAgain, part})
            cancelled << line("A%1 Failed 1030", serial);
        QCOMPARE(ends(fixture.log->take()), cancelled);
    }

private:
    ManagerFixture fixture;
};

QTEST_GUILESS_MAIN(TestManagerRegistry)
#include "tst_manager_registry.moc"
