#include <testenvironment.h>
#include <zavekutils.h>

#include <QCryptographicHash>
#include <QDirIterator>
#include <QTemporaryDir>
#include <QTranslator>
#include <QUrl>
#include <QtTest>

#include <sys/stat.h>
#include <sys/types.h>

#include <limits>

namespace {

const char saveSignature[] = "QString ZavekUtils::saveAttachmentToTemporaryFile(const QMailMessagePart&)";
const char loadSignature[] = "bool ZavekUtils::loadMessageFromFile(const QUrl&, QMailMessage&)";

// A mixed message with one text attachment per name; the id 0 means "not stored".
QMailMessage messageWithAttachments(quint64 id, const QList<QByteArray> &fileNames)
{
    QMailMessage message;
    message.setMultipartType(QMailMessagePartContainer::MultipartMixed);
    for (const QByteArray &fileName : fileNames) {
        QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Attachment);
        disposition.setFilename(fileName);
        message.appendPart(QMailMessagePart::fromData(QByteArray("content of ") + fileName, disposition,
                                                      QMailMessageContentType("text/plain"),
                                                      QMailMessageBody::Base64));
    }
    if (id != 0)
        message.setId(QMailMessageId(id));
    return message;
}

// The permission bits of a file's mode, as chmod writes them.
int modeOf(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return -1;
    return int(status.st_mode & 07777);
}

QStringList filesIn(const QString &directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QByteArray quoted(const QString &text)
{
    return QByteArray("\"") + text.toUtf8() + QByteArray("\"");
}

} // namespace

