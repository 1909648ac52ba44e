// Model-based soak of the manager: long random sequences of requests, cancels, server
// answers, IPC drops, network flaps and session errors, each step checked against a small
// reference model of the queue. The model predicts every per-serial signal, every call the
// server receives and the contents of the caches; after each sequence the system is drained
// and every serial must have ended exactly once.
//
// ZAVEK_SOAK_STEPS overrides the steps per sequence; ZAVEK_SOAK_SEEDS (a number N) runs the
// seeds 1..N instead of the fixed list.

#include "managerfixture.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <map>

using Manager = ZavekServiceActionManager;
using Status = QMailServiceAction::Status;

namespace {

enum Kind { Sync, Send, Export, FolderList, MessageList, Messages, MessageRange, Part, PartRange,
            Delete, Flag, Move, Add, Update, KindCount };
enum Merge { MergeAlways, MergeUnlessStarted, MergeIfLastStoreChange, MergeNever };

const char *const callNames[KindCount] = {
    "synchronizeAll", "transmitMessages", "exportUpdates", "retrieveFolderList", "retrieveMessageList",
    "retrieveMessages", "retrieveMessageRange", "retrieveMessagePart", "retrieveMessagePartRange",
    "deleteMessages", "flagMessages", "moveMessages", "addMessages", "updateMessages"};

const int messagePool = 4;   // message ids 1..4
const int partsPerMessage = 2;

// One request as the model sees it: its identity and what the manager should do with it.
struct Request
{
    Kind kind = Sync;
    QString key;            // equal keys are equal descriptions
    int priority = 0;       // 0 Low, 1 High
    bool needsNetwork = true;
    Merge merge = MergeAlways;
    QMailMessageIdList cacheIds;
    QString locationKey;
    QMailMessageId infoId;
    QString infoLocation;
};

struct Operation
{
    Request request;
    bool started = false;
    bool preempted = false;
    bool cancelRequested = false;
    bool finished = false;
    int restarts = 0;
    QMailMessageIdList cachedIds;
    QStringList cachedLocations;
};

// The one server request that runs (at most one at a time).
struct Run
{
    bool active = false;
    uint serial = 0;
    int statusCode = 0;
    QMailServiceAction::Activity activity = QMailServiceAction::Pending;
    uint progress = 0;
    uint total = 0;
    bool cancelPending = false;
};

QString line(const char *format, uint serial) { return QString::fromLatin1(format).arg(serial); }

QString activityLine(uint serial, QMailServiceAction::Activity activity, int code)
{
    static const char *const names[] = {"Pending", "InProgress", "Successful", "Failed"};
    return QStringLiteral("A%1 %2 %3").arg(serial).arg(QLatin1String(names[activity])).arg(code);
}

// The reference model: the decided behaviour of the queue, restated as plainly as possible.
class Model
{
public:
    std::map<uint, Operation> ops;
    QList<uint> queue;   // queue order, head first
    uint current = 0;
    uint lastSerial = 0;
    bool ipcUp = true;
    bool online = true;
    bool waitingForIpc = false;
    Run run;
    QStringList lines;     // expected signals of this step
    QStringList calls;     // expected server calls of this step
    QString fault;         // first internal inconsistency of the model, if any
    QHash<QMailMessageId, QList<uint> > idCache;
    QHash<QString, QList<uint> > locationCache;
    QMap<QString, int> stats;   // how often each rule was exercised

    bool alive(uint serial) const
    {
        const auto found = ops.find(serial);
        return found != ops.end() && !found->second.finished;
    }
    Operation &op(uint serial) { return ops[serial]; }

    uint enqueue(const Request &request)
    {
        const uint existing = findEqual(request);
        uint serial = existing;
        bool displaced = false;
        ++stats[existing ? QStringLiteral("merged") : QStringLiteral("queued")];
        if (!existing) {
            serial = ++lastSerial;
            ops[serial].request = request;
            if (!current) {
                current = serial;
            } else {
                queue.append(serial);
                Operation &running = op(current);
                if (running.request.priority < request.priority) {
                    if (!running.started) {
                        queue.prepend(current);
                        current = takeNext();
                        displaced = true;
                    } else if (!running.cancelRequested) {
                        running.preempted = running.cancelRequested = true;
                        ++stats[QStringLiteral("preempted")];
                        queue.prepend(current);
                        requestCancel();
                    }
                }
            }
        }
        Operation &entry = op(serial);
        for (const QMailMessageId &id : request.cacheIds) {
            idCache[id].append(serial);
            entry.cachedIds.append(id);
        }
        if (!request.locationKey.isEmpty()) {
            locationCache[request.locationKey].append(serial);
            entry.cachedLocations.append(request.locationKey);
        }
        if (!existing && current == serial) {
            if (!executeCurrent() && displaced)
                lines << activityLine(serial, QMailServiceAction::Pending, 0);
        } else {
            lines << activityLine(serial, QMailServiceAction::Pending, 0);
            if (current && !op(current).started)
                executeCurrent();
        }
        return serial;
    }

