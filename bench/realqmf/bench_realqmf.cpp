// What the manager adds to the work of the real message server: part retrievals and
// synchronisations, each made once through the manager and once straight on a service
// action of our own with the same QMF call, alternating, and timed from the request to its
// terminal signal. Run by hand or by bench/run (QMF_PREFIX=...); a benchmark, never a test.
//
// The set (20 part retrievals and 10 synchronisations each way) is run several times
// (rounds, 20 unless --rounds N says otherwise): the machine is shared, and the median over all
// runs of each way moves less with a neighbour's burst of work than that of one set. Prints the
// median of each, the range of the rounds' own ratios, and on its last line the figures
// bench/run reads:
//   realqmf part_manager_ms=.. part_direct_ms=.. sync_manager_ms=.. sync_direct_ms=..
//           part_round_low=.. part_round_high=.. sync_round_low=.. sync_round_high=..

#include "realqmfstack.h"

#include <zavekserviceactionmanager.h>
#include <zaveksettings.h>

#include <qmailfolder.h>
#include <qmailfolderkey.h>
#include <qmailmessage.h>
#include <qmailmessagekey.h>
#include <qmailserviceaction.h>
#include <qmailstore.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPair>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

using Manager = ZavekServiceActionManager;

// Runs of each way in one round.
const int partRuns = 20;
const int syncRuns = 10;
const int defaultRounds = 20;
// Every run here takes well under a second; a run that does not end is a broken stack.
const int runTimeoutMs = 60000;
const char subjectPrefix[] = "Bench attachment ";

bool isTerminal(QMailServiceAction::Activity activity)
{
    return activity == QMailServiceAction::Successful || activity == QMailServiceAction::Failed;
}

// A message whose attachment the first synchronisation leaves on the server.
QByteArray messageWithAttachment(int number)
{
    QByteArray attachment(16 * 1024, '\0');
    for (int i = 0; i < attachment.size(); ++i)
        attachment[i] = char((i * 31 + number) & 0xff);
    return QByteArray("From: Sender <sender@example.org>\r\n"
                      "To: User <user@example.org>\r\n"
                      "Subject: ") + subjectPrefix + QByteArray::number(number) + "\r\n"
           "Message-ID: <bench-" + QByteArray::number(number) + "@example.org>\r\n"
           "Date: Sat, 05 Dec 2026 10:00:00 +0000\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"part\"\r\n\r\n"
           "--part\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\nFigures attached.\r\n"
           "--part\r\nContent-Type: application/octet-stream\r\n"
           "Content-Disposition: attachment; filename=\"figures.bin\"\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n"
           + attachment.toBase64() + "\r\n--part--\r\n";
}

// Puts message @p number into the user's inbox, where the next synchronisation finds it:
// written aside and renamed into new/, as Maildir asks, owned like the rest of the mailbox.
bool deliver(const QString &maildir, int number, const QByteArray &message)
{
    const QString name = QStringLiteral("200000000%1.M1P1.zavek").arg(number);
    const QString written = maildir + QStringLiteral("/tmp/") + name;
    QFile file(written);
    if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size())
        return false;
    file.close();
    const QFileInfo mailbox(maildir);
    if (::chown(QFile::encodeName(written).constData(), mailbox.ownerId(), mailbox.groupId()) != 0)
        return false;
    return QFile::rename(written, maildir + QStringLiteral("/new/") + name);
}

// Milliseconds from start() to the signal that finished() recognises; -1 on time-out or failure.
double timeRun(const std::function<void()> &start, const std::function<void(std::function<void(bool)>)> &onEnd)
{
    QEventLoop loop;
    bool succeeded = false;
    qint64 elapsed = -1;
    QElapsedTimer timer;
    onEnd([&](bool success) {
        elapsed = timer.nsecsElapsed();
        succeeded = success;
        loop.quit();
    });
    QTimer::singleShot(runTimeoutMs, &loop, &QEventLoop::quit);
    timer.start();
    start();
    if (elapsed < 0)
        loop.exec();
    return elapsed >= 0 && succeeded ? double(elapsed) / 1e6 : -1;
}

class Runner
{
public:
    explicit Runner(const QMailAccountId &account) : m_account(account) {}

    double throughManager(const std::function<Manager::Serial(Manager &)> &request)
    {
        Manager::Serial serial = 0;
        QMetaObject::Connection connection;
        const double ms = timeRun([&] { serial = request(m_manager); },
                                  [&](std::function<void(bool)> ended) {
                                      connection = QObject::connect(
                                          &m_manager, &Manager::activityChanged,
                                          [&serial, ended](Manager::Serial which, QMailServiceAction::Activity activity,
                                                           const QMailServiceAction::Status &) {
                                              if (which == serial && isTerminal(activity))
                                                  ended(activity == QMailServiceAction::Successful);
                                          });
                                  });
        QObject::disconnect(connection);
        return ms;
    }

