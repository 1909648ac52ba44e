// A seeded random run of the manager on the real stack: requests in the mix an application
// makes, faults of the IMAP server and the message server at random moments, and at the end
// an oracle written from the promises alone: every serial ends exactly once, and the server's
// Maildir on disk holds, for every message, what the user last asked for.
//
//   soak_realqmf --seed N --duration SECONDS --clients 1|2 --faults|--no-faults
//
// With two clients the program runs itself a second time as a client process (--client 1
// --account ID): its own manager on the same account and store, changing only the odd
// messages while the first changes the even ones. It tells the first what it asked for and
// how each serial ended, one line each, so that the first keeps the one oracle.
//
// The run is decided by the seed, except for the timing of the stack itself. It ends with one
// summary line; the exit code is 1 when a promise was broken. Everything else the library logs
// goes to soak-<seed>-<pid>.log in the temporary directory, what the message server logs to
// soak-<seed>-<pid>-messageserver.log beside it.

#include "realqmfstack.h"

#include <zavekserviceactionmanager.h>
#include <zaveksettings.h>

#include <qmailfolder.h>
#include <qmailfolderkey.h>
#include <qmailmessage.h>
#include <qmailmessagekey.h>
#include <qmailstore.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSet>
#include <QTest>
#include <QTimer>

#include <cstdio>

using Manager = ZavekServiceActionManager;
using Activity = QMailServiceAction::Activity;
using Status = QMailServiceAction::Status;

namespace {

// Every wait for the stack is bounded by this: the promise is that nothing stays unended
// longer once the faults have stopped. The message server itself gives up on a request that
// makes no progress only after 120 s (its IMAP client has no timeout of its own: a server
// that stalls stalls the request until then), so the bound starts after that.
const int serverExpiryMs = 120000;
const int settleMs = serverExpiryMs + 60000;
const QStringList folderNames{QString(), QStringLiteral("Archive"), QStringLiteral("Work")};
const QString deletedPlace = QStringLiteral("<deleted>");

struct Options
{
    quint32 seed = 1;
    int durationS = 90;
    int clients = 1;
    bool faults = true;
    // Set in a client process: which share of the messages it changes, and the account.
    int client = 0;
    quint64 account = 0;
};

// ---- the mailbox, made from the seed ----

QByteArray encodedWord(const QString &text)
{
    return "=?UTF-8?B?" + text.toUtf8().toBase64() + "?=";
}

QByteArray wrappedBase64(const QByteArray &data)
{
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    for (int i = 0; i < encoded.size(); i += 76)
        lines += encoded.mid(i, 76) + "\r\n";
    return lines;
}

QByteArray randomBytes(QRandomGenerator &random, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// Message n: its number is the first word of its subject and in X-Soak-Id, so both the
// Maildir and the store say which message a file or an entry is.
QByteArray generatedMessage(QRandomGenerator &random, int n, bool large)
{
    static const QStringList names{QStringLiteral("Žofie Nováková"), QStringLiteral("Jürgen Müller"),
                                   QStringLiteral("Åsa Öberg"), QStringLiteral("Łukasz Żółw"),
                                   QStringLiteral("Μαρία Παππά"), QStringLiteral("Марина Котова"), QStringLiteral("李雷")};
    static const QStringList words{QStringLiteral("Grüße"), QStringLiteral("schůzka"), QStringLiteral("účet"),
                                   QStringLiteral("report"), QStringLiteral("café"), QStringLiteral("встреча"),
                                   QStringLiteral("plan"), QStringLiteral("日程")};
    QString subject = QStringLiteral("#%1").arg(n);
    for (int i = 0, count = 1 + random.bounded(4); i < count; ++i)
        subject += QLatin1Char(' ') + words.at(random.bounded(words.size()));
    const QString name = names.at(random.bounded(names.size()));
    QByteArray text = "From: " + encodedWord(name) + " <sender" + QByteArray::number(n % 17) + "@example.org>\r\n"
                      "To: User <user@example.org>\r\n"
                      "Subject: " + encodedWord(subject) + "\r\n"
                      "Date: " + QDateTime(QDate(2026, 1, 1).addDays(n % 300), QTime(8, n % 60), Qt::UTC).toString(Qt::RFC2822Date).toLatin1() + "\r\n"
                      "Message-ID: <soak-" + QByteArray::number(n) + "@zavek.test>\r\n"
                      "X-Soak-Id: " + QByteArray::number(n) + "\r\n"
                      "MIME-Version: 1.0\r\n";
    const QByteArray greeting = QStringLiteral("Dobrý den, %1,\r\nzpráva číslo %2.\r\n").arg(name).arg(n).toUtf8();
    const QByteArray boundary = "soak-boundary-" + QByteArray::number(n);
    const QByteArray plainPart = "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + greeting;
    const int kind = large ? 2 : random.bounded(3);
    if (kind == 0)
        return text + plainPart;
    if (kind == 1) {
        // HTML whose pictures are inline parts named by content ID.
        QByteArray html = "<html><body><p>" + QString::fromUtf8(greeting).toHtmlEscaped().toUtf8() + "</p>";
        QByteArray images;
        for (int i = 0, count = 1 + random.bounded(3); i < count; ++i) {
            const QByteArray cid = "img" + QByteArray::number(i) + "-" + QByteArray::number(n) + "@zavek.test";
            html += "<img src=\"cid:" + cid + "\">";
            images += "--" + boundary + "\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
                      "Content-ID: <" + cid + ">\r\nContent-Disposition: inline\r\n\r\n"
                      + wrappedBase64(randomBytes(random, 500 + random.bounded(20000)));
        }
        html += "</body></html>\r\n";
        return text + "Content-Type: multipart/related; boundary=\"" + boundary + "\"; type=\"text/html\"\r\n\r\n"
               "--" + boundary + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
               + html + images + "--" + boundary + "--\r\n";
    }
    const int size = large ? 1100000 + random.bounded(900000) : 1000 + random.bounded(60000);
    const QString file = QStringLiteral("příloha-%1.bin").arg(n);
    return text + "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n"
           "--" + boundary + "\r\n" + plainPart + "--" + boundary + "\r\n"
           "Content-Type: application/octet-stream; name=\"" + encodedWord(file) + "\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"" + encodedWord(file) + "\"\r\n\r\n"
           + wrappedBase64(randomBytes(random, size)) + "--" + boundary + "--\r\n";
}

// ---- what the client may believe of one message ----

// The places (a folder, or deletedPlace) and flag values the message may have, given the
// changes asked for so far and their outcomes.
struct Intent
{
    QSet<QString> places;
    QSet<bool> read{false};
    QSet<bool> important{false};
};

// One message as found: in the Maildir, or in the client's store.
struct Found
{
    QString place;
    bool read = false;
    bool important = false;
    bool trashed = false;
};

QString describe(const QSet<QString> &places)
{
    QStringList list;
    for (const QString &place : places)
        list << (place.isEmpty() ? QStringLiteral("INBOX") : place);
    std::sort(list.begin(), list.end());
    return list.join(QLatin1Char('|'));
}

// Reads every message of the Maildir: its folder from the directory, its flags from the
// file name (S seen, F flagged, T deleted but not yet expunged).
QHash<int, QList<Found> > readMaildir(const RealQmfStack &stack)
{
    static const QRegularExpression idHeader(QStringLiteral("\\nX-Soak-Id: (\\d+)\\r?\\n"));
    QHash<int, QList<Found> > found;
    for (const QString &folder : folderNames) {
        for (const char *subdirectory : {"/cur", "/new"}) {
            const QDir directory(stack.maildirFolder(folder) + QLatin1String(subdirectory));
            for (const QFileInfo &info : directory.entryInfoList(QDir::Files)) {
                QFile file(info.filePath());
                if (!file.open(QIODevice::ReadOnly))
                    continue;
                const QRegularExpressionMatch match = idHeader.match(QString::fromLatin1(file.read(4096)));
                if (!match.hasMatch())
                    continue;
                const QString flags = info.fileName().section(QStringLiteral(":2,"), 1);
                found[match.captured(1).toInt()].append({folder, flags.contains(QLatin1Char('S')),
                                                         flags.contains(QLatin1Char('F')), flags.contains(QLatin1Char('T'))});
            }
        }
    }
    return found;
}

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.captured(1).toLongLong();
}

FILE *logFile = nullptr;
int enforceFailures = 0;

void logToFile(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (text.startsWith(QLatin1String("ENFORCE failed")))
        ++enforceFailures;
    if (logFile)
        fprintf(logFile, "%c %s\n", "DWCFI"[type], qPrintable(text));
    if (type == QtFatalMsg)
        abort();
}

} // namespace