    void cancel(uint serial)
    {
        const bool queued = queue.removeAll(serial) > 0;
        if (queued || (current && current == serial))
            forget(serial);
        if (!current || current != serial) {
            reportCancelled(serial);
            ++stats[queued ? QStringLiteral("cancelled") : QStringLiteral("cancel-echo")];
            if (queued)
                finish(serial);
            return;
        }
        Operation &running = op(current);
        if (!running.started) {
            current = takeNext();
            reportCancelled(serial);
            ++stats[QStringLiteral("cancelled")];
            finish(serial);
            if (current)
                executeCurrent();
            return;
        }
        running.preempted = false;
        running.cancelRequested = true;
        requestCancel();
    }

    void stop()
    {
        while (!queue.isEmpty())
            cancel(queue.first());
        if (current)
            cancel(current);
    }

    // ---- what the server does to the running request ----
    void setProgress(uint value, uint total)
    {
        value = qMin(value, total);
        if (value == run.progress && total == run.total)
            return;
        run.progress = value;
        run.total = total;
        if (!op(run.serial).preempted)
            lines << QStringLiteral("P%1 %2/%3").arg(run.serial).arg(value).arg(total);
    }
    void setStatus(int code)
    {
        run.statusCode = code;
        if (!op(run.serial).preempted)
            lines << QStringLiteral("S%1 %2").arg(run.serial).arg(code);
    }
    void setInProgress()
    {
        if (run.activity == QMailServiceAction::InProgress)
            return;
        run.activity = QMailServiceAction::InProgress;
        if (!op(run.serial).preempted)
            lines << activityLine(run.serial, run.activity, run.statusCode);
    }
    void succeed() { end(QMailServiceAction::Successful); }
    void fail(int code)
    {
        setStatus(code);
        end(QMailServiceAction::Failed);
    }
    // The server answers the cancellation it was asked for, if that request still runs.
    void answerCancellation()
    {
        if (run.active && run.cancelPending)
            fail(Status::ErrCancel);
    }

    // ---- connectivity ----
    void dropIpc()
    {
        ipcUp = false;
        if (run.active)
            fail(Status::ErrInternalServer);
    }
    void establishIpc()
    {
        const bool wasUp = ipcUp;
        ipcUp = true;
        if (wasUp || !waitingForIpc)
            return;
        waitingForIpc = false;
        if (!current)
            current = takeNext();
        if (current)
            executeCurrent();
    }
    void setOnline(bool nowOnline)
    {
        const bool cameOnline = nowOnline && !online;
        online = nowOnline;
        if (!cameOnline)
            return;
        if (!current)
            current = takeNext();
        if (current)
            executeCurrent();
    }

private:
    uint findEqual(const Request &request)
    {
        const auto equal = [&](uint serial) { return op(serial).request.key == request.key; };
        switch (request.merge) {
        case MergeNever:
            return 0;
        case MergeAlways:
            if (current && equal(current))
                return current;
            for (uint serial : qAsConst(queue)) {
                if (equal(serial))
                    return serial;
            }
            return 0;
        case MergeUnlessStarted:
            if (current && !op(current).started && equal(current))
                return current;
            for (uint serial : qAsConst(queue)) {
                if (!op(serial).started && equal(serial))
                    return serial;
            }
            return 0;
        case MergeIfLastStoreChange: {
            uint last = 0;
            for (uint serial : qAsConst(queue)) {
                if (op(serial).request.merge >= MergeIfLastStoreChange)
                    last = serial;
            }
            if (!last && current && op(current).request.merge >= MergeIfLastStoreChange)
                last = current;
            return last && equal(last) ? last : 0;
        }
        }
        return 0;
    }

