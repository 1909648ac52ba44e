// The demo tool as a user runs it: real processes, the sample mailbox, a temporary home.

#include "childprocess.h"
#include "testenvironment.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = ZavekTest::CommandRun;

Run zavekctl(const QStringList &arguments)
{
    return ZavekTest::runCommand(QStringLiteral(ZAVEKCTL_PATH), arguments);
}

QString mailboxFile(const char *name)
{
    return QStringLiteral(ZAVEKCTL_MAILBOX "/") + QLatin1String(name);
}

} // namespace

class TestZavekctl : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(ZavekTest::configPath()).removeRecursively(); }

    void sessionRunsEndToEnd()
    {
#ifdef ZAVEK_TESTS_AGAINST_INSTALLED_QMF
        QSKIP("against an installed QMF the session needs a real account: the end-to-end suite runs it");
#endif
        const Run run = zavekctl({ "session", "--idle-interval", "300", "--step-delay", "0", "--link-delay", "20" });
        QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
        const QString &out = run.out;

        // The device comes online on demand, before anything that needs the network runs.
        QVERIFY(out.indexOf(QLatin1String("-- network: online")) < out.indexOf(QLatin1String("sync account                                 in progress")));
        // An equal request shares the serial of the first.
        QVERIFY(out.contains(QLatin1String("again          merged into #3")));
        // Message-level work pre-empts the refresh, which then finishes under its own serial.
        QVERIFY(out.contains(QLatin1String("# 4 pre-empted by more urgent work; queued again")));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("# 4 sync account \\(refresh\\) +successful"))));
        QVERIFY(!out.contains(QLatin1String(" failed")));
        // Inline images of the HTML newsletter are fetched once its body is there.
        QCOMPARE(out.count(QRegularExpression(QStringLiteral("retrieve image 2-\\d of \\S.* requested"))), 2);

        // The table: one row per sample message, all viewable, nothing missing.
        const QStringList rows = out.section(QLatin1String("From "), 1).section(QLatin1String("\n\n"), 0, 0)
                                     .split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
        QCOMPARE(rows.size(), QDir(QStringLiteral(ZAVEKCTL_MAILBOX)).entryList({ QStringLiteral("*.eml") }).size());
        for (const QString &row : rows)
            QVERIFY2(row.contains(QRegularExpression(QStringLiteral(" yes +0$"))), qPrintable(row));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("Building Office +Demo User +high"))));
        QVERIFY(out.contains(QRegularExpression(QStringLiteral("Reminder Service .* today "))));

        // The session closes by itself once the system has been idle for the whole interval.
        const QRegularExpressionMatch closed
                = QRegularExpression(QStringLiteral("session closed (\\d+) ms after the messaging system fell idle\\s*$")).match(out);
        QVERIFY2(closed.hasMatch(), qPrintable(out.right(200)));
        QVERIFY2(closed.captured(1).toInt() >= 300, qPrintable(closed.captured(0)));
    }

    void inspectReportsStructureAndSavesAttachmentsInside()
    {
        const Run html = zavekctl({ "inspect", mailboxFile("02-html-inline.eml") });
        QCOMPARE(html.exitCode, 0);
        for (const char *line : { "Shown body:  part 1 (text/html)", "cid:boat@harbour.example.com", "Missing:     -", "Viewable:    yes",
                                  "Resources:   boat@harbour.example.com, buoy@harbour.example.com" })
            QVERIFY2(html.out.contains(QLatin1String(line)), line);
        const Run urgent = zavekctl({ "inspect", mailboxFile("06-high-priority.eml") });
        QCOMPARE(urgent.exitCode, 0);
        QVERIFY(urgent.out.contains(QLatin1String("Priority:    high")));
        QVERIFY(urgent.out.contains(QLatin1String("Shown body:  the message itself (text/plain)")));

        // Saved attachments land in the temporary directory, one file each.
        const Run run = zavekctl({ "inspect", mailboxFile("04-attachments.eml"), "--save-attachments" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("Attachments: 2")));
        const QString temporary = QDir::homePath() + QStringLiteral("/.qmf/tmp/zavek-temporary-files/");
        int count = 0;
        for (auto matches = QRegularExpression(QStringLiteral("-> (\\S+)")).globalMatch(run.out); matches.hasNext(); ++count) {
            const QString path = matches.next().captured(1);
            QVERIFY2(path.startsWith(temporary) && QFileInfo(path).isFile(), qPrintable(path));
        }
        QCOMPARE(count, 2);
    }

    void settingsRoundTripThroughTheFile()
    {
        Run run = zavekctl({ "settings", "get", "previewLines" });
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("2\n"));

        run = zavekctl({ "settings", "set", "viewHtmlMailFormat", "false" });
        run = zavekctl({ "settings", "list" });
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains(QLatin1String("viewHtmlMailFormat = false\n")));
        QVERIFY(run.out.contains(QLatin1String("sortKey = 0\n")));
        QCOMPARE(run.out.count(QLatin1Char('\n')), 9);

        // The option now decides which body inspect reports.
        run = zavekctl({ "inspect", mailboxFile("03-alternative.eml") });
        QVERIFY(run.out.contains(QLatin1String("Shown body:  part 1 (text/plain) (plain text preferred)")));
    }

    void settingsWatchSeesAnotherProcess()
    {
        QProcess watcher;
        watcher.start(QStringLiteral(ZAVEKCTL_PATH), { "settings", "watch", "--count", "1", "--timeout", "20000" });
        QVERIFY(watcher.waitForReadyRead(20000));
        QVERIFY(watcher.readLine().startsWith("watching "));

        zavekctl({ "settings", "set", "sortKey", "3" });
        QVERIFY(watcher.waitForFinished(20000));
        QCOMPARE(watcher.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(watcher.readAll()).trimmed(), QStringLiteral("changed: sortKey"));
    }

    void badArgumentsFailClearly_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("no command") << QStringList() << 2 << "usage:";
        QTest::newRow("unknown command") << QStringList { "frobnicate" } << 2 << "unknown command";
        QTest::newRow("session option") << QStringList { "session", "--idle-interval", "soon" } << 2 << "bad argument";