class Soak : public QObject
{
public:
    Soak(const Options &options, RealQmfStack &stack)
        : m_options(options), m_random(options.seed), m_stack(stack)
    {
    }

    bool setUp(QString *error);
    int run();

private:
    enum class Change { Read, Important, Move, Delete };
    struct Operation
    {
        QString what;
        bool started = false;
        int ends = 0;
        Activity outcome = QMailServiceAction::Pending;
        int errorCode = 0;
    };
    // A store change in the order the user asked for it, with the serial that tells its outcome.
    struct Request
    {
        quint64 key;
        Change change;
        QList<int> messages;
        bool value;
        QString folder;
    };
    // KillClient stays last: it is drawn only when there is a client process.
    enum Fault { Freeze, KillImap, KillServer, KillServerWithoutManager, KillClient, FaultKinds };

    quint64 key(uint serial) const { return (quint64(m_generation) << 32) | serial; }
    bool isClient() const { return m_options.account != 0; }
    void startClient();
    void readClient();
    void makeManager();
    void exported(int startedAt);
    bool mayMove(const QList<int> &messages, const QString &to) const;
    void problem(const QString &text);
    uint issue(const QString &what, uint serial);
    void refreshMessages();
    QList<int> pickMessages(int most);
    void randomRequest();
    void step();
    void injectFault();
    void endFault(int delayMs, Fault kind);
    bool waitForAllEnded(int timeoutMs);
    bool finalRun(uint (Manager::*request)(const QMailAccountId &), const char *name);
    void checkIntent();
    QHash<int, Intent> intents() const;

    Options m_options;
    QRandomGenerator m_random;
    RealQmfStack &m_stack;
    QMailAccountId m_account;
    QScopedPointer<Manager> m_manager;
    int m_generation = 0;

    QHash<quint64, Operation> m_operations;
    QList<uint> m_live;
    QList<Request> m_requests;
    QHash<int, QString> m_initialPlace;
    // Moves wait in the store for an export, which takes all of them at once. The message
    // server loses messages when the moves into one folder come from two folders (see
    // tst_realqmf_changes), so the run asks for moves into a folder from one folder only until
    // an export has taken them: what the server holds of each message, and the moves asked
    // for since, each with the request count at which it was asked.
    struct PendingMove
    {
        int asked;
        QString from;
        QString to;
        QList<int> messages;
    };
    QHash<int, QString> m_onServer;
    QList<PendingMove> m_pendingMoves;
    QHash<quint64, int> m_exportStarts;
    bool m_movesAllowed = true;
    QMap<QString, int> m_kinds;
    int m_cancels = 0;
    int m_movesLeftOut = 0;
    int m_flagsLeftOut = 0;
    QSet<quint64> m_lists;
    int m_doubleEnds = 0;
    int m_mismatches = 0;
    int m_serverCopies = 0;
    int m_unended = 0;
    QStringList m_serverFaults;
    QMap<int, QMailMessageId> m_ids;
    QHash<QString, QMailFolderId> m_folders;
    QStringList m_recent;
    QStringList m_problems;