    uint takeNext()
    {
        int best = -1;
        for (int i = 0; i < queue.size(); ++i) {
            if (best < 0 || op(queue.at(i)).request.priority > op(queue.at(best)).request.priority)
                best = i;
        }
        return best < 0 ? 0 : queue.takeAt(best);
    }

    bool executeCurrent()
    {
        Operation &chosen = op(current);
        if (chosen.started)
            return true;
        waitingForIpc = !ipcUp;
        if ((!online && chosen.request.needsNetwork) || waitingForIpc)
            return false;
        if (chosen.finished)
            note(QStringLiteral("serial %1 started after it ended").arg(current));
        if (run.active)
            note(QStringLiteral("serial %1 started while %2 runs").arg(current).arg(run.serial));
        chosen.started = true;
        chosen.preempted = chosen.cancelRequested = false;
        run = Run();
        run.active = true;
        run.serial = current;
        calls << QString::fromLatin1(callNames[chosen.request.kind]);
        lines << activityLine(current, QMailServiceAction::Pending, 0);
        return true;
    }

    void requestCancel()
    {
        if (!run.active || run.serial != current)
            note(QStringLiteral("cancel of serial %1 without a running request").arg(current));
        run.cancelPending = true;
    }

    // The running request ends with `activity`; the manager's completion path follows.
    void end(QMailServiceAction::Activity activity)
    {
        const int code = run.statusCode;
        run.active = false;
        Operation &ended = op(current);
        if (ended.preempted) {
            if (activity == QMailServiceAction::Successful) {
                queue.removeAll(current);
                ++stats[QStringLiteral("preempted-finished")];
                complete(activity, code);
            } else {
                ended.started = ended.preempted = ended.cancelRequested = false;
                ended.restarts = 0;
                const uint serial = current;
                if (!queue.contains(serial))
                    queue.prepend(serial);
                current = takeNext();
                lines << activityLine(serial, QMailServiceAction::Pending, 0);
                ++stats[QStringLiteral("requeued")];
                if (current)
                    executeCurrent();
            }
            return;
        }
        if (code == Status::ErrInternalStateReset && !ended.cancelRequested) {
            if (ended.restarts < 3) {
                ++ended.restarts;
                ++stats[QStringLiteral("restarted")];
                ended.started = false;
                executeCurrent();
                return;
            }
            activity = QMailServiceAction::Failed;
            ++stats[QStringLiteral("gave-up")];
        }
        complete(activity, code);
    }

    void complete(QMailServiceAction::Activity activity, int code)
    {
        const uint serial = current;
        forget(serial);
        current = takeNext();
        lines << activityLine(serial, activity, code);
        ++stats[activity == QMailServiceAction::Successful ? QStringLiteral("succeeded") : QStringLiteral("failed")];
        finish(serial);
        if (current)
            executeCurrent();
    }

    void reportCancelled(uint serial)
    {
        lines << line("S%1 1030", serial) << activityLine(serial, QMailServiceAction::Failed, Status::ErrCancel);
    }

    void finish(uint serial)
    {
        Operation &ended = op(serial);
        if (ended.finished)
            note(QStringLiteral("serial %1 ended twice").arg(serial));
        ended.finished = true;
    }

    void forget(uint serial)
    {
        Operation &entry = op(serial);
        for (const QMailMessageId &id : qAsConst(entry.cachedIds)) {
            idCache[id].removeOne(serial);
            if (idCache[id].isEmpty())
                idCache.remove(id);
        }
        for (const QString &key : qAsConst(entry.cachedLocations)) {
            locationCache[key].removeOne(serial);
            if (locationCache[key].isEmpty())
                locationCache.remove(key);
        }
        entry.cachedIds.clear();
        entry.cachedLocations.clear();
    }

    void note(const QString &problem)
    {
        if (fault.isEmpty())
            fault = problem;
    }
};

// Counts the warnings that must never appear during a soak and swallows the rest: the
// manager warns on every failure and offline start, which would drown the test output.
class SoakMessages
{
public:
    SoakMessages() : previous(qInstallMessageHandler(&SoakMessages::handle)) { current() = this; }
    ~SoakMessages()
    {
        current() = nullptr;
        qInstallMessageHandler(previous);
    }
    QStringList forbidden;
    int total = 0;

private:
    static SoakMessages *&current()
    {
        static SoakMessages *messages = nullptr;
        return messages;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        SoakMessages *messages = current();
        if (!messages || type == QtFatalMsg || type == QtInfoMsg) {
            if (messages && messages->previous)
                messages->previous(type, context, message);
            return;
        }
        ++messages->total;
        static const char *const never[] = {"ENFORCE failed", "dropped", "still running", "Cannot cancel service action",
                                            "no running request", "cast failed"};
        for (const char *text : never) {
            if (message.contains(QLatin1String(text)))
                messages->forbidden << message;
        }
    }
    QtMessageHandler previous;
};

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
    void cleanupTestCase();