    double direct(const std::function<void(QMailRetrievalAction &)> &request)
    {
        QMetaObject::Connection connection;
        const double ms = timeRun([&] { request(m_action); },
                                  [&](std::function<void(bool)> ended) {
                                      connection = QObject::connect(
                                          &m_action, &QMailServiceAction::activityChanged,
                                          [ended](QMailServiceAction::Activity activity) {
                                              if (isTerminal(activity))
                                                  ended(activity == QMailServiceAction::Successful);
                                          });
                                  });
        QObject::disconnect(connection);
        return ms;
    }

    const QMailAccountId &account() const { return m_account; }

private:
    QMailAccountId m_account;
    Manager m_manager;
    QMailRetrievalAction m_action;
};

// The same call the manager's sync makes.
void synchronize(QMailRetrievalAction &action, const QMailAccountId &account)
{
#ifdef ZAVEK_QMF_HAS_SYNCHRONIZE_ALL
    action.synchronizeAll(account);
#else
    action.synchronize(account, QMailRetrievalAction::defaultMinimum());
#endif
}

// The value below which a fraction of the runs lies, interpolated between neighbours.
double quantile(QVector<double> values, double fraction)
{
    if (values.isEmpty())
        return -1;
    std::sort(values.begin(), values.end());
    const double position = fraction * (values.size() - 1);
    const int below = int(position);
    const int above = qMin(below + 1, values.size() - 1);
    return values.at(below) + (position - below) * (values.at(above) - values.at(below));
}

double median(const QVector<double> &values)
{
    return quantile(values, 0.5);
}

// The middle half of the runs: on a shared machine the spread says how far a ratio of
// medians can be trusted.
QByteArray spread(const QVector<double> &values)
{
    return QByteArray::number(quantile(values, 0.25), 'f', 2) + "-" + QByteArray::number(quantile(values, 0.75), 'f', 2);
}

QVector<QMailMessagePartContainer::Location> attachmentsToRetrieve()
{
    QVector<QMailMessagePartContainer::Location> locations;
    const QMailMessageIdList ids = QMailStore::instance()->queryMessages(
        QMailMessageKey::subject(QLatin1String(subjectPrefix), QMailDataComparator::Includes));
    for (const QMailMessageId &id : ids) {
        const QMailMessage message(id);
        for (uint i = 0; i < message.partCount(); ++i) {
            const QMailMessagePart &part = message.partAt(i);
            if (part.contentType().content() == "application/octet-stream" && !part.contentAvailable())
                locations << part.location();
        }
    }
    return locations;
}

int fail(const char *what)
{
    std::fprintf(stderr, "bench_realqmf: %s\n", what);
    return 1;
}

// The lowest and highest of the rounds' ratios of medians, manager against direct.
QPair<double, double> roundRange(const QVector<QVector<double> > &manager, const QVector<QVector<double> > &direct)
{
    QVector<double> ratios;
    for (int round = 0; round < manager.size(); ++round)
        ratios << median(manager.at(round)) / median(direct.at(round));
    std::sort(ratios.begin(), ratios.end());
    return qMakePair(ratios.first(), ratios.last());
}

QVector<double> joined(const QVector<QVector<double> > &rounds)
{
    QVector<double> all;
    for (const QVector<double> &round : rounds)
        all << round;
    return all;
}

int roundsAsked(const QStringList &arguments)
{
    const int at = arguments.indexOf(QStringLiteral("--rounds"));
    const int rounds = at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : defaultRounds;
    return qMax(1, rounds);
}

} // namespace