    int m_requestCount = 0;
    int m_faultCounts[FaultKinds] = {};
    int m_serverCrashes = 0;
    int m_serviceChanges = 0;
    bool m_faultRunning = false;
    bool m_serverDownByUs = false;
    bool m_issuing = true;
    bool m_inRequest = false;
    bool m_replacingManager = false;

    // The client process, seen from the first: each start is a generation of its own.
    QProcess m_client;
    int m_clientGeneration = 1000;
    bool m_clientKilledByUs = false;
    QString m_clientSummary;
    QElapsedTimer m_clock;
};

bool Soak::setUp(QString *error)
{
    if (isClient()) {
        m_account = QMailAccountId(m_options.account);
        makeManager();
        refreshMessages();
        // What an earlier client process moved may still wait in the store: until an export
        // has taken it, where each message is on the server is not known here.
        m_movesAllowed = false;
        const QScopedValueRollback<bool> inRequest(m_inRequest, true);
        issue(QStringLiteral("export"), m_manager->exportUpdates(m_account));
        return !m_ids.isEmpty();
    }
    QList<RealQmfStack::MailboxMessage> mailbox;
    for (int n = 1; n <= 330; ++n) {
        const QString folder = folderNames.at(n % 5 < 3 ? 0 : n % 5 - 2);
        mailbox.append({folder, generatedMessage(m_random, n, n % 80 == 7)});
        m_initialPlace.insert(n, folder);
        m_onServer.insert(n, folder);
    }
    m_stack.setExtraMessages(mailbox);
    if (!m_stack.start(error))
        return false;
    m_account = m_stack.addAccount(QStringLiteral("Soak"), m_stack.password());
    makeManager();
    const QScopedValueRollback<bool> inRequest(m_inRequest, true);
    // The first sync brings the folders and the message list; it must work before any fault.
    for (uint serial : {m_manager->sync(m_account), m_manager->retrieveMessageList(m_account, QMailFolderId(), 1000, QMailMessageSortKey())})
        issue(QStringLiteral("initial"), serial);
    if (!waitForAllEnded(settleMs * 2)) {
        *error = QStringLiteral("the first sync did not end");
        return false;
    }
    refreshMessages();
    for (const QString &folder : folderNames) {
        if (!m_folders.contains(folder))
            *error += QStringLiteral("folder '%1' not found; ").arg(folder);
    }
    // The folder list leaves the message lists of the other folders to their own requests.
    for (const QString &folder : folderNames)
        issue(QStringLiteral("initial list"), m_manager->retrieveMessageList(m_account, m_folders.value(folder), 1000, QMailMessageSortKey()));
    waitForAllEnded(settleMs);
    refreshMessages();
    if (m_ids.size() != m_initialPlace.size())
        *error += QStringLiteral("%1 of %2 messages in the store after the first sync").arg(m_ids.size()).arg(m_initialPlace.size());
    return error->isEmpty();
}

void Soak::makeManager()
{
    ++m_generation;
    m_live.clear();
    m_lists.clear();
    m_manager.reset(new Manager);
    connect(m_manager.data(), &Manager::activityChanged, this, [this](uint serial, Activity activity, const Status &status) {
        qDebug("SOAK serial %u activity %d error %d", serial, int(activity), int(status.errorCode));
        auto operation = m_operations.find(key(serial));
        if (operation == m_operations.end()) {
            // A request reports its serial Pending before it returns it.
            if (!m_inRequest) {
                problem(QStringLiteral("activity %1 for serial %2, never handed out").arg(int(activity)).arg(serial));
                return;
            }
            operation = m_operations.insert(key(serial), Operation());
            m_live << serial;
        }
        const bool isExport = operation->what.endsWith(QLatin1String("export"));
        if (activity == QMailServiceAction::InProgress) {
            operation->started = true;
            // The server takes the moves waiting in the store when the export starts.
            if (isExport)
                m_exportStarts.insert(key(serial), m_requestCount);
        }
        if (activity != QMailServiceAction::Successful && activity != QMailServiceAction::Failed)
            return;
        if (isExport && activity == QMailServiceAction::Successful)
            exported(m_exportStarts.value(key(serial), -1));
        // An export that failed under way may have taken some moves and not others: until one
        // succeeds, where the moved messages are on the server is not known.
        else if (isExport && operation->started)
            m_movesAllowed = false;
        m_lists.remove(key(serial));
        if (++operation->ends > 1) {
            ++m_doubleEnds;
            problem(QStringLiteral("serial %1 (%2) ended %3 times").arg(serial).arg(operation->what).arg(operation->ends));
        }
        operation->outcome = activity;
        operation->errorCode = status.errorCode;
        m_live.removeOne(serial);
        if (isClient())
            fprintf(stdout, "E %u %d %d %d\n", serial, int(activity), int(operation->started), int(status.errorCode));
    });
    connect(m_manager.data(), &Manager::serviceActivityChanged, this, [this] { ++m_serviceChanges; });
}