    void randomSequencesFollowTheModel_data();
    void randomSequencesFollowTheModel();

private:
    Request randomRequest(QRandomGenerator &random, Kind kind, std::function<uint()> &issue);
    QString check(Model &model, int requestsBefore);
    QString checkDrained(Model &model);

    ManagerFixture fixture;
    QList<QMailAccountId> accounts;
    qint64 totalSteps = 0;
    qint64 totalRequests = 0;
    qint64 totalSerials = 0;
    qint64 totalRuns = 0;
    QMap<QString, qint64> totalStats;
};

static int environmentNumber(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

void TestManagerSoak::randomSequencesFollowTheModel_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    const int steps = environmentNumber("ZAVEK_SOAK_STEPS", 2500);
    const int seeds = environmentNumber("ZAVEK_SOAK_SEEDS", 0);
    QList<quint32> list{1, 7, 42, 1234, 99991, 271828, 314159, 0xC0FFEE};
    if (seeds) {
        list.clear();
        for (int i = 1; i <= seeds; ++i)
            list << quint32(i);
    }
    for (quint32 seed : qAsConst(list))
        QTest::addRow("seed %u", seed) << seed << steps;
}

Request TestManagerSoak::randomRequest(QRandomGenerator &random, Kind kind, std::function<uint()> &issue)
{
    Manager *manager = fixture.manager.data();
    const auto pick = [&](int count) { return int(random.bounded(count)); };
    const QMailAccountId account = accounts.at(pick(accounts.size()));
    const QMailFolderId folder(1 + pick(2));
    const QMailMessageId message(1 + pick(messagePool));
    QMailMessageIdList ids{message};
    if (pick(3) == 0)
        ids << QMailMessageId(1 + pick(messagePool));
    const QMailMessagePartContainer::Location location = fixture.part(1 + pick(messagePool), 1 + pick(partsPerMessage));
    const uint minimum = pick(2) ? 20 : 0;
    const auto idText = [](const QMailMessageIdList &list) {
        QStringList parts;
        for (const QMailMessageId &id : list)
            parts << QString::number(id.toULongLong());
        return parts.join(QLatin1Char(','));
    };

    Request request;
    request.kind = kind;
    request.priority = kind == Sync || kind == Export || kind == FolderList || kind == MessageList ? 0 : 1;
    request.needsNetwork = kind < Delete;
    const QString base = QString::fromLatin1(callNames[kind]) + QLatin1Char(':');
    switch (kind) {
    case Sync:
    case Send:
    case Export:
        request.merge = MergeUnlessStarted;
        request.key = base + QString::number(account.toULongLong());
        issue = [=] { return kind == Sync ? manager->sync(account) : kind == Send ? manager->send(account)
                                                                                  : manager->exportUpdates(account); };
        break;
    case FolderList: {
        const bool descending = pick(2);
        request.key = base + QStringLiteral("%1;%2;%3").arg(account.toULongLong()).arg(folder.toULongLong()).arg(descending);
        issue = [=] { return manager->retrieveFolderList(account, folder, descending); };
        break;
    }
    case MessageList: {
        // The sort key is not part of the identity: a request with another one merges.
        const QMailMessageSortKey sort = pick(2) ? QMailMessageSortKey::id() : QMailMessageSortKey::timeStamp(Qt::DescendingOrder);
        request.key = base + QStringLiteral("%1;%2;%3").arg(account.toULongLong()).arg(folder.toULongLong()).arg(minimum);
        issue = [=] { return manager->retrieveMessageList(account, folder, minimum, sort); };
        break;
    }
    case Messages: {
        const auto detail = pick(2) ? QMailRetrievalAction::Content : QMailRetrievalAction::MetaData;
        request.key = base + idText(ids) + QLatin1Char(';') + QString::number(int(detail));
        request.cacheIds = ids;
        request.infoId = ids.first();
        issue = [=] { return manager->retrieveMessages(ids, detail); };
        break;
    }
    case MessageRange:
        request.key = base + QStringLiteral("%1;%2").arg(message.toULongLong()).arg(minimum);
        request.cacheIds = {message};
        issue = [=] { return manager->retrieveMessageRange(message, minimum); };
        break;
    case Part:
    case PartRange:
        request.key = base + location.toString(true) + (kind == PartRange ? QStringLiteral(";%1").arg(minimum) : QString());
        request.cacheIds = {location.containingMessageId()};
        request.locationKey = location.toString(true);
        if (kind == Part) {
            request.infoId = location.containingMessageId();
            request.infoLocation = location.toString(true);
            issue = [=] { return manager->retrieveMessagePart(location); };
        } else {
            issue = [=] { return manager->retrieveMessagePartRange(location, minimum); };
        }
        break;
    case Delete:
    case Flag:
    case Move: {
        request.merge = MergeIfLastStoreChange;
        request.cacheIds = ids;
        const quint64 set = pick(2) ? QMailMessage::Read : QMailMessage::Replied;
        request.key = base + idText(ids);
        if (kind == Delete) {
            issue = [=] { return manager->deleteMessages(ids); };
        } else if (kind == Flag) {
            request.key += QStringLiteral(";%1").arg(set);
            issue = [=] { return manager->flagMessages(ids, set, 0); };
        } else {
            request.key += QStringLiteral(";%1").arg(folder.toULongLong());
            issue = [=] { return manager->moveMessages(ids, folder); };
        }
        break;
    }
    case Add:
    case Update: {
        request.merge = MergeNever;
        QMailMessage content;
        content.setSubject(QStringLiteral("soak"));
        if (kind == Update)
            content.setId(message);
        const QMailMessageList messages{content};
        issue = [=] { return kind == Add ? manager->addMessages(messages) : manager->updateMessages(messages); };
        break;
    }
    case KindCount:
        break;
    }
    return request;
}

