// Soak of the manager: long random sequences of requests, cancels, server answers and
// network flaps. Every step is checked against a reference model written from the
// queue's rules as stated (a plain list scanned from its head, one current operation, caches
// of serial lists cleared by scanning), which shares nothing with the manager's indexed
// queue: the serial each request gets, every per-serial signal, every server call, the
// caches, and that every serial ends exactly once.
//
// ZAVEK_SOAK_STEPS overrides the steps per sequence; ZAVEK_SOAK_SEEDS (a number N) runs the
// seeds 1..N instead of the fixed list.

#include "managerfixture.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;
using Activity = QMailServiceAction::Activity;

namespace {

enum Kind { Sync, Send, Export, FolderList, MessageList, Messages, MessageRange, Part, PartRange,
            Delete, Flag, Move, Add, Update, KindCount };

const char *const callNames[KindCount] = {
    "synchronizeAll", "transmitMessages", "exportUpdates", "retrieveFolderList", "retrieveMessageList",
    "retrieveMessages", "retrieveMessageRange", "retrieveMessagePart", "retrieveMessagePartRange",
    "deleteMessages", "flagMessages", "moveMessages", "addMessages", "updateMessages"};

bool isUrgent(Kind kind) { return kind != Sync && kind != Export && kind != FolderList && kind != MessageList; }
bool needsNetwork(Kind kind) { return kind < Delete; }
bool takesSnapshot(Kind kind) { return kind == Sync || kind == Send || kind == Export; }
bool changesStore(Kind kind) { return kind >= Delete; }

const int messagePool = 4;   // message ids 1..4, two parts each

struct Request
{
    Kind kind = Sync;
    QString key;                  // equal keys are one operation; empty: never merged
    QMailMessageIdList ids;       // message cache keys
    QString location;             // part cache key
    std::function<uint()> issue;
};

struct Op
{
    Request request;
    uint serial = 0;
    bool running = false;      // its run is under way on the server
    bool stopAsked = false;    // the server was asked to stop that run
    bool interrupted = false;  // ... to make room for urgent work: it runs again
    int resets = 0;
};

class Model
{
public:
    QList<Op> queue;   // head first
    Op current;        // serial 0: none
    uint lastSerial = 0;
    bool online = true;
    QHash<QMailMessageId, QList<uint> > messageIdCache;
    QHash<QString, QList<uint> > partLocationCache;
    // The server's one running request.
    bool serverBusy = false;
    bool cancelDue = false;
    int statusCode = 0;
    // What this step should show, and what has ended so far.
    QStringList lines, calls;
    QSet<uint> ended;
    QString fault;

    uint enqueue(const Request &request)
    {
        uint serial = equalOperation(request);
        const bool merged = serial != 0;
        bool displaced = false;
        if (!merged) {
            Op op;
            op.request = request;
            op.serial = serial = ++lastSerial;
            if (!current.serial) {
                current = op;
            } else {
                queue.append(op);
                if (isUrgent(request.kind) && !isUrgent(current.request.kind)) {
                    if (!current.running) {
                        queue.prepend(current);
                        current = takeNext();
                        displaced = true;
                    } else if (!current.stopAsked) {
                        current.stopAsked = current.interrupted = cancelDue = true;
                    }
                }
            }
        }
        for (const QMailMessageId &id : request.ids)
            messageIdCache[id].append(serial);
        if (!request.location.isEmpty())
            partLocationCache[request.location].append(serial);
        if (!merged && current.serial == serial) {
            if (!start() && displaced)
                lines << activityLine(serial, QMailServiceAction::Pending, 0);
        } else {
            lines << activityLine(serial, QMailServiceAction::Pending, 0);
            start();
        }
        return serial;
    }

    void cancel(uint serial)
    {
        const bool queued = removeQueued(serial);
        forget(serial);
        if (current.serial != serial) {
            reportCancelled(serial, queued);
        } else if (!current.running) {
            current = takeNext();
            reportCancelled(serial, true);
            start();
        } else {
            current.interrupted = false;
            current.stopAsked = cancelDue = true;
        }
    }

    void stop()
    {
        while (!queue.isEmpty())
            cancel(queue.first().serial);
        if (current.serial)
            cancel(current.serial);
    }

