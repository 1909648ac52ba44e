// Soak of the manager: long random sequences of requests, cancels, server answers and
// network flaps. A small model written from the queue's rules as stated (a plain list
// scanned from its head, one current operation) says which serial each request gets, which
// call reaches the server, and which serials end; it shares nothing with the manager's
// indexed queue. After every step the manager must agree with it: the same serial, the same
// server calls, the same terminal signals (so each serial ends once), at most the one
// running request, and lookups that list only live serials. After the drain every serial
// has ended.
//
// ZAVEK_SOAK_STEPS overrides the steps per sequence; ZAVEK_SOAK_SEEDS (a number N) runs the
// seeds 1..N instead of the fixed list.

#include "managerfixture.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>
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

struct Op
{
    Kind kind = Sync;
    QString key;                   // equal keys are one operation; empty: never merged
    std::function<uint()> issue;   // makes the request of the manager
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
    QStringList calls, ends;   // this step's server calls and terminal signals
    QSet<uint> ended;

    uint enqueue(Op op)
    {
        uint serial = equalOperation(op);
        if (!serial) {
            op.serial = serial = ++lastSerial;
            if (!current.serial) {
                current = op;
            } else {
                queue.append(op);
                if (isUrgent(op.kind) && !isUrgent(current.kind)) {
                    if (!current.running) {
                        queue.prepend(current);
                        current = takeNext();
                    } else if (!current.stopAsked && current.kind != Export) {   // an export runs on
                        current.stopAsked = current.interrupted = true;
                    }
                }
            }
        }
        start();
        return serial;
    }

    void cancel(uint serial)
    {
        const auto queued = std::remove_if(queue.begin(), queue.end(), [=](const Op &op) { return op.serial == serial; });
        bool ends = queued != queue.end();
        queue.erase(queued, queue.end());
        if (current.serial == serial && current.running) {
            current.interrupted = false;
            current.stopAsked = true;
            return;
        }
        if (current.serial == serial) {
            current = takeNext();
            ends = true;
        }
        finish(serial, QMailServiceAction::Failed, Status::ErrCancel, ends);
    }

    void stop()
    {
        while (!queue.isEmpty())
            cancel(queue.first().serial);
        if (current.serial)
            cancel(current.serial);
    }

    // The server's answers to the running request.
    void succeed() { runEnds(QMailServiceAction::Successful, 0); }
    void fail(int code) { runEnds(QMailServiceAction::Failed, code); }
    void answerCancellation()
    {
        if (current.running && current.stopAsked)
            fail(Status::ErrCancel);
    }

    void setOnline(bool now)
    {
        const bool cameOnline = now && !online;
        online = now;
        if (cameOnline && !current.serial)
            current = takeNext();
        start();
    }

private:
    uint equalOperation(const Op &request) const
    {
        if (request.key.isEmpty())
            return 0;
        QList<Op> live = queue;   // in queue order, the current one first
        if (current.serial)
            live.prepend(current);
        const Op *lastChange = nullptr;
        for (const Op &op : qAsConst(live)) {
            if (changesStore(request.kind) && changesStore(op.kind))
                lastChange = &op;
            // A running snapshot request has read its input already.
            if (!changesStore(request.kind) && op.key == request.key && !(takesSnapshot(request.kind) && op.running))
                return op.serial;
        }
        // A store change joins only the last one: the user's last action wins.
        return lastChange && lastChange->key == request.key ? lastChange->serial : 0;
    }

    Op takeNext()
    {
        int best = -1;
        for (int i = 0; i < queue.size(); ++i) {
            if (best < 0 || (isUrgent(queue.at(i).kind) && !isUrgent(queue.at(best).kind)))
                best = i;
        }
        return best < 0 ? Op() : queue.takeAt(best);
    }

    void start()
    {
        if (!current.serial || current.running || (needsNetwork(current.kind) && !online))
            return;
        current.running = true;
        current.stopAsked = current.interrupted = false;
        calls << QString::fromLatin1(callNames[current.kind]);
    }

    void runEnds(Activity activity, int code)
    {
        current.running = false;
        if (current.interrupted && activity == QMailServiceAction::Failed) {
            // Back to the head of the queue, to run again under its serial.
            queue.prepend(Op{current.kind, current.key, current.issue, current.serial});
            current = takeNext();
        } else if (code == Status::ErrInternalStateReset && !current.stopAsked && current.resets < 3) {
            ++current.resets;
        } else {
            const uint serial = current.serial;
            current = takeNext();
            finish(serial, activity, code, true);
        }
        start();
    }

    void finish(uint serial, Activity activity, int code, bool ends)
    {
        this->ends << activityLine(serial, activity, code);
        if (ends)
            ended.insert(serial);
        start();
    }
};