void Soak::exported(int startedAt)
{
    if (startedAt < 0)
        return;
    // The moves asked for before the export started are on the server now: each message is
    // where the store has it, unless it was moved again since, from where it was then.
    for (auto move = m_pendingMoves.begin(); move != m_pendingMoves.end();)
        move = move->asked < startedAt ? m_pendingMoves.erase(move) : move + 1;
    refreshMessages();
    for (auto id = m_ids.begin(); id != m_ids.end(); ++id)
        m_onServer.insert(id.key(), m_folders.key(QMailMessageMetaData(id.value()).parentFolderId()));
    for (auto move = m_pendingMoves.crbegin(); move != m_pendingMoves.crend(); ++move) {
        for (int n : move->messages)
            m_onServer.insert(n, move->from);
    }
    m_movesAllowed = true;
}

bool Soak::mayMove(const QList<int> &messages, const QString &to) const
{
    if (!m_movesAllowed || messages.isEmpty())
        return false;
    // With two clients each moves into folders of its own, so that neither mixes the other's
    // moves into one of its folders.
    if (folderNames.indexOf(to) % m_options.clients != m_options.client)
        return false;
    QString from = m_onServer.value(messages.first());
    for (int n : messages) {
        if (m_onServer.value(n) != from)
            return false;
    }
    for (const PendingMove &move : m_pendingMoves) {
        if (move.to == to && move.from != from)
            return false;
        // A message moved on before the export counts from where the server has it.
        if (move.from != from && std::any_of(messages.begin(), messages.end(), [&](int n) { return move.messages.contains(n); }))
            return false;
    }
    return true;
}

void Soak::problem(const QString &text)
{
    m_problems << QStringLiteral("[%1 s] %2").arg(m_clock.elapsed() / 1000).arg(text);
    if (isClient())
        fprintf(stdout, "P %s\n", qPrintable(text));
    qWarning("SOAK PROBLEM: %s", qPrintable(text));
}

uint Soak::issue(const QString &what, uint serial)
{
    ++m_requestCount;
    ++m_kinds[what.section(QLatin1Char(' '), 0, 0)];
    m_recent << QStringLiteral("%1=%2").arg(what).arg(serial);
    if (m_recent.size() > 20)
        m_recent.removeFirst();
    qDebug("SOAK request %s -> %u", qPrintable(what), serial);
    auto operation = m_operations.find(key(serial));
    if (operation == m_operations.end()) {
        operation = m_operations.insert(key(serial), Operation());
        m_live << serial;
    } else if (operation->ends > 0 && operation->what.isEmpty() == false) {
        problem(QStringLiteral("%1 got serial %2, which had ended already").arg(what).arg(serial));
    }
    if (operation->what.isEmpty())
        operation->what = what;
    return serial;
}

void Soak::refreshMessages()
{
    static const QRegularExpression number(QStringLiteral("^#(\\d+) "));
    m_ids.clear();
    m_folders.clear();
    QMailStore *store = QMailStore::instance();
    for (const QMailFolderId &id : store->queryFolders(QMailFolderKey::parentAccountId(m_account))) {
        const QString path = QMailFolder(id).path();
        m_folders.insert(path == QLatin1String("INBOX") ? QString() : path, id);
    }
    const auto all = store->messagesMetaData(QMailMessageKey::parentAccountId(m_account),
                                             QMailMessageKey::Id | QMailMessageKey::Subject);
    for (const QMailMessageMetaData &message : all) {
        const QRegularExpressionMatch match = number.match(message.subject());
        if (match.hasMatch())
            m_ids.insert(match.captured(1).toInt(), message.id());
    }
}

QList<int> Soak::pickMessages(int most)
{
    QList<int> picked;
    QList<int> all;
    for (int n : m_ids.keys()) {
        if (n % m_options.clients == m_options.client)
            all << n;
    }
    const int count = qMin(most, 1 + m_random.bounded(m_random.bounded(8) == 0 ? 20 : 3));
    for (int i = 0; i < count && !all.isEmpty(); ++i)
        picked << all.at(m_random.bounded(all.size()));
    return picked;
}