    // ---- the server's answers to the running request ----
    void setStatus(int code)
    {
        statusCode = code;
        if (!current.interrupted)   // an interrupted run's reports are not relayed
            lines << QStringLiteral("S%1 %2").arg(current.serial).arg(code);
    }
    void succeed() { runEnds(QMailServiceAction::Successful); }
    void fail(int code)
    {
        setStatus(code);
        runEnds(QMailServiceAction::Failed);
    }
    void answerCancellation()
    {
        if (serverBusy && cancelDue)
            fail(Status::ErrCancel);
    }

    // ---- connectivity ----
    void setOnline(bool now)
    {
        const bool cameOnline = now && !online;
        online = now;
        if (cameOnline) {
            if (!current.serial)
                current = takeNext();
            start();
        }
    }

private:
    uint equalOperation(const Request &request) const
    {
        if (request.key.isEmpty())
            return 0;
        QList<const Op *> live;   // in queue order, the current one first
        if (current.serial)
            live << &current;
        for (const Op &op : queue)
            live << &op;
        if (changesStore(request.kind)) {
            // Only into the last store change: the user's last action wins.
            const Op *last = nullptr;
            for (const Op *op : qAsConst(live)) {
                if (changesStore(op->request.kind))
                    last = op;
            }
            return last && last->request.key == request.key ? last->serial : 0;
        }
        for (const Op *op : qAsConst(live)) {
            // A running snapshot request has read its input already.
            if (op->request.key == request.key && !(takesSnapshot(request.kind) && op->running))
                return op->serial;
        }
        return 0;
    }

    Op takeNext()
    {
        int best = -1;
        for (int i = 0; i < queue.size(); ++i) {
            if (best < 0 || (isUrgent(queue.at(i).request.kind) && !isUrgent(queue.at(best).request.kind)))
                best = i;
        }
        return best < 0 ? Op() : queue.takeAt(best);
    }

    bool removeQueued(uint serial)
    {
        for (int i = 0; i < queue.size(); ++i) {
            if (queue.at(i).serial == serial) {
                queue.removeAt(i);
                return true;
            }
        }
        return false;
    }

    bool start()
    {
        if (!current.serial || current.running)
            return current.running;
        if (needsNetwork(current.request.kind) && !online)
            return false;
        if (serverBusy)
            note(QStringLiteral("serial %1 started while another request runs").arg(current.serial));
        current.running = true;
        current.stopAsked = current.interrupted = false;
        serverBusy = true;
        cancelDue = false;
        statusCode = 0;
        calls << QString::fromLatin1(callNames[current.request.kind]);
        lines << activityLine(current.serial, QMailServiceAction::Pending, 0);
        return true;
    }

    void runEnds(Activity activity)
    {
        serverBusy = false;
        if (current.interrupted && activity == QMailServiceAction::Failed) {
            // Back to the head of the queue, to run again under its serial.
            Op again = current;
            again.running = again.stopAsked = again.interrupted = false;
            again.resets = 0;
            queue.prepend(again);
            current = takeNext();
            lines << activityLine(again.serial, QMailServiceAction::Pending, 0);
            start();
            return;
        }
        if (!current.interrupted && statusCode == Status::ErrInternalStateReset && !current.stopAsked
            && current.resets < 3) {
            ++current.resets;
            current.running = false;
            start();
            return;
        }
        const uint serial = current.serial;
        forget(serial);
        current = takeNext();
        lines << activityLine(serial, activity, statusCode);
        end(serial);
        start();
    }

    void reportCancelled(uint serial, bool ends)
    {
        lines << QStringLiteral("S%1 1030").arg(serial) << activityLine(serial, QMailServiceAction::Failed, 1030);
        if (ends)
            end(serial);
    }

    void end(uint serial)
    {
        if (ended.contains(serial))
            note(QStringLiteral("serial %1 ended twice").arg(serial));
        ended.insert(serial);
    }

    void forget(uint serial)
    {
        for (const QMailMessageId &id : messageIdCache.keys()) {
            messageIdCache[id].removeAll(serial);
            if (messageIdCache[id].isEmpty())
                messageIdCache.remove(id);
        }
        for (const QString &key : partLocationCache.keys()) {
            partLocationCache[key].removeAll(serial);
            if (partLocationCache[key].isEmpty())
                partLocationCache.remove(key);
        }
    }