#ifdef ZAVEK_TESTS_AGAINST_INSTALLED_QMF
        QTest::newRow("missing account") << QStringList { "session", "--account", "Nobody" } << 1 << "no account named";
        QTest::newRow("account add without server") << QStringList { "account", "add", "Mine", "--user", "me" } << 2
                                                    << "bad arguments";
#else
        QTest::newRow("missing mailbox") << QStringList { "session", "--mailbox", "/nonexistent/box" } << 1
                                         << "is not a readable directory";
        QTest::newRow("account without a store") << QStringList { "account", "list" } << 1 << "installed QMF";
#endif
        QTest::newRow("inspect nothing") << QStringList { "inspect" } << 2 << "usage:";
        QTest::newRow("inspect missing") << QStringList { "inspect", "/nonexistent.eml" } << 1 << "is not a readable file";
        QTest::newRow("inspect directory") << QStringList { "inspect", QDir::tempPath() } << 1 << "is not a readable file";
        QTest::newRow("unknown key") << QStringList { "settings", "get", "colour" } << 2 << "unknown key";
        QTest::newRow("bad bool") << QStringList { "settings", "set", "viewHtmlMailFormat", "maybe" } << 2
                                  << "not a valid value";
        QTest::newRow("bad preview") << QStringList { "settings", "set", "previewLines", "7" } << 2 << "(0, 1 or 2)";
        QTest::newRow("settings nothing") << QStringList { "settings" } << 2 << "usage:";
    }

    void badArgumentsFailClearly()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const Run run = zavekctl(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }
};

QTEST_GUILESS_MAIN(TestZavekctl)
#include "tst_zavekctl.moc"