// One request, weighted as a mail application makes them: mostly reading single messages
// and flagging them, now and then the account-wide work.
void Soak::randomRequest()
{
    const QScopedValueRollback<bool> inRequest(m_inRequest, true);
    const int roll = m_random.bounded(100);
    // Deletes are seldom and of one message, so that a long run keeps a mailbox to work on.
    const bool remove = roll == 76;
    const QList<int> messages = pickMessages(remove ? 1 : 20);
    QMailMessageIdList ids;
    for (int n : messages)
        ids << m_ids.value(n);
    QStringList numbers;
    for (int n : messages)
        numbers << QString::number(n);
    const QString on = QLatin1Char(' ') + numbers.join(QLatin1Char(','));
    const QMailFolderId folder = m_folders.value(folderNames.at(m_random.bounded(folderNames.size())));
    Manager &manager = *m_manager;
    const auto part = [&](bool range) -> uint {
        const QMailMessage message(ids.first());
        if (message.partCount() == 0)
            return issue(QStringLiteral("content") + on, manager.retrieveMessages(ids, QMailRetrievalAction::Content));
        const QMailMessagePartContainer::Location location = message.partAt(m_random.bounded(message.partCount())).location();
        return range ? issue(QStringLiteral("part range") + on, manager.retrieveMessagePartRange(location, 1000 + m_random.bounded(40000)))
                     : issue(QStringLiteral("part") + on, manager.retrieveMessagePart(location));
    };
    const auto change = [&](Change kind, bool value, const QString &folderName, uint serial) {
        static const char *const names[] = {"read", "important", "move", "delete"};
        const QString what = QStringLiteral("%1 %2%3 %4").arg(QLatin1String(names[int(kind)])).arg(value).arg(on, folderName);
        m_requests.append({key(issue(what, serial)), kind, messages, value, folderName});
        if (isClient())
            fprintf(stdout, "C %u %d %d %s %s\n", serial, int(kind), int(value), qPrintable(numbers.join(QLatin1Char(','))),
                    qPrintable(QLatin1Char('/') + folderName));
    };
    if (ids.isEmpty() || roll < 4) {
        issue(QStringLiteral("sync"), manager.sync(m_account));
    } else if (roll < 7) {
        issue(QStringLiteral("folders"), manager.retrieveFolderList(m_account, QMailFolderId(), true));
    } else if (roll < 14) {
        // The server's list retrieval takes the server's flags over a change not yet exported
        // (see tst_realqmf_changes): the run exports first, as an application that keeps
        // the user's changes does.
        issue(QStringLiteral("export"), manager.exportUpdates(m_account));
        m_lists.insert(key(issue(QStringLiteral("list"), manager.retrieveMessageList(m_account, folder, 20 + m_random.bounded(400), QMailMessageSortKey()))));
    } else if (roll < 26) {
        // The real server never ends a metadata retrieval of a single-part message whose body
        // is not there (it expires it after 120 s), so those ask for the content.
        const bool content = m_random.bounded(2)
                             || std::any_of(ids.begin(), ids.end(), [](const QMailMessageId &id) { return QMailMessage(id).partCount() == 0; });
        issue(QLatin1String(content ? "content" : "metadata") + on,
              manager.retrieveMessages(ids, content ? QMailRetrievalAction::Content : QMailRetrievalAction::MetaData));
    } else if (roll < 42) {
        part(false);
    } else if (roll < 48) {
        part(true);
    } else if (roll < 70) {
        // Nor is a flag changed while a list retrieval waits or runs, which would undo it.
        if (!m_lists.isEmpty()) {
            ++m_flagsLeftOut;
            return;
        }
        const bool important = m_random.bounded(3) == 0;
        const bool set = m_random.bounded(2);
        const quint64 mask = important ? QMailMessage::Important : QMailMessage::Read;
        change(important ? Change::Important : Change::Read, set, QString(),
               manager.flagMessages(ids, set ? mask : 0, set ? 0 : mask));
    } else if (roll < 76) {
        // The drawn folder, or the next one a move may go to.
        const int drawn = folderNames.indexOf(m_folders.key(folder));
        int i = 0;
        while (i < folderNames.size() && !mayMove(messages, folderNames.at((drawn + i) % folderNames.size())))
            ++i;
        if (i == folderNames.size()) {
            ++m_movesLeftOut;
            return;
        }
        const QString target = folderNames.at((drawn + i) % folderNames.size());
        m_pendingMoves.append({m_requestCount, m_onServer.value(messages.first()), target, messages});
        change(Change::Move, true, target, manager.moveMessages(ids, m_folders.value(target)));
    } else if (remove) {
        change(Change::Delete, true, QString(), manager.deleteMessages(ids));
    } else if (roll < 92) {
        issue(QStringLiteral("export"), manager.exportUpdates(m_account));
    } else if (roll < 96) {
        if (!m_live.isEmpty()) {
            ++m_cancels;
            manager.cancelOperation(m_live.at(m_random.bounded(m_live.size())));
        }
    } else if (m_random.bounded(8) == 0) {
        qDebug("SOAK stop");
        manager.stop();
    }
}

void Soak::step()
{
    if (!isClient() && !m_faultRunning && !m_serverDownByUs && !m_stack.isMessageServerRunning()) {
        ++m_serverCrashes;
        problem(QStringLiteral("the message server crashed (seed %1) after: %2").arg(m_options.seed).arg(m_recent.join(QLatin1Char(' '))));
        m_stack.startMessageServer();
    }
    if (!m_issuing)
        return;
    // While the old manager's work drains, the application is closed: nothing is asked.
    if (!m_replacingManager) {
        refreshMessages();
        // Now and then a burst, as a view that opens asks for everything it shows at once.
        for (int i = 0, count = m_random.bounded(15) == 0 ? 5 + m_random.bounded(25) : 1; i < count; ++i)
            randomRequest();
    }
    QTimer::singleShot(m_random.bounded(300), this, &Soak::step);
}

void Soak::injectFault()
{
    if (!m_issuing)
        return;
    const Fault kind = Fault(m_random.bounded(int(m_options.clients > 1 ? FaultKinds : KillClient)));
    ++m_faultCounts[kind];
    qDebug("SOAK fault %d", int(kind));
    m_faultRunning = true;
    switch (kind) {
    case Freeze:
        m_stack.freezeImapServer(true);
        endFault(1000 + m_random.bounded(9000), kind);
        break;
    case KillImap:
        m_stack.killImapServer();
        endFault(m_random.bounded(4000), kind);
        break;
    case KillServer:
        m_serverDownByUs = true;
        m_stack.killMessageServer();
        endFault(m_random.bounded(4000), kind);
        break;
    case KillServerWithoutManager:
        // The application is closed and started again while the server is down: the old
        // manager's work is cancelled and ends, the new one is made before the server is back.
        m_serverDownByUs = true;
        m_stack.killMessageServer();
        m_replacingManager = true;
        m_manager->stop();
        if (!waitForAllEnded(settleMs))
            problem(QStringLiteral("work of a stopped manager still unended after %1 s").arg(settleMs / 1000));
        m_replacingManager = false;
        makeManager();
        endFault(500 + m_random.bounded(4000), kind);
        break;
    case KillClient:
        m_clientKilledByUs = true;
        m_client.kill();
        m_client.waitForFinished(10000);
        endFault(500 + m_random.bounded(4000), kind);
        break;
    case FaultKinds:
        break;
    }
}