    void note(const QString &problem)
    {
        if (fault.isEmpty())
            fault = problem;
    }
};

// Collects the warnings that must never appear during a soak and swallows the rest: the
// manager warns on every failure and offline start, which would drown the test output.
QStringList *forbiddenWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void soakMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const char *const never[] = {"ENFORCE failed", "dropped", "still running", "Cannot cancel service action",
                                        "no running request", "cast failed"};
    if (type == QtFatalMsg && previousHandler)
        previousHandler(type, context, message);
    for (const char *text : never) {
        if (forbiddenWarnings && message.contains(QLatin1String(text)))
            *forbiddenWarnings << message;
    }
}

} // namespace

class TestManagerSoak : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        fixture.start();
        accounts = {fixture.addAccount(), fixture.addAccount()};
        fixture.manager->setNetworkSessionIdleInterval(0);
        fixture.network->setAutoClose(true);
    }
    void cleanup()
    {
        fixture.finish();
        // Released sessions wait for deferred deletion, which no event loop runs here.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void randomSequencesFollowTheModel_data();
    void randomSequencesFollowTheModel();

private:
    Request randomRequest(QRandomGenerator &random);
    void serverStep(QRandomGenerator &random, Model &model, QString &what);
    QString check(Model &model, int requestsBefore);

    ManagerFixture fixture;
    QList<QMailAccountId> accounts;
};

void TestManagerSoak::randomSequencesFollowTheModel_data()
{
    QTest::addColumn<quint32>("seed");
    bool ok = false;
    const int seeds = qEnvironmentVariableIntValue("ZAVEK_SOAK_SEEDS", &ok);
    QList<quint32> list{1, 7, 42, 1234, 99991, 271828, 314159, 0xC0FFEE};
    if (ok && seeds > 0) {
        list.clear();
        for (int i = 1; i <= seeds; ++i)
            list << quint32(i);
    }
    for (quint32 seed : qAsConst(list))
        QTest::addRow("seed %u", seed) << seed;
}

Request TestManagerSoak::randomRequest(QRandomGenerator &random)
{
    Manager *manager = fixture.manager.data();
    const auto pick = [&](int count) { return int(random.bounded(count)); };
    const QMailAccountId account = accounts.at(pick(accounts.size()));
    const QMailFolderId folder(1 + pick(2));
    const QMailMessageId message(1 + pick(messagePool));
    QMailMessageIdList ids{message};
    if (pick(3) == 0)
        ids << QMailMessageId(1 + pick(messagePool));
    const QMailMessagePartContainer::Location location = fixture.part(1 + pick(messagePool), 1 + pick(2));
    const uint minimum = pick(2) ? 20 : 0;
    const bool flag = pick(2);
    const quint64 mask = flag ? QMailMessage::Read : QMailMessage::Replied;
    QStringList idTexts;
    for (const QMailMessageId &id : ids)
        idTexts << QString::number(id.toULongLong());

    Request r;
    r.kind = Kind(pick(KindCount));
    // The key lists what the request's identity holds (a message list's sort order is no part of it).
    const QString what[KindCount] = {
        QString::number(account.toULongLong()), QString::number(account.toULongLong()),
        QString::number(account.toULongLong()),
        QStringLiteral("%1 %2 %3").arg(account.toULongLong()).arg(folder.toULongLong()).arg(flag),
        QStringLiteral("%1 %2 %3").arg(account.toULongLong()).arg(folder.toULongLong()).arg(minimum),
        idTexts.join(',') + QString::number(flag), QStringLiteral("%1 %2").arg(message.toULongLong()).arg(minimum),
        location.toString(true), location.toString(true) + QString::number(minimum), idTexts.join(','),
        idTexts.join(',') + QString::number(mask), idTexts.join(',') + QString::number(folder.toULongLong()),
        QString(), QString()};
    if (r.kind < Add)
        r.key = QString::fromLatin1(callNames[r.kind]) + QLatin1Char(' ') + what[r.kind];
    if (r.kind == Messages || (r.kind >= Delete && r.kind < Add))
        r.ids = ids;
    if (r.kind == MessageRange)
        r.ids = {message};
    if (r.kind == Part || r.kind == PartRange) {
        r.ids = {location.containingMessageId()};
        r.location = location.toString(true);
    }
    QMailMessage content;
    content.setSubject(QStringLiteral("soak"));
    if (r.kind == Update)
        content.setId(message);
    const QMailMessageList messages{content};
    const auto detail = flag ? QMailRetrievalAction::Content : QMailRetrievalAction::MetaData;
    const QMailMessageSortKey sort = pick(2) ? QMailMessageSortKey::id() : QMailMessageSortKey::timeStamp(Qt::DescendingOrder);
    const std::function<uint()> issue[KindCount] = {
        [=] { return manager->sync(account); }, [=] { return manager->send(account); },
        [=] { return manager->exportUpdates(account); },
        [=] { return manager->retrieveFolderList(account, folder, flag); },
        [=] { return manager->retrieveMessageList(account, folder, minimum, sort); },
        [=] { return manager->retrieveMessages(ids, detail); },
        [=] { return manager->retrieveMessageRange(message, minimum); },
        [=] { return manager->retrieveMessagePart(location); },
        [=] { return manager->retrieveMessagePartRange(location, minimum); },
        [=] { return manager->deleteMessages(ids); }, [=] { return manager->flagMessages(ids, mask, 0); },
        [=] { return manager->moveMessages(ids, folder); }, [=] { return manager->addMessages(messages); },
        [=] { return manager->updateMessages(messages); }};
    r.issue = issue[r.kind];
    return r;
}