int main(int argc, char *argv[])
{
    if (!RealQmfStack::runOnPrivateBus(argc, argv))
        return 1;
    QCoreApplication application(argc, argv);
    const int rounds = roundsAsked(application.arguments());
    QMailStore::instance();

    RealQmfStack stack;
    QString error;
    if (!stack.start(&error))
        return fail(qPrintable(error));
    // A retrieval for each timed run and one warm-up run of each way.
    const int messages = 2 * partRuns * rounds + 2;
    for (int i = 1; i <= messages; ++i) {
        if (!deliver(stack.maildir(), i, messageWithAttachment(i)))
            return fail("cannot deliver the benchmark's messages");
    }
    ZavekSettings::instance()->setUseConnectivityManager(false, false);
    Runner runner(stack.addAccount(QStringLiteral("Bench"), stack.password()));
    const QMailAccountId account = runner.account();

    // The first synchronisation fills the store and opens the connections both ways use; it
    // lists only the newest messages of a folder, so the inbox is listed whole after it.
    if (runner.throughManager([&](Manager &manager) { return manager.sync(account); }) < 0)
        return fail("the first synchronisation failed");
    const QMailFolderIdList inbox = QMailStore::instance()->queryFolders(
        QMailFolderKey::parentAccountId(account) & QMailFolderKey::path(QStringLiteral("INBOX")));
    if (inbox.size() != 1)
        return fail("the synchronisation found no inbox");
    if (runner.throughManager([&](Manager &manager) {
            return manager.retrieveMessageList(account, inbox.first(), uint(messages + 10), QMailMessageSortKey());
        }) < 0)
        return fail("listing the inbox failed");
    QVector<QMailMessagePartContainer::Location> parts = attachmentsToRetrieve();
    if (parts.size() < messages)
        return fail("the synchronisation left fewer attachments on the server than the benchmark needs");

    QVector<QVector<double> > partManager(rounds), partDirect(rounds), syncManager(rounds), syncDirect(rounds);
    const auto retrieveThroughManager = [&](const QMailMessagePartContainer::Location &location) {
        return runner.throughManager([&](Manager &manager) { return manager.retrieveMessagePart(location); });
    };
    const auto retrieveDirectly = [&](const QMailMessagePartContainer::Location &location) {
        return runner.direct([&](QMailRetrievalAction &action) { action.retrieveMessagePart(location); });
    };
    if (retrieveThroughManager(parts.takeLast()) < 0 || retrieveDirectly(parts.takeLast()) < 0)
        return fail("a warm-up retrieval failed");
    // Which way goes first alternates too, so that a drift of the machine's load, or whatever
    // one run leaves to the next, weighs on both alike.
    for (int round = 0; round < rounds; ++round) {
        for (int run = 0; run < partRuns; ++run) {
            const auto location = parts.takeLast();
            const auto other = parts.takeLast();
            if (run % 2 == 0) {
                partManager[round] << retrieveThroughManager(location);
                partDirect[round] << retrieveDirectly(other);
            } else {
                partDirect[round] << retrieveDirectly(location);
                partManager[round] << retrieveThroughManager(other);
            }
        }
        for (int run = 0; run < syncRuns; ++run) {
            const auto throughManager = [&] {
                syncManager[round] << runner.throughManager([&](Manager &manager) { return manager.sync(account); });
            };
            const auto directly = [&] {
                syncDirect[round] << runner.direct([&](QMailRetrievalAction &action) { synchronize(action, account); });
            };
            if (run % 2 == 0) {
                throughManager();
                directly();
            } else {
                directly();
                throughManager();
            }
        }
    }
    const QVector<double> allRuns[] = {joined(partManager), joined(partDirect), joined(syncManager), joined(syncDirect)};
    for (const QVector<double> &runs : allRuns) {
        if (std::any_of(runs.begin(), runs.end(), [](double ms) { return ms < 0; }))
            return fail("a timed run failed or did not end");
    }

    const double part[] = {median(allRuns[0]), median(allRuns[1])};
    const double sync[] = {median(allRuns[2]), median(allRuns[3])};
    const QPair<double, double> partRange = roundRange(partManager, partDirect);
    const QPair<double, double> syncRange = roundRange(syncManager, syncDirect);
    std::printf("part retrieval (median of %d): manager %.2f ms (middle half %s), direct %.2f ms (%s), overhead %.3f, "
                "rounds %.3f..%.3f\n",
                partRuns * rounds, part[0], spread(allRuns[0]).constData(), part[1], spread(allRuns[1]).constData(),
                part[0] / part[1], partRange.first, partRange.second);
    std::printf("synchronisation (median of %d): manager %.2f ms (middle half %s), direct %.2f ms (%s), overhead %.3f, "
                "rounds %.3f..%.3f\n",
                syncRuns * rounds, sync[0], spread(allRuns[2]).constData(), sync[1], spread(allRuns[3]).constData(),
                sync[0] / sync[1], syncRange.first, syncRange.second);
    std::printf("realqmf part_manager_ms=%.3f part_direct_ms=%.3f sync_manager_ms=%.3f sync_direct_ms=%.3f "
                "part_round_low=%.3f part_round_high=%.3f sync_round_low=%.3f sync_round_high=%.3f\n",
                part[0], part[1], sync[0], sync[1], partRange.first, partRange.second, syncRange.first, syncRange.second);
    return 0;
}