class TestUtilsFiles : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(ZavekTest::homePath() + QStringLiteral("/.qmf")).removeRecursively(); }

    void formattedSize_data()
    {
        QTest::addColumn<uint>("size");
        QTest::addColumn<QString>("expected");

        QTest::newRow("zero") << 0u << QStringLiteral("0 bytes");
        QTest::newRow("one") << 1u << QStringLiteral("1 byte");
        QTest::newRow("1000 shown as 1 kB") << 1000u << QStringLiteral("1 kB");
        QTest::newRow("1536 rounded") << 1536u << QStringLiteral("2 kB");
        // 1023500 / 1024 = 999.51...: below the 1000 step, but rounds to four digits.
        QTest::newRow("999.5 kB") << 1023500u << QStringLiteral("1000 kB");
        QTest::newRow("1000 MB shown as 1 GB") << 1000u * 1024u * 1024u << QStringLiteral("1 GB");
        QTest::newRow("largest") << std::numeric_limits<uint>::max() << QStringLiteral("4 GB");
    }

    void formattedSize()
    {
        QFETCH(uint, size);

        QTranslator english;
        QVERIFY(english.load(QStringLiteral("zavek_en"), QStringLiteral(ZAVEK_TRANSLATIONS_DIR)));
        QCoreApplication::installTranslator(&english);
        const QString formatted = ZavekUtils::get_formatted_size(size);
        QCoreApplication::removeTranslator(&english);
        QTEST(formatted, "expected");
    }

    void textToHtml()
    {
        // An entity already in the text is plain text to us: its ampersand is escaped too.
        // Quotes, carriage returns and placeholder-like text pass through unchanged.
        const QString html = ZavekUtils::textToHtml(QStringLiteral("a<b & c>d\ne x &amp; y \"q\" 'r'\r\n%1 %2"));
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0//EN\"")));
        QVERIFY2(html.endsWith(QStringLiteral("</style></head><body>a&lt;b &amp; c&gt;d<br/>e x &amp;amp; y \"q\" 'r'\r<br/>%1 %2</body></html>")),
                 qPrintable(html));
    }

    void checkFilesSize()
    {
        QTemporaryDir directory;
        const QString first = directory.filePath(QStringLiteral("first.bin"));
        const QString second = directory.filePath(QStringLiteral("second.bin"));
        for (const QString &path : {first, second}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(600, 'x'));
        }
        // The out-list is appended to, not replaced; it stops at the first path that is no file.
        const QString missing = directory.filePath(QStringLiteral("missing"));
        const QString firstPath = QFileInfo(first).canonicalFilePath(), secondPath = QFileInfo(second).canonicalFilePath();
        const struct { QStringList files; int limit; int result; QStringList listed; } cases[] = {
            {{first, second}, 1200, ZavekUtils::FilesOk, {firstPath, secondPath}},
            {{first, second}, 1199, ZavekUtils::SizeExceeded, {firstPath, secondPath}},
            {{directory.path(), first}, 5000, ZavekUtils::NotAFile, {}},
            {{first, missing}, 5000, ZavekUtils::NotAFile, {firstPath}},
        };
        for (const auto &c : cases) {
            QStringList paths{QStringLiteral("earlier")};
            QCOMPARE(ZavekUtils::checkFilesSize(c.files, paths, c.limit), c.result);
            QCOMPARE(paths, QStringList{QStringLiteral("earlier")} + c.listed);
        }
    }

    void loadMessageRefusesUnusablePaths_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QByteArray>("warning");

        const QUrl web(QStringLiteral("http://example.org/figures.eml"));
        QTest::newRow("web address") << web
                                     << QByteArray(loadSignature) + " message file url =  QUrl(\"http://example.org/figures.eml\") is invalid";

        const QString missing = ZavekTest::homePath() + QStringLiteral("/no-such.eml");
        QTest::newRow("missing file") << QUrl::fromLocalFile(missing)
                                      << QByteArray(loadSignature) + " Unable to load nonexistent file.";

        const QString home = ZavekTest::homePath();
        QTest::newRow("directory") << QUrl::fromLocalFile(home)
                                   << QByteArray(loadSignature) + " Refusing to load " + quoted(home) + " which is not a regular file.";

        // Nobody writes to this FIFO: reading it would block the test for ever.
        const QString fifo = m_scratch.filePath(QStringLiteral("pipe.eml"));
        QFile::remove(fifo);
        if (::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0) {
            QTest::newRow("fifo") << QUrl::fromLocalFile(fifo)
                                  << QByteArray(loadSignature) + " Refusing to load " + quoted(fifo) + " which is not a regular file.";
        }
    }

    void loadMessageRefusesUnusablePaths()
    {
        QFETCH(QUrl, url);
        QFETCH(QByteArray, warning);

        QMailMessage message;
        message.setSubject(QStringLiteral("untouched"));
        QTest::ignoreMessage(QtWarningMsg, warning.constData());
        QVERIFY(!ZavekUtils::loadMessageFromFile(url, message));
        QCOMPARE(message.subject(), QStringLiteral("untouched"));
    }

    void loadMessageFromEmlFile()
    {
        QMailMessage message;
        QVERIFY(ZavekUtils::loadMessageFromFile(QUrl::fromLocalFile(ZavekTest::dataPath(QStringLiteral("files/figures.eml"))), message));
        QCOMPARE(message.partCount(), 2u);

        // A loaded message has no id: its attachments share the directory of unsaved messages.
        QVERIFY(!message.partAt(1).location().containingMessageId().isValid());
    }

    void attachmentDirectoryFollowsLocation()
    {
        const QString root = ZavekUtils::getTemporaryDirectory();
        QCOMPARE(root, ZavekTest::homePath() + QStringLiteral("/.qmf/tmp/zavek-temporary-files"));
        QVERIFY(!QFileInfo::exists(root));
        // A home path that looks like a placeholder is taken literally.
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", home + "/100%2");
        const QString placeholderRoot = ZavekUtils::getTemporaryDirectory();
        qputenv("HOME", home);
        QCOMPARE(placeholderRoot, QString::fromUtf8(home) + QStringLiteral("/100%2/.qmf/tmp/zavek-temporary-files"));

        const QMailMessage stored = messageWithAttachments(42, { "a.txt", "b.txt" });
        const QString first = ZavekUtils::getAttachmentTemporaryDirectory(stored.partAt(0));
        const QByteArray digest = QCryptographicHash::hash("42-1", QCryptographicHash::Md5).toHex();
        QCOMPARE(first, root + QLatin1Char('/') + QString::fromLatin1(digest));
        QVERIFY(ZavekUtils::getAttachmentTemporaryDirectory(stored.partAt(1)) != first);
        QVERIFY(ZavekUtils::getAttachmentTemporaryDirectory(messageWithAttachments(0, { "a.txt" }).partAt(0)) != first);
    }

    void savingTwiceLeavesOneFileAndSparesOthers()
    {
        const QMailMessage message = messageWithAttachments(7, { "report.txt" });
        const QMailMessagePart &part = message.partAt(0);
        const QString directory = ZavekUtils::getAttachmentTemporaryDirectory(part);

        // A stale copy and a subdirectory from earlier runs: the copy goes, the directory stays.
        QVERIFY(QDir().mkpath(directory + QStringLiteral("/keep")));
        QVERIFY(QFile::setPermissions(directory, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                     | QFileDevice::ReadOther | QFileDevice::ExeOther));
        QFile stale(directory + QStringLiteral("/.stale"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();

        const QString first = ZavekUtils::saveAttachmentToTemporaryFile(part);
        const QString second = ZavekUtils::saveAttachmentToTemporaryFile(part);
        QVERIFY(!first.isEmpty());
        QCOMPARE(filesIn(directory), QStringList{ QFileInfo(second).fileName() });
        QVERIFY(QFileInfo(directory + QStringLiteral("/keep")).isDir());
        QFile file(second);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("content of report.txt"));

        QCOMPARE(modeOf(directory), 0700);
        QCOMPARE(modeOf(ZavekUtils::getTemporaryDirectory()), 0700);

        // Parts of unsaved messages all sit at "0-1", so they share a directory; neither save
        // may delete the other.
        QDir(ZavekTest::homePath() + QStringLiteral("/.qmf")).removeRecursively();
        const QMailMessage one = messageWithAttachments(0, { "one.txt" });
        const QMailMessage two = messageWithAttachments(0, { "two.txt" });
        ZavekUtils::saveAttachmentToTemporaryFile(one.partAt(0));
        ZavekUtils::saveAttachmentToTemporaryFile(two.partAt(0));
        QCOMPARE(filesIn(ZavekUtils::getAttachmentTemporaryDirectory(one.partAt(0))).size(), 2);
        // Every directory created on the way is private as well.
        QCOMPARE(modeOf(ZavekTest::homePath() + QStringLiteral("/.qmf/tmp")), 0700);
    }

    void hostileFileNamesStayInside_data()
    {
        QTest::addColumn<QByteArray>("fileName");
        QTest::newRow("parent directories") << QByteArray("../../../escaped.txt");
        QTest::newRow("absolute") << QByteArray("/tmp/zavek-escaped.txt");
        QTest::newRow("dot dot") << QByteArray("..");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("control characters") << QByteArray("a\x01\nb.txt");
        QTest::newRow("hidden into parent") << QByteArray("sub/../../.bashrc");
    }

    void hostileFileNamesStayInside()
    {
        QFETCH(QByteArray, fileName);

        const QMailMessage message = messageWithAttachments(9, { fileName });
        const QString directory = ZavekUtils::getAttachmentTemporaryDirectory(message.partAt(0));
        const QString saved = ZavekUtils::saveAttachmentToTemporaryFile(message.partAt(0));
        if (!saved.isEmpty())
            QCOMPARE(QFileInfo(saved).absolutePath(), directory);

        // Nothing was written anywhere else below the home directory, nor at the absolute name.
        QDirIterator it(ZavekTest::homePath(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QVERIFY2(path.startsWith(directory + QLatin1Char('/')), qPrintable(path));
        }
        QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/zavek-escaped.txt")));
    }

    void partWithoutLocationOrUsableDirectoryIsNotSaved()
    {
        QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Attachment);
        disposition.setFilename("loose.txt");
        const QMailMessagePart loose = QMailMessagePart::fromData(QByteArray("loose"), disposition,
                                                                  QMailMessageContentType("text/plain"), QMailMessageBody::Base64);

        QTest::ignoreMessage(QtWarningMsg,
                             "QString ZavekUtils::getAttachmentTemporaryDirectory(const QMailMessagePart&) Invalid location");
        QVERIFY(ZavekUtils::saveAttachmentToTemporaryFile(loose).isNull());
        QVERIFY(!QFileInfo::exists(ZavekTest::homePath() + QStringLiteral("/.qmf")));

        // A plain file where the temporary directory should be.
        QVERIFY(QDir().mkpath(ZavekTest::homePath() + QStringLiteral("/.qmf/tmp")));
        QFile blocker(ZavekUtils::getTemporaryDirectory());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        const QMailMessage message = messageWithAttachments(3, { "blocked.txt" });
        QTest::ignoreMessage(QtWarningMsg, (QByteArray(saveSignature) + " Error creating path").constData());
        QVERIFY(ZavekUtils::saveAttachmentToTemporaryFile(message.partAt(0)).isNull());
        QCOMPARE(QFileInfo(blocker.fileName()).size(), qint64(0));
    }

private:
    QTemporaryDir m_scratch; // outside the home directory, for special files
};

QTEST_GUILESS_MAIN(TestUtilsFiles)

#include "tst_utilsfiles.moc"