// One answer of the server to the running request.
void TestManagerSoak::serverStep(QRandomGenerator &random, Model &model, QString &what)
{
    QmfStandIn::MessageServer *server = fixture.server();
    QMailServiceAction *action = fixture.running();
    const int answer = int(random.bounded(18));
    if (answer < 10) {
        what = QStringLiteral("succeed");
        model.succeed();
        server->succeed(action);
    } else {
        // The last row is a server that keeps resetting: the fourth reset gives up.
        static const Status::ErrorCode codes[] = {Status::ErrInternalStateReset, Status::ErrInternalStateReset,
                                                  Status::ErrTimeout, Status::ErrLoginFailed, Status::ErrCancel,
                                                  Status::ErrNoConnection, Status::ErrNoConnection, Status::ErrInternalStateReset};
        const Status::ErrorCode code = codes[answer - 10];
        const uint serial = model.current.serial;
        const int times = answer == 17 ? 4 : 1;
        what = QStringLiteral("fail %1 x%2").arg(int(code)).arg(times);
        for (int i = 0; i < times && model.serverBusy && model.current.serial == serial; ++i) {
            model.fail(code);
            server->fail(fixture.running(), code);
        }
    }
}

QString TestManagerSoak::check(Model &model, int requestsBefore)
{
    Manager *manager = fixture.manager.data();
    if (!model.fault.isEmpty())
        return QStringLiteral("model: ") + model.fault;
    const QStringList lines = fixture.log->take();
    if (lines != model.lines)
        return QStringLiteral("signals %1, model expects %2").arg(lines.join(" | "), model.lines.join(" | "));
    const QStringList calls = fixture.calls().mid(requestsBefore);
    if (calls != model.calls)
        return QStringLiteral("server calls %1, model expects %2").arg(calls.join(' '), model.calls.join(' '));
    if (fixture.server()->runningRequests().size() != int(model.serverBusy))
        return QStringLiteral("%1 server requests run").arg(fixture.server()->runningRequests().size());
    model.lines.clear();
    model.calls.clear();

    QHash<uint, const Op *> live;
    for (const Op &op : qAsConst(model.queue))
        live.insert(op.serial, &op);
    if (model.current.serial)
        live.insert(model.current.serial, &model.current);
    for (uint serial = 1; serial <= model.lastSerial + 1; ++serial) {
        const Op *op = live.value(serial);
        const Manager::OperationInfo *info = manager->operationInfo(serial);
        if (bool(info) != bool(op))
            return QStringLiteral("operationInfo(%1) is %2").arg(serial).arg(info ? "set" : "null");
        if (bool(op) == model.ended.contains(serial) && serial <= model.lastSerial)
            return QStringLiteral("serial %1 is %2 and %3").arg(serial).arg(op ? "live" : "gone", op ? "ended" : "not ended");
    }
    for (int message = 1; message <= messagePool; ++message) {
        if (manager->operations(QMailMessageId(message)) != model.messageIdCache.value(QMailMessageId(message)))
            return QStringLiteral("operations(message %1) differs").arg(message);
        for (int part = 1; part <= 2; ++part) {
            const QMailMessagePartContainer::Location location = fixture.part(message, part);
            if (manager->operations(location) != model.partLocationCache.value(location.toString(true)))
                return QStringLiteral("operations(part %1) differs").arg(location.toString(true));
        }
    }
    return QString();
}