void Soak::startClient()
{
    const int remainingS = m_options.durationS - int(m_clock.elapsed() / 1000);
    if (remainingS < 5)
        return;
    ++m_clientGeneration;
    m_clientKilledByUs = false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ZAVEK_TEST_QMF_DATA"), qEnvironmentVariable("QMF_DATA"));
    m_client.setProcessEnvironment(environment);
    m_client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_client.start(QCoreApplication::applicationFilePath(),
                   {QStringLiteral("--client"), QStringLiteral("1"), QStringLiteral("--clients"), QString::number(m_options.clients),
                    QStringLiteral("--account"), QString::number(m_account.toULongLong()),
                    QStringLiteral("--seed"), QString::number(m_options.seed * 7919 + quint32(m_clientGeneration)),
                    QStringLiteral("--duration"), QString::number(remainingS)});
}

// Lines of the client: C serial change value messages /folder (a change it asked for),
// E serial activity started error (a serial's end), P text (a problem), S text (its summary).
void Soak::readClient()
{
    while (m_client.canReadLine()) {
        const QString line = QString::fromUtf8(m_client.readLine()).trimmed();
        const QStringList fields = line.split(QLatin1Char(' '));
        const quint64 clientKey = (quint64(m_clientGeneration) << 32) | fields.value(1).toUInt();
        if (line.startsWith(QLatin1String("C ")) && fields.size() == 6) {
            QList<int> messages;
            for (const QString &n : fields.at(4).split(QLatin1Char(',')))
                messages << n.toInt();
            m_requests.append({clientKey, Change(fields.at(2).toInt()), messages, fields.at(3) == QLatin1String("1"), fields.at(5).mid(1)});
            m_operations[clientKey].what = QStringLiteral("client ") + line;
        } else if (line.startsWith(QLatin1String("E ")) && fields.size() == 5) {
            Operation &operation = m_operations[clientKey];
            operation.outcome = Activity(fields.at(2).toInt());
            operation.started = fields.at(3) == QLatin1String("1");
            operation.errorCode = fields.at(4).toInt();
            if (++operation.ends > 1) {
                ++m_doubleEnds;
                problem(QStringLiteral("client serial %1 ended %2 times").arg(fields.at(1)).arg(operation.ends));
            }
        } else if (line.startsWith(QLatin1String("P "))) {
            problem(QStringLiteral("client: ") + line.mid(2));
        } else if (line.startsWith(QLatin1String("S "))) {
            m_clientSummary = line.mid(2);
        }
    }
}

void Soak::endFault(int delayMs, Fault kind)
{
    QTimer::singleShot(delayMs, this, [this, kind] {
        if (kind == Freeze)
            m_stack.freezeImapServer(false);
        else if (kind == KillImap && !m_stack.startImapServer())
            problem(QStringLiteral("the IMAP server did not start again"));
        else if ((kind == KillServer || kind == KillServerWithoutManager) && !m_stack.startMessageServer())
            problem(QStringLiteral("the message server did not start again"));
        else if (kind == KillClient)
            startClient();
        m_serverDownByUs = false;
        m_faultRunning = false;
        if (m_issuing)
            QTimer::singleShot(2000 + m_random.bounded(6000), this, &Soak::injectFault);
    });
}

bool Soak::waitForAllEnded(int timeoutMs)
{
    return QTest::qWaitFor([this] { return m_live.isEmpty(); }, timeoutMs);
}

bool Soak::finalRun(uint (Manager::*request)(const QMailAccountId &), const char *name)
{
    const QScopedValueRollback<bool> inRequest(m_inRequest, true);
    // A client process may get here while the last fault is still being undone (it does not
    // know when the first stops them): a failure is tried again a few seconds later.
    QElapsedTimer trying;
    trying.start();
    for (int attempt = 0; attempt < 3 || trying.elapsed() < settleMs; ++attempt) {
        if (attempt > 0)
            QTest::qWait(3000);
        const uint serial = issue(QLatin1String(name), (m_manager.data()->*request)(m_account));
        if (!QTest::qWaitFor([&] { return m_operations.value(key(serial)).ends > 0; }, settleMs)) {
            problem(QStringLiteral("%1 (serial %2) unended after %3 s").arg(QLatin1String(name)).arg(serial).arg(settleMs / 1000));
            return false;
        }
        const Operation &operation = m_operations[key(serial)];
        if (operation.outcome == QMailServiceAction::Successful)
            return true;
        qWarning("SOAK %s (serial %u) failed with error %d", name, serial, operation.errorCode);
    }
    problem(QStringLiteral("%1 failed for %2 s").arg(QLatin1String(name)).arg(trying.elapsed() / 1000));
    return false;
}