// Collects the warnings that must never appear during a soak and swallows the rest: the
// manager warns on every failure and offline start, which would drown the test output.
QStringList forbiddenWarnings;
QtMessageHandler previousHandler = nullptr;

void soakMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    static const QRegularExpression never("ENFORCE failed|dropped|still running|Cannot cancel service action|"
                                          "no running request|cast failed");
    if (type == QtFatalMsg)
        previousHandler(type, context, message);
    if (message.contains(never))
        forbiddenWarnings << message;
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
    Op randomRequest(QRandomGenerator &random);
    void serverStep(QRandomGenerator &random, Model &model);
    QString check(Model &model, int requestsBefore);

    ManagerFixture fixture;
    QList<QMailAccountId> accounts;
};

void TestManagerSoak::randomSequencesFollowTheModel_data()
{
    QTest::addColumn<quint32>("seed");
    const int seeds = qEnvironmentVariableIntValue("ZAVEK_SOAK_SEEDS");
    QList<quint32> list{1, 7, 42, 1234, 99991, 271828, 314159, 0xC0FFEE};
    if (seeds > 0)
        list.clear();
    for (int i = 1; i <= seeds; ++i)
        list << quint32(i);
    for (quint32 seed : qAsConst(list))
        QTest::addRow("seed %u", seed) << seed;
}

Op TestManagerSoak::randomRequest(QRandomGenerator &random)
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
    const QString a = QString::number(account.toULongLong()), f = QString::number(folder.toULongLong());
    const QString i = idTexts.join(','), l = location.toString(true), m = QString::number(minimum), b = QString::number(flag);
    Op r;
    r.kind = Kind(pick(KindCount));
    QMailMessage content;
    if (r.kind == Update)
        content.setId(message);
    const QMailMessageList messages{content};
    const auto detail = flag ? QMailRetrievalAction::Content : QMailRetrievalAction::MetaData;
    const QMailMessageSortKey sort = pick(2) ? QMailMessageSortKey::id() : QMailMessageSortKey::timeStamp(Qt::DescendingOrder);
    // Each request with what its identity holds (a message list's sort order is no part of it).
    const QPair<QString, std::function<uint()> > requests[KindCount] = {
        {a, [=] { return manager->sync(account); }},
        {a, [=] { return manager->send(account); }},
        {a, [=] { return manager->exportUpdates(account); }},
        {a + ' ' + f + ' ' + b, [=] { return manager->retrieveFolderList(account, folder, flag); }},
        {a + ' ' + f + ' ' + m, [=] { return manager->retrieveMessageList(account, folder, minimum, sort); }},
        {i + ' ' + b, [=] { return manager->retrieveMessages(ids, detail); }},
        {QString::number(message.toULongLong()) + ' ' + m, [=] { return manager->retrieveMessageRange(message, minimum); }},
        {l, [=] { return manager->retrieveMessagePart(location); }},
        {l + ' ' + m, [=] { return manager->retrieveMessagePartRange(location, minimum); }},
        {i, [=] { return manager->deleteMessages(ids); }},
        {i + ' ' + QString::number(mask), [=] { return manager->flagMessages(ids, mask, 0); }},
        {i + ' ' + f, [=] { return manager->moveMessages(ids, folder); }},
        {QString(), [=] { return manager->addMessages(messages); }},
        {QString(), [=] { return manager->updateMessages(messages); }}};
    if (!requests[r.kind].first.isEmpty())
        r.key = QString::fromLatin1(callNames[r.kind]) + QLatin1Char(' ') + requests[r.kind].first;
    r.issue = requests[r.kind].second;
    return r;
}

// One answer of the server to the running request.
void TestManagerSoak::serverStep(QRandomGenerator &random, Model &model)
{
    const int answer = int(random.bounded(18));
    if (answer < 10) {
        model.succeed();
        fixture.server()->succeed(fixture.running());
        return;
    }
    // The last row is a server that keeps resetting: the fourth reset gives up.
    static const Status::ErrorCode codes[] = {Status::ErrInternalStateReset, Status::ErrInternalStateReset,
                                              Status::ErrTimeout, Status::ErrLoginFailed, Status::ErrCancel,
                                              Status::ErrNoConnection, Status::ErrNoConnection, Status::ErrInternalStateReset};
    const Status::ErrorCode code = codes[answer - 10];
    const uint serial = model.current.serial;
    const int times = answer == 17 ? 4 : 1;
    for (int i = 0; i < times && model.current.running && model.current.serial == serial; ++i) {
        model.fail(code);
        fixture.server()->fail(fixture.running(), code);
    }
}

