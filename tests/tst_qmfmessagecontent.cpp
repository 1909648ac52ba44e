#include "qmailmessage.h"
#include "testenvironment.h"

#include <QtTest>

// Content on disk: writeBodyTo with untrusted names, never over an existing file or link.
class TestQmfMessageContent : public QObject
{
    Q_OBJECT

private:
    static QMailMessage load(const QString &name)
    {
        return QMailMessage::fromRfc2822File(ZavekTest::dataPath(QStringLiteral("mail/") + name));
    }

    static QMailMessagePart namedPart(const QByteArray &type, const QByteArray &contentTypeName)
    {
        QMailMessageContentType contentType(type);
        if (!contentTypeName.isNull())
            contentType.setName(contentTypeName);
        QMailMessagePart part = QMailMessagePart::fromData(QByteArray("payload"), QMailMessageContentDisposition(QMailMessageContentDisposition::Attachment),
                                                           contentType, QMailMessageBody::Base64);
        QMailMessage holder;
        holder.setMultipartType(QMailMessage::MultipartMixed);
        holder.appendPart(part);
        return holder.partAt(0);
    }

    static QStringList filesIn(const QString &path)
    {
        return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }

private slots:
    void writeBodyToNames_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain name") << QByteArray("application/pdf") << QByteArray("report.pdf") << "report.pdf";
        QTest::newRow("extension case ignored") << QByteArray("application/pdf") << QByteArray("REPORT.PDF") << "REPORT.PDF";
        QTest::newRow("extension added") << QByteArray("image/png") << QByteArray("logo") << "logo.png";
        QTest::newRow("octet-stream keeps name") << QByteArray("application/octet-stream") << QByteArray("data") << "data";
        QTest::newRow("slashes removed") << QByteArray("text/plain") << QByteArray("a/b/notes.txt") << "abnotes.txt";
        QTest::newRow("parent path") << QByteArray("text/plain") << QByteArray("../../../etc/passwd") << "......etcpasswd.txt";
        QTest::newRow("absolute path") << QByteArray("application/octet-stream") << QByteArray("/tmp/evil") << "tmpevil";
        QTest::newRow("dot dot alone") << QByteArray("application/octet-stream") << QByteArray("..") << "attachment-1";
        QTest::newRow("backslashes") << QByteArray("application/octet-stream") << QByteArray("..\\..\\x") << "....x";
        QTest::newRow("control characters") << QByteArray("text/plain") << QByteArray("bad\x01name.txt") << "attachment-1.txt";
        QTest::newRow("encoded newline") << QByteArray("application/octet-stream") << QByteArray("=?utf-8?q?a=0Ab?=") << "attachment-1";
        QTest::newRow("encoded slash") << QByteArray("application/octet-stream") << QByteArray("=?utf-8?q?=2E=2E=2Fx?=") << "..x";
        QTest::newRow("too long") << QByteArray("application/octet-stream") << QByteArray(300, 'n') << "attachment-1";
        QTest::newRow("no name") << QByteArray("image/gif") << QByteArray() << "0 imagegif.gif";
    }

    void writeBodyToNames()
    {
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, name);
        QFETCH(QString, expected);
        QTemporaryDir base;
        const QString target = base.filePath(QStringLiteral("inside"));
        const QString written = namedPart(type, name).writeBodyTo(target);
        QCOMPARE(QFileInfo(written).fileName(), expected);
        QCOMPARE(QFileInfo(written).absolutePath(), QFileInfo(target).absoluteFilePath());
        QCOMPARE(filesIn(target), QStringList(expected));
        QCOMPARE(filesIn(base.path()), QStringList());
        QFile file(written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("payload"));
    }

    void writeBodyToNeverOverwrites()
    {
        QTemporaryDir dir;
        const QMailMessagePart part = namedPart("text/plain", "notes.txt");
        const QString first = part.writeBodyTo(dir.path());
        QFile existing(first);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep me");
        existing.close();

        const QString second = part.writeBodyTo(dir.path());
        QVERIFY(!second.isEmpty());
        QVERIFY(second != first);
        QVERIFY(QRegularExpression(QStringLiteral("^[A-Za-z0-9]{5}\\.notes\\.txt$")).match(QFileInfo(second).fileName()).hasMatch());
        QVERIFY(existing.open(QIODevice::ReadOnly));
        QCOMPARE(existing.readAll(), QByteArray("keep me"));

        // A planted link under the wanted name is not followed.
        QTemporaryDir other;
        const QString victim = other.filePath(QStringLiteral("victim"));
        QVERIFY(QFile::link(victim, dir.filePath(QStringLiteral("linked.txt"))));
        const QString third = namedPart("text/plain", "linked.txt").writeBodyTo(dir.path());
        QVERIFY(!third.isEmpty());
        QVERIFY(!QFileInfo::exists(victim));
    }

    void writeBodyToFailures()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("file"));
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessagePart::writeBodyTo: cannot create directory")));
        QCOMPARE(namedPart("text/plain", "a.txt").writeBodyTo(blocker + QStringLiteral("/sub")), QString());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessagePart::writeBodyTo: part .* has no body")));
        QCOMPARE(QMailMessagePart().writeBodyTo(dir.path()), QString());
    }

    void writeBodyWritesDecodedContent()
    {
        QTemporaryDir dir;
        const QMailMessage message = load(QStringLiteral("encodings.eml"));
        const QString path = message.partAt(2).writeBodyTo(dir.path());
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("\u00fcbersicht M\u00e4rz.xlsx"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("PK\x03\x04"));
    }
};

QTEST_GUILESS_MAIN(TestQmfMessageContent)
#include "tst_qmfmessagecontent.moc"