// The user's intent from the store changes in the order they were asked for: a change that
// ended Successful is the message's state from then on; one cancelled before it started was
// not applied. Any other that ended Failed, or never ended because its client was killed,
// may or may not have been applied: the real server writes flags and moves to the local
// store at once and takes them to the IMAP server with the next export, and a delete goes
// to the IMAP server at once and may fail after the server has done it.
QHash<int, Intent> Soak::intents() const
{
    QHash<int, Intent> intents;
    for (auto initial = m_initialPlace.begin(); initial != m_initialPlace.end(); ++initial)
        intents[initial.key()].places = {initial.value()};
    for (const Request &request : m_requests) {
        const Operation operation = m_operations.value(request.key);
        if (operation.outcome == QMailServiceAction::Failed && !operation.started && operation.errorCode == Status::ErrCancel)
            continue;
        const bool applied = operation.outcome == QMailServiceAction::Successful;
        for (int n : request.messages) {
            Intent &intent = intents[n];
            QSet<bool> *flag = request.change == Change::Read ? &intent.read : &intent.important;
            switch (request.change) {
            case Change::Read:
            case Change::Important:
                if (applied)
                    flag->clear();
                flag->insert(request.value);
                break;
            case Change::Move:
                // A message deleted before cannot be moved; the move ends well for the others.
                if (applied)
                    intent.places.intersect({deletedPlace});
                intent.places.insert(request.folder);
                break;
            case Change::Delete:
                if (applied)
                    intent.places.clear();
                intent.places.insert(deletedPlace);
                break;
            }
        }
    }
    return intents;
}

void Soak::checkIntent()
{
    const QHash<int, QList<Found> > maildir = readMaildir(m_stack);
    QHash<int, QList<Found> > stored;
    QHash<QMailFolderId, QString> folderOf;
    for (auto folder = m_folders.begin(); folder != m_folders.end(); ++folder)
        folderOf.insert(folder.value(), folder.key());
    refreshMessages();
    for (auto id = m_ids.begin(); id != m_ids.end(); ++id) {
        const QMailMessageMetaData message(id.value());
        stored[id.key()].append({folderOf.value(message.parentFolderId(), QStringLiteral("?")),
                                 bool(message.status() & QMailMessage::Read), bool(message.status() & QMailMessage::Important)});
    }
    const QHash<int, Intent> all = intents();
    for (auto intent = all.begin(); intent != all.end(); ++intent) {
        const int n = intent.key();
        const QList<Found> onServer = maildir.value(n);
        const QString what = QStringLiteral("message %1 (intent %2 read %3 important %4)")
                                 .arg(n).arg(describe(intent->places))
                                 .arg(intent->read.size() > 1 ? QStringLiteral("any") : QString::number(*intent->read.begin()))
                                 .arg(intent->important.size() > 1 ? QStringLiteral("any") : QString::number(*intent->important.begin()));
        if (onServer.size() > 1) {
            // The library never adds a message to the server: a second copy is the server's
            // own, an export that copied again when it ran again after a fault. Reported, and
            // counted apart from the promises.
            m_serverCopies += onServer.size() - 1;
            m_serverFaults << QStringLiteral("%1: %2 copies on the server").arg(what).arg(onServer.size());
            continue;
        }
        QStringList wrong;
        if (onServer.isEmpty()) {
            if (!intent->places.contains(deletedPlace))
                wrong << QStringLiteral("gone from the server, never deleted");
        } else {
            const Found &file = onServer.first();
            if (!intent->places.contains(file.place))
                wrong << QStringLiteral("on the server in '%1'").arg(file.place);
            if (!intent->read.contains(file.read) || !intent->important.contains(file.important))
                wrong << QStringLiteral("server flags read %1 important %2").arg(file.read).arg(file.important);
            if (file.trashed && !intent->places.contains(deletedPlace))
                wrong << QStringLiteral("marked deleted on the server");
        }
        // The client's store after the final sync shows what the server holds.
        const QList<Found> local = stored.value(n);
        if (local.size() != onServer.size() || (!local.isEmpty() && (local.first().place != onServer.first().place
                                                                     || local.first().read != onServer.first().read
                                                                     || local.first().important != onServer.first().important)))
            wrong << QStringLiteral("the store (%1 entries%2) disagrees with the server").arg(local.size())
                        .arg(local.isEmpty() ? QString() : QStringLiteral(", in '%1' read %2 important %3").arg(local.first().place).arg(local.first().read).arg(local.first().important));
        if (!wrong.isEmpty()) {
            ++m_mismatches;
            problem(QStringLiteral("%1: %2").arg(what, wrong.join(QStringLiteral("; "))));
        }
    }
}