QString TestManagerSoak::check(Model &model, int requestsBefore)
{
    Manager *manager = fixture.manager.data();
    const QStringList ended = ends(fixture.log->take());
    if (ended != model.ends)
        return QStringLiteral("ends %1, model expects %2").arg(ended.join(" | "), model.ends.join(" | "));
    const QStringList calls = fixture.calls().mid(requestsBefore);
    if (calls != model.calls)
        return QStringLiteral("server calls %1, model expects %2").arg(calls.join(' '), model.calls.join(' '));
    if (fixture.server()->runningRequests().size() != int(model.current.running))
        return QStringLiteral("%1 server requests run").arg(fixture.server()->runningRequests().size());
    model.ends.clear();
    model.calls.clear();

    QSet<uint> live{model.current.serial};
    for (const Op &op : qAsConst(model.queue))
        live.insert(op.serial);
    for (uint serial = 1; serial <= model.lastSerial + 1; ++serial) {
        if (bool(manager->operationInfo(serial)) != live.contains(serial))
            return QStringLiteral("operationInfo(%1) is %2").arg(serial).arg(live.contains(serial) ? "null" : "set");
    }
    // Every serial a lookup lists is a live operation's; after the drain none is listed.
    for (int message = 1; message <= messagePool; ++message) {
        QList<uint> listed = manager->operations(QMailMessageId(message));
        listed << manager->operations(fixture.part(message, 1)) << manager->operations(fixture.part(message, 2));
        for (uint serial : qAsConst(listed)) {
            if (!live.contains(serial))
                return QStringLiteral("operations(message %1) lists %2").arg(message).arg(serial);
        }
    }
    return QString();
}

void TestManagerSoak::randomSequencesFollowTheModel()
{
    QFETCH(quint32, seed);
    const int stepsWanted = qEnvironmentVariableIntValue("ZAVEK_SOAK_STEPS");
    const int steps = stepsWanted > 0 ? stepsWanted : 2500;
    QRandomGenerator random(seed);
    Manager *manager = fixture.manager.data();
    forbiddenWarnings.clear();
    previousHandler = qInstallMessageHandler(soakMessageHandler);
    const auto restoreHandler = qScopeGuard([] { qInstallMessageHandler(previousHandler); });
    Model model;
    const auto pick = [&](int count) { return int(random.bounded(count)); };
    // The stand-in answers a cancellation on the next turn of the event loop.
    const auto events = [&model] {
        model.answerCancellation();
        QCoreApplication::processEvents();
    };

    for (int step = 0; step < steps + 10000 && (step <= steps || model.current.serial); ++step) {
        const int requestsBefore = fixture.server()->requestCount();
        const int roll = step < steps ? pick(100) : -1;
        QString problem;
        if (step >= steps) {   // the drain: network up, every request answered
            fixture.network->setOnline(true);
            model.setOnline(true);
            if (model.current.running) {
                model.succeed();
                fixture.server()->succeed(fixture.running());
            } else {
                events();
            }
        } else if (roll < 24) {
            const Op request = randomRequest(random);
            const uint expected = model.enqueue(request);
            const uint serial = request.issue();
            if (serial != expected)
                problem = QStringLiteral("serial %1, model expects %2").arg(serial).arg(expected);
        } else if (roll < 30) {
            uint serial = model.lastSerial + 1 + pick(3);   // never issued
            if (pick(10) < 7 && model.lastSerial)
                serial = 1 + pick(model.lastSerial);
            if (!model.queue.isEmpty() && pick(2))
                serial = model.queue.at(pick(model.queue.size())).serial;
            model.cancel(serial);
            manager->cancelOperation(serial);
        } else if (roll < 31 && pick(2)) {
            model.stop();
            manager->stop();
        } else if (roll < 72 && model.current.running) {
            serverStep(random, model);
        } else if (roll < 82) {
            events();
            QCoreApplication::processEvents();
        } else {
            // Flaps, and sessions that open (bringing the device online) or fail.
            ZavekScriptedNetworkSession *session = fixture.network->lastSession();
            const int choice = pick(3);
            if (choice == 0 || !session)
                fixture.network->setOnline(pick(3) != 0);
            else if (choice == 1)
                session->reportOpened();
            else
                session->reportError(ZavekNetworkSession::UnknownSessionError);
            model.setOnline(fixture.network->isOnline());
        }

        if (problem.isEmpty())
            problem = check(model, requestsBefore);
        if (!problem.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1 step %2: %3").arg(seed).arg(step).arg(problem)));
    }
    QVERIFY2(forbiddenWarnings.isEmpty(), qPrintable(forbiddenWarnings.join('\n')));
    QVERIFY(!model.current.serial);
    QCOMPARE(uint(model.ended.size()), model.lastSerial);   // every serial ended, once
}

QTEST_GUILESS_MAIN(TestManagerSoak)
#include "tst_manager_soak.moc"