QString TestManagerSoak::check(Model &model, int requestsBefore)
{
    Manager *manager = fixture.manager.data();
    if (!model.fault.isEmpty())
        return QStringLiteral("model: ") + model.fault;
    const QStringList signalLines = fixture.log->take();
    if (signalLines != model.lines)
        return QStringLiteral("signals %1, model expects %2").arg(signalLines.join(QLatin1String(" | ")),
                                                                 model.lines.join(QLatin1String(" | ")));
    const QStringList calls = fixture.calls().mid(requestsBefore);
    if (calls != model.calls)
        return QStringLiteral("server calls %1, model expects %2").arg(calls.join(QLatin1Char(' ')),
                                                                      model.calls.join(QLatin1Char(' ')));
    const int running = fixture.server()->runningRequests().size();
    if (running != (model.run.active ? 1 : 0))
        return QStringLiteral("%1 server requests run, model expects %2").arg(running).arg(model.run.active);

    for (uint serial = 1; serial <= model.lastSerial + 1; ++serial) {
        const Manager::OperationInfo *info = manager->operationInfo(serial);
        if (bool(info) != model.alive(serial))
            return QStringLiteral("operationInfo(%1) is %2").arg(serial).arg(info ? "set" : "null");
        if (!info)
            continue;
        const Request &request = model.op(serial).request;
        const QMailMessagePartContainer::Location location = info->messagePartLocation();
        const QString locationText = location.isValid(true) ? location.toString(true) : QString();
        if (info->messageId() != request.infoId || locationText != request.infoLocation)
            return QStringLiteral("operationInfo(%1) names message %2, part '%3'").arg(serial).arg(info->messageId().toULongLong())
                    .arg(locationText);
    }
    for (int message = 1; message <= messagePool; ++message) {
        const QMailMessageId id(message);
        if (manager->operations(id) != model.idCache.value(id))
            return QStringLiteral("operations(message %1) differs").arg(message);
        for (int part = 1; part <= partsPerMessage; ++part) {
            const QMailMessagePartContainer::Location location = fixture.part(message, part);
            if (manager->operations(location) != model.locationCache.value(location.toString(true)))
                return QStringLiteral("operations(part %1) differs").arg(location.toString(true));
        }
    }
    model.lines.clear();
    model.calls.clear();
    return QString();
}