int Soak::run()
{
    m_clock.start();
    if (m_options.clients > 1 && !isClient()) {
        connect(&m_client, &QProcess::readyReadStandardOutput, this, &Soak::readClient);
        connect(&m_client, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this, [this](int, QProcess::ExitStatus status) {
            if (status == QProcess::CrashExit && !m_clientKilledByUs)
                problem(QStringLiteral("the client process crashed"));
        });
        startClient();
    }
    QTimer::singleShot(0, this, &Soak::step);
    if (m_options.faults && !isClient())
        QTimer::singleShot(2000 + m_random.bounded(8000), this, &Soak::injectFault);
    qint64 settledKiB = 0;
    QTimer::singleShot(60000, this, [&] { settledKiB = residentKiB(); });
    QTest::qWait(m_options.durationS * 1000);

    // Faults stop; the one under way is undone.
    m_issuing = false;
    if (!QTest::qWaitFor([this] { return !m_faultRunning; }, 15000))
        problem(QStringLiteral("the last fault was not undone"));
    // The client drains and exports on its own; the first checks once it is done.
    if (m_client.state() != QProcess::NotRunning && !QTest::qWaitFor([this] { return m_client.state() == QProcess::NotRunning; }, settleMs * 4)) {
        problem(QStringLiteral("the client process did not end"));
        m_client.kill();
    }
    readClient();
    if (!waitForAllEnded(settleMs)) {
        QStringList unended;
        for (uint serial : qAsConst(m_live))
            unended << QStringLiteral("%1%2 (%3)").arg(serial).arg(m_operations.value(key(serial)).started ? "*" : "")
                           .arg(m_operations.value(key(serial)).what);
        m_unended = m_live.size();
        problem(QStringLiteral("unended %1 s after the last fault (* had started): %2").arg(settleMs / 1000).arg(unended.join(QLatin1Char(' '))));
    }
    // The oracle runs whatever the final requests did: what is on disk is checked anyway.
    if (finalRun(&Manager::exportUpdates, "final export") && !isClient())
        finalRun(&Manager::sync, "final sync");
    if (!isClient())
        checkIntent();
    if (enforceFailures)
        problem(QStringLiteral("%1 internal checks failed (see the log)").arg(enforceFailures));
    const qint64 endKiB = residentKiB();
    if (settledKiB && endKiB - settledKiB > 8 * 1024)
        problem(QStringLiteral("resident memory grew from %1 to %2 KiB").arg(settledKiB).arg(endKiB));

    QStringList kinds;
    for (auto kind = m_kinds.begin(); kind != m_kinds.end(); ++kind)
        kinds << QStringLiteral("%1 %2").arg(kind.value()).arg(kind.key());
    if (isClient()) {
        fprintf(stdout, "S %d requests (%s), %d cancels, %d moves and %d flag changes left out, %d serials left\n", m_requestCount,
                qPrintable(kinds.join(QStringLiteral(", "))), m_cancels, m_movesLeftOut, m_flagsLeftOut, m_unended);
        fflush(stdout);
        return m_problems.isEmpty() ? 0 : 1;
    }
    // The first problems tell the story; the log has them all.
    for (const QString &text : m_problems.mid(0, 40))
        fprintf(stdout, "soak: %s\n", qPrintable(text));
    if (m_problems.size() > 40)
        fprintf(stdout, "soak: ... %d more in the log\n", int(m_problems.size()) - 40);
    for (const QString &text : qAsConst(m_serverFaults))
        fprintf(stdout, "soak: the message server's own fault: %s\n", qPrintable(text));
    const int broken = int(m_problems.size()) - m_serverCrashes;
    fprintf(stdout, "soak summary: seed %u, %d s, %d client%s: %d requests (%s), %d cancels, %d moves and %d flag changes left out, %d managers; "
                    "client process: %s; faults: %d IMAP freezes, %d IMAP restarts, %d message-server kills, %d of them with "
                    "no manager, %d client kills; %d serials left, %d double ends, %d mismatches of %d messages; "
                    "%d copies made twice by the message server; client RSS %lld -> %lld KiB; message server crashed by itself "
                    "%d times; %d broken promises\n",
            m_options.seed, m_options.durationS, m_options.clients, m_options.clients > 1 ? "s" : "", m_requestCount,
            qPrintable(kinds.join(QStringLiteral(", "))), m_cancels, m_movesLeftOut, m_flagsLeftOut, m_generation,
            m_clientSummary.isEmpty() ? "none" : qPrintable(m_clientSummary), m_faultCounts[Freeze], m_faultCounts[KillImap],
            m_faultCounts[KillServer] + m_faultCounts[KillServerWithoutManager], m_faultCounts[KillServerWithoutManager],
            m_faultCounts[KillClient], m_unended, m_doubleEnds, m_mismatches, int(m_initialPlace.size()), m_serverCopies,
            settledKiB, endKiB, m_serverCrashes, broken);
    fflush(stdout);
    return broken > 0 ? 1 : 0;
}

int main(int argc, char *argv[])
{
    if (!RealQmfStack::runOnPrivateBus(argc, argv))
        return 1;
    QCoreApplication application(argc, argv);
    Options options;
    const QStringList arguments = application.arguments();
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString value = arguments.value(i + 1);
        if (argument == QLatin1String("--seed") && ++i)
            options.seed = value.toUInt();
        else if (argument == QLatin1String("--duration") && ++i)
            options.durationS = qBound(10, value.toInt(), 86400);
        else if (argument == QLatin1String("--clients") && ++i)
            options.clients = qBound(1, value.toInt(), 2);
        else if (argument == QLatin1String("--client") && ++i)
            options.client = value.toInt();
        else if (argument == QLatin1String("--account") && ++i)
            options.account = value.toULongLong();
        else if (argument == QLatin1String("--faults") || argument == QLatin1String("--no-faults"))
            options.faults = argument == QLatin1String("--faults");
        else {
            fprintf(stderr, "usage: soak_realqmf [--seed N] [--duration SECONDS] [--clients 1|2] [--faults|--no-faults]\n");
            return 2;
        }
    }
    const QString logPath = QDir::temp().filePath(QStringLiteral("soak-%1-%2.log").arg(options.seed).arg(QCoreApplication::applicationPid()));
    logFile = fopen(qPrintable(logPath), "w");
    qInstallMessageHandler(logToFile);
    if (options.account == 0) {
        fprintf(stdout, "soak: seed %u, log in %s\n", options.seed, qPrintable(logPath));
        fflush(stdout);
    } else {
        // The first process must see every line a client wrote before it was killed.
        setvbuf(stdout, nullptr, _IOLBF, 0);
    }

    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    RealQmfStack stack;
    stack.setMessageServerLog(QDir::temp().filePath(QStringLiteral("soak-%1-%2-messageserver.log").arg(options.seed).arg(QCoreApplication::applicationPid())));
    Soak soak(options, stack);
    QString error;
    if (!soak.setUp(&error)) {
        fprintf(stdout, options.account ? "P setup failed: %s\n" : "soak: setup failed: %s\n", qPrintable(error));
        return 1;
    }
    return soak.run();
}
