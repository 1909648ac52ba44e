// zavekctl as a person runs it on the real platform: an IMAP account added from the command
// line, then the narrated session on it through the real message server and IMAP server.
// The stack is the end-to-end suite's, with a store of its own and this one account in it:
// the account is added before the message server starts, which then loads it at start-up.
// The cases run in order.

#include "childprocess.h"
#include "realqmfstack.h"
#include "testenvironment.h"

#include <qmailmessagekey.h>
#include <qmailstore.h>

#include <QtTest>

namespace {

// Bound of each zavekctl run; a whole session takes a few seconds here.
const int runTimeoutMs = 120000;
const QString accountName = QStringLiteral("Work");

using Run = ZavekTest::CommandRun;

Run zavekctl(const QStringList &arguments, const QByteArray &input = QByteArray())
{
    return ZavekTest::runCommand(QStringLiteral(ZAVEKCTL_PATH), arguments, input, runTimeoutMs);
}

// The rows of the session's message table: from its heading to the blank line after it.
QStringList tableRows(const QString &out)
{
    const QStringList lines = out.split(QLatin1Char('\n'));
    const int heading = lines.indexOf(QRegularExpression(QStringLiteral("From +To +Priority +Date +Size +Viewable +Missing")));
    QStringList rows;
    for (int i = heading + 1; heading >= 0 && i < lines.size() && !lines.at(i).isEmpty(); ++i)
        rows << lines.at(i);
    return rows;
}

} // namespace

class TestRealQmfZavekctl : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(stack.start(&error, false), qPrintable(error));
    }
    void accountAddTakesThePasswordFromStandardInput();
    void sessionShowsEveryMessageViewable();

private:
    RealQmfStack stack;
};

void TestRealQmfZavekctl::accountAddTakesThePasswordFromStandardInput()
{
    const QStringList add{ QStringLiteral("account"), QStringLiteral("add"), accountName, QStringLiteral("--server"),
                           QStringLiteral("127.0.0.1"), QStringLiteral("--port"), QString::number(stack.imapPort()),
                           QStringLiteral("--user"), stack.userName() };
    // A password that cannot be read, or not stored as the IMAP service reads it, adds nothing.
    const Run unreadable = zavekctl(add + QStringList{ QStringLiteral("--password-file"),
                                                       ZavekTest::homePath() + QStringLiteral("/absent") });
    QVERIFY2(unreadable.exitCode == 1, unreadable.report());
    QVERIFY2(unreadable.err.contains(QLatin1String("cannot read the password")), unreadable.report());
    const Run notLatin1 = zavekctl(add, QStringLiteral("secret-\u20ac\n").toUtf8());
    QVERIFY2(notLatin1.exitCode == 1, notLatin1.report());
    QVERIFY2(notLatin1.err.contains(QLatin1String("outside Latin-1")), notLatin1.report());
    const Run badPort = zavekctl(add + QStringList{ QStringLiteral("--port"), QStringLiteral("0") }, "secret\n");
    QVERIFY2(badPort.exitCode == 2, badPort.report());

    const Run added = zavekctl(add, stack.password().toUtf8() + '\n');
    QVERIFY2(added.exitCode == 0, added.report());
    QVERIFY2(added.out.endsWith(QLatin1Char('\t') + accountName + QLatin1Char('\n')), added.report());
    // Listed as added (id and name), and alone in the store.
    const Run listed = zavekctl({ QStringLiteral("account"), QStringLiteral("list") });
    QVERIFY2(listed.exitCode == 0, listed.report());
    QCOMPARE(listed.out, added.out);
}

void TestRealQmfZavekctl::sessionShowsEveryMessageViewable()
{
    QVERIFY(stack.startMessageServer());
    const Run session = zavekctl({ QStringLiteral("session"), QStringLiteral("--account"), accountName,
                                   QStringLiteral("--idle-interval"), QStringLiteral("300"),
                                   QStringLiteral("--link-delay"), QStringLiteral("20") });
    QVERIFY2(session.finished, session.report());
    QVERIFY2(session.exitCode == 0, session.report());

    // One row per message of the mailbox, by sender as the table prints it, each viewable
    // with no inline image missing.
    const QStringList rows = tableRows(session.out);
    QVERIFY2(rows.size() == 3, session.report());
    for (const char *sender : { "Tomas Vrba", "Harbour Newsletter", "Ada Leskova" }) {
        const QRegularExpression row(QStringLiteral("^%1 .* yes +0$").arg(QLatin1String(sender)));
        QVERIFY2(rows.filter(row).size() == 1, qPrintable(sender + QLatin1Char('\n') + session.report()));
    }
    // The bodies' retrievals pre-empt the refresh (unless it ended first) before they run;
    // its later returns to pending between the real server's sync steps are no pre-emptions.
    const QLatin1String preempted("pre-empted by more urgent work");
    QVERIFY2(session.out.count(preempted) <= 1, session.report());
    QVERIFY2(session.out.indexOf(preempted)
                 < session.out.indexOf(QRegularExpression(QStringLiteral("retrieve (body|message) .* in progress"))),
             session.report());
    QCOMPARE(QMailStore::instance()->countMessages(QMailMessageKey::status(QMailMessage::Read)), 3);
    // Ended by the idle countdown, as the session promises, not by its own time limit.
    const QRegularExpression closed(QStringLiteral("^-- network: session closed \\d+ ms after the messaging system fell idle$"),
                                    QRegularExpression::MultilineOption);
    QVERIFY2(closed.match(session.out).hasMatch(), session.report());
}

int main(int argc, char *argv[])
{
    if (!RealQmfStack::runOnPrivateBus(argc, argv))
        return 1;
    QCoreApplication application(argc, argv);
    TestRealQmfZavekctl test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_realqmf_zavekctl.moc"