void TestManagerSoak::randomSequencesFollowTheModel()
{
    QFETCH(quint32, seed);
    bool ok = false;
    const int stepsWanted = qEnvironmentVariableIntValue("ZAVEK_SOAK_STEPS", &ok);
    const int steps = ok && stepsWanted > 0 ? stepsWanted : 2500;
    QRandomGenerator random(seed);
    Manager *manager = fixture.manager.data();
    QmfStandIn::MessageServer *server = fixture.server();
    QStringList forbidden;
    forbiddenWarnings = &forbidden;
    previousHandler = qInstallMessageHandler(soakMessageHandler);
    const auto restoreHandler = qScopeGuard([] {
        qInstallMessageHandler(previousHandler);
        forbiddenWarnings = nullptr;
    });
    Model model;
    QStringList history;
    const auto pick = [&](int count) { return int(random.bounded(count)); };

    // After the random steps, the drain: network and IPC up, every request answered.
    for (int step = 0; step < steps + 10000 && (step <= steps || model.current.serial); ++step) {
        const int requestsBefore = server->requestCount();
        const int roll = step < steps ? pick(100) : -1;
        QString what, problem;
        if (step == steps) {
            what = QStringLiteral("drain");
            fixture.network->setOnline(true);
            model.setOnline(true);
        } else if (step > steps) {
            what = model.serverBusy ? QStringLiteral("succeed") : QStringLiteral("events");
            if (model.serverBusy) {
                model.succeed();
                server->succeed(fixture.running());
            } else {
                model.answerCancellation();
                QCoreApplication::processEvents();
            }
        } else if (roll < 24) {
            const Request request = randomRequest(random);
            const uint expected = model.enqueue(request);
            const uint serial = request.issue();
            what = QStringLiteral("%1 -> %2").arg(QLatin1String(callNames[request.kind])).arg(serial);
            if (serial != expected)
                problem = QStringLiteral("serial %1, model expects %2").arg(serial).arg(expected);
        } else if (roll < 30) {
            uint serial = model.lastSerial + 1 + pick(3);   // never issued
            if (pick(10) < 7 && model.lastSerial)
                serial = 1 + pick(model.lastSerial);
            if (!model.queue.isEmpty() && pick(2))
                serial = model.queue.at(pick(model.queue.size())).serial;
            what = QStringLiteral("cancel %1").arg(serial);
            model.cancel(serial);
            manager->cancelOperation(serial);
        } else if (roll < 31 && pick(2)) {
            what = QStringLiteral("stop");
            model.stop();
            manager->stop();
        } else if (roll < 72 && model.serverBusy) {
            serverStep(random, model, what);
        } else if (roll < 82) {
            what = QStringLiteral("events");
            model.answerCancellation();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        } else {
            // Flaps, and sessions that open (bringing the device online) or fail.
            ZavekScriptedNetworkSession *session = fixture.network->lastSession();
            const int choice = pick(3);
            what = QStringLiteral("network %1").arg(choice);
            if (choice == 0 || !session)
                fixture.network->setOnline(pick(3) != 0);
            else if (choice == 1)
                session->reportOpened();
            else
                session->reportError(ZavekNetworkSession::UnknownSessionError);
            model.setOnline(fixture.network->isOnline());
        }

        history << QStringLiteral("%1: %2").arg(step).arg(what);
        if (history.size() > 40)
            history.removeFirst();
        if (problem.isEmpty())
            problem = check(model, requestsBefore);
        if (!problem.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1 step %2: %3\nlast steps:\n%4").arg(seed).arg(step).arg(problem, history.join('\n'))));
    }
    QVERIFY2(forbidden.isEmpty(), qPrintable(forbidden.join('\n')));
    QVERIFY(!model.current.serial && !model.serverBusy);
    QCOMPARE(uint(model.ended.size()), model.lastSerial);   // every serial ended, once
}

QTEST_GUILESS_MAIN(TestManagerSoak)
#include "tst_manager_soak.moc"