QString TestManagerSoak::checkDrained(Model &model)
{
    for (const auto &entry : model.ops) {
        if (!entry.second.finished)
            return QStringLiteral("serial %1 never ended").arg(entry.first);
    }
    if (model.current || !model.queue.isEmpty() || !model.idCache.isEmpty() || !model.locationCache.isEmpty())
        return QStringLiteral("model not empty after the drain");
    return QString();
}

void TestManagerSoak::randomSequencesFollowTheModel()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    QRandomGenerator random(seed);
    Manager *manager = fixture.manager.data();
    QmfStandIn::MessageServer *server = fixture.server();
    const SoakMessages messages;
    Model model;
    QStringList history;
    int requests = 0;

    const auto serverAction = [&] { return fixture.running(); };
    const auto pick = [&](int count) { return int(random.bounded(count)); };
    // Online transitions the step caused (session opened, flaps) reach the model afterwards.
    const auto followNetwork = [&] { model.setOnline(fixture.network->isOnline()); };

    for (int step = 0; step < steps; ++step) {
        const int requestsBefore = server->requestCount();
        const int roll = pick(100);
        QString what;
        if (roll < 24) {
            std::function<uint()> issue;
            const Request request = randomRequest(random, Kind(pick(KindCount)), issue);
            const uint expected = model.enqueue(request);
            const uint serial = issue();
            ++requests;
            what = QStringLiteral("%1 -> %2").arg(request.key.isEmpty() ? QString::fromLatin1(callNames[request.kind]) : request.key)
                       .arg(serial);
            if (serial != expected)
                QFAIL(qPrintable(QStringLiteral("seed %1 step %2: %3, model expects serial %4").arg(seed).arg(step).arg(what).arg(expected)));
        } else if (roll < 30) {
            const int choice = pick(10);
            uint serial = model.lastSerial + 1 + pick(3);   // never issued
            if (choice < 7 && model.lastSerial)
                serial = 1 + pick(model.lastSerial);
            if (choice < 5) {
                // Prefer an unfinished one, queued or current.
                QList<uint> open = model.queue;
                if (model.current)
                    open << model.current;
                if (!open.isEmpty())
                    serial = open.at(pick(open.size()));
            }
            what = QStringLiteral("cancel %1").arg(serial);
            model.cancel(serial);
            manager->cancelOperation(serial);
        } else if (roll < 31 && pick(2)) {
            what = QStringLiteral("stop");
            model.stop();
            manager->stop();
        } else if (roll < 72 && model.run.active) {
            QMailServiceAction *action = serverAction();
            const int answer = pick(29);
            if (answer < 5) {
                const uint total = pick(5), value = pick(6);
                what = QStringLiteral("progress %1/%2").arg(value).arg(total);
                model.setProgress(value, total);
                server->setProgress(action, value, total);
            } else if (answer < 8) {
                const int code = pick(3) ? 0 : Status::ErrTimeout;
                what = QStringLiteral("status %1").arg(code);
                model.setStatus(code);
                Status status;
                status.errorCode = Status::ErrorCode(code);
                server->setStatus(action, status);
            } else if (answer < 11) {
                what = QStringLiteral("in progress");
                model.setInProgress();
                server->setActivity(action, QMailServiceAction::InProgress);
            } else if (answer < 21) {
                what = QStringLiteral("succeed");
                model.succeed();
                server->succeed(action);
            } else if (answer == 28) {
                // A server that keeps resetting: the fourth reset in a row gives the operation up.
                const uint serial = model.run.serial;
                what = QStringLiteral("reset storm");
                for (int reset = 0; reset < 4 && model.run.active && model.run.serial == serial; ++reset) {
                    model.fail(Status::ErrInternalStateReset);
                    server->fail(serverAction(), Status::ErrInternalStateReset);
                }
            } else {
                static const Status::ErrorCode codes[] = {Status::ErrInternalStateReset, Status::ErrInternalStateReset,
                                                          Status::ErrTimeout, Status::ErrLoginFailed, Status::ErrCancel,
                                                          Status::ErrNoConnection};
                const Status::ErrorCode code = codes[pick(6)];
                what = QStringLiteral("fail %1").arg(int(code));
                model.fail(code);
                server->fail(action, code);
            }
        } else if (roll < 82) {
            what = QStringLiteral("events");
            model.answerCancellation();
            QCoreApplication::processEvents();
            QCoreApplication::processEvents();
        } else if (roll < 84) {
            what = QStringLiteral("ipc drop");
            model.dropIpc();
            server->dropIpcConnection();
        } else if (roll < 87) {
            what = QStringLiteral("ipc up");
            model.establishIpc();
            server->establishIpcConnection();
        } else if (roll < 93) {
            const bool online = pick(3) != 0;
            what = QStringLiteral("online %1").arg(online);
            fixture.network->setOnline(online);
            followNetwork();
        } else if (roll < 97) {
            ZavekScriptedNetworkSession *session = fixture.network->lastSession();
            const bool opened = pick(2);
            what = QStringLiteral("session %1").arg(opened ? "opened" : "error");
            if (session && opened)
                session->reportOpened();
            else if (session)
                session->reportError(ZavekNetworkSession::UnknownSessionError);
            followNetwork();
        } else {
            const bool busy = pick(2);
            what = QStringLiteral("observed %1").arg(busy ? "busy" : "idle");
            QList<QmfStandIn::ObservedAction> observed;
            if (busy)
                observed << QmfStandIn::ObservedAction(QMailActionId(900 + step), RetrieveMessagesRequestType);
            server->setRunningActions(observed);
            if (manager->activity() != (busy ? Manager::Busy : Manager::Idle))
                QFAIL(qPrintable(QStringLiteral("seed %1 step %2: activity does not follow the observer").arg(seed).arg(step)));
        }

        history << QStringLiteral("%1: %2").arg(step).arg(what);
        if (history.size() > 40)
            history.removeFirst();
        const QString problem = check(model, requestsBefore);
        if (!problem.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1 step %2: %3\nlast steps:\n%4").arg(seed).arg(step).arg(problem,
                                                                                                      history.join(QLatin1Char('\n')))));
    }

    // Drain: network and IPC up, every request answered.
    const int drainStart = server->requestCount();
    int requestsBefore = drainStart;
    model.establishIpc();
    server->establishIpcConnection();
    fixture.network->setOnline(true);
    followNetwork();
    for (int round = 0; round < 10000 && (model.current || model.run.active); ++round) {
        if (model.run.active) {
            model.succeed();
            server->succeed(serverAction());
        } else {
            model.answerCancellation();
            QCoreApplication::processEvents();
        }
        const QString problem = check(model, requestsBefore);
        if (!problem.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1 drain round %2: %3").arg(seed).arg(round).arg(problem)));
        requestsBefore = server->requestCount();
    }
    QCoreApplication::processEvents();
    const QString problem = checkDrained(model);
    if (!problem.isEmpty())
        QFAIL(qPrintable(QStringLiteral("seed %1 after the drain: %2").arg(seed).arg(problem)));
    QVERIFY(fixture.server()->runningRequests().isEmpty());
    for (uint serial = 1; serial <= model.lastSerial; ++serial)
        QVERIFY2(!manager->operationInfo(serial), qPrintable(QStringLiteral("seed %1: serial %2 left").arg(seed).arg(serial)));
    for (int message = 1; message <= messagePool; ++message) {
        QVERIFY(manager->operations(QMailMessageId(message)).isEmpty());
        for (int part = 1; part <= partsPerMessage; ++part)
            QVERIFY(manager->operations(fixture.part(message, part)).isEmpty());
    }
    QVERIFY2(messages.forbidden.isEmpty(), qPrintable(messages.forbidden.join(QLatin1Char('\n'))));

    totalSteps += steps;
    totalRequests += requests;
    totalSerials += model.lastSerial;
    totalRuns += server->requestCount();
    QStringList rules;
    for (auto it = model.stats.constBegin(); it != model.stats.constEnd(); ++it) {
        rules << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        totalStats[it.key()] += it.value();
    }
    qInfo("seed %u: %d steps, %d requests, %u serials, %d server runs; %s", seed, steps, requests, model.lastSerial,
          server->requestCount(), qPrintable(rules.join(QLatin1String(", "))));
}

void TestManagerSoak::cleanupTestCase()
{
    QStringList rules;
    for (auto it = totalStats.constBegin(); it != totalStats.constEnd(); ++it)
        rules << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
    qInfo("soak total: %lld steps, %lld requests, %lld serials, %lld server runs; %s", totalSteps, totalRequests,
          totalSerials, totalRuns, qPrintable(rules.join(QLatin1String(", "))));
}

QTEST_GUILESS_MAIN(TestManagerSoak)
#include "tst_manager_soak.moc"
