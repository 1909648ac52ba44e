#include "qmailmessage.h"
#include "qmailstore.h"
#include "testenvironment.h"

#include <QtTest>

// Handwritten mail files: structure, decoding and the metadata taken from headers when they
// are loaded, and their parts' content written to disk.
class TestQmfMessageParse : public QObject
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
    // What a reader sees of these files (addresses, subjects, dates, priorities, part types,
    // names, content ids, decoded bodies) is compared with the real QMF's reading by the
    // conformance leg; the cases here check what that comparison does not look at.
    void plainMessageHeaders()
    {
        const QMailMessage message = load(QStringLiteral("plain.eml"));
        QCOMPARE(message.rfcId(), QStringLiteral("<plan-0303@north.example>"));
        QCOMPARE(message.listId(), QStringLiteral("<plans.north.example>"));
        QCOMPARE(message.QMailMessageMetaData::recipients(), message.recipients());
        QVERIFY(message.contentAvailable());
        // No Content-Type: text/plain in US-ASCII is supplied.
        QCOMPARE(message.contentType().charset(), QByteArray("us-ascii"));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartNone);
        QVERIFY(message.hasBody());
    }

    void bodySearch_data()
    {
        // Locations without the message id; "self" is the message itself, "" none.
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("attachments");
        QTest::newRow("plain") << "plain.eml" << "self" << "" << QStringList();
        QTest::newRow("html only") << "html-only.eml" << "" << "self" << QStringList();
        QTest::newRow("alternative") << "alternative.eml" << "1" << "2" << QStringList();
        // Not a mixed container: no attachments by the 2012 rule.
        QTest::newRow("related") << "related.eml" << "1.1" << "1.2" << QStringList();
        // Attachment, inline image, and the binary part without disposition; not the inline text.
        QTest::newRow("mixed") << "mixed.eml" << "1.1" << "1.2" << QStringList{"2", "3", "5"};
        // The search does not descend into an enclosed message.
        QTest::newRow("enclosed message") << "nested.eml" << "1" << "" << QStringList{"2"};
    }

    void bodySearch()
    {
        QFETCH(QString, file);
        QFETCH(QStringList, attachments);
        const QMailMessage message = load(file);
        const auto where = [&message](const QMailMessagePartContainer *container) {
            if (!container)
                return QString();
            if (container == &message)
                return QStringLiteral("self");
            return static_cast<const QMailMessagePart *>(container)->location().toString(false);
        };
        QTEST(where(message.findPlainTextContainer()), "plain");
        QTEST(where(message.findHtmlContainer()), "html");
        QStringList found;
        for (const QMailMessagePart::Location &location : message.findAttachmentLocations())
            found << location.toString(false);
        QCOMPARE(found, attachments);
        QCOMPARE(bool(message.status() & QMailMessage::HasAttachments), !attachments.isEmpty());
    }

    void partsOfLoadedMultiparts()
    {
        const QMailMessage related = load(QStringLiteral("related.eml"));
        QVERIFY(related.partAt(0).contentAvailable() && related.partAt(1).contentAvailable());

        const QMailMessage mixed = load(QStringLiteral("mixed.eml"));
        QVERIFY(mixed.hasAttachments());
        QCOMPARE(mixed.partAt(0).partAt(0).body().transferEncoding(), QMailMessageBody::QuotedPrintable);
        QCOMPARE(mixed.partAt(1).contentDisposition().size(), 11);
        QCOMPARE(mixed.partAt(2).contentDisposition().size(), -1);

        // An enclosed message is kept whole and loads on its own.
        const QMailMessage nested = load(QStringLiteral("nested.eml"));
        const QMailMessage inner = QMailMessage::fromRfc2822(nested.partAt(1).body().data(QMailMessageBody::Decoded));
        QCOMPARE(inner.subject(), QStringLiteral("Wochenplan f\u00fcr M\u00e4rz"));
        QCOMPARE(inner.multipartType(), QMailMessage::MultipartAlternative);
        QVERIFY(inner.findPlainTextContainer());
    }

    void brokenInputIsSafe()
    {
        const QMailMessage broken = load(QStringLiteral("broken.eml"));
        QCOMPARE(broken.subject(), QStringLiteral("broken structure"));
        // No boundary: no parts can be found, and the text stays as body.
        QCOMPARE(broken.partCount(), 0u);
        QVERIFY(broken.hasBody());
        QVERIFY(broken.body().data(QMailMessageBody::Encoded).contains("names no boundary"));
        QVERIFY(!broken.findPlainTextContainer());

        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^QMailMessage::fromRfc2822File: cannot open")));
        const QMailMessage missing = load(QStringLiteral("does-not-exist.eml"));
        QCOMPARE(missing.messageType(), QMailMessage::Email);
        QCOMPARE(missing.partCount(), 0u);

        const QMailMessage empty = QMailMessage::fromRfc2822(QByteArray());
        QCOMPARE(empty.messageType(), QMailMessage::Email);
        QVERIFY(empty.subject().isEmpty());
    }

    void structureBeyondTheBreak_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("lastPart");   // as encoded
        // A line that is no field before the first one: the layer drops such lines anywhere.
        QTest::newRow("text before the first field")
            << QByteArray("From nowhere\nSubject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\n\none\n--b--\n") << QByteArray("one");
        // The inner multipart ends at its own closing delimiter; the part after it is kept.
        QTest::newRow("inner multipart with the outer's boundary")
            << QByteArray("Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: multipart/alternative; "
                          "boundary=b\n\n--b\n\none\n--b--\n--b\nContent-Type: text/plain\n\nafter\n--b--\n")
            << QByteArray("after");
        // The parser is given LF line ends; the parts of a CRLF message get theirs back.
        QTest::newRow("CRLF part") << QByteArray("Subject: s\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n\r\n"
                                                 "one\r\ntwo\r\n--b--\r\n") << QByteArray("one\r\ntwo");
        // The line end before a delimiter is the delimiter's (RFC 2046, 5.1.1); the blank line is
        // the enclosed message's. Without an empty line the whole text is header, none of it a field.
        const QByteArray enclosed = "Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: message/rfc822\n\n";
        QTest::newRow("enclosed message with body") << enclosed + "Subject: s\n\nremoved\n\n--b--\n" << QByteArray("Subject: s\n\nremoved\n");
        QTest::newRow("enclosed message without body") << enclosed + "Message removed\n\n--b--\n" << QByteArray("Message removed\n");
    }

    void structureBeyondTheBreak()
    {
        QFETCH(QByteArray, text);
        const QMailMessage message = QMailMessage::fromRfc2822(text);
        QCOMPARE(message.subject(), QStringLiteral("s"));
        QVERIFY(message.partCount() > 0);
        QTEST(message.partAt(message.partCount() - 1).body().data(QMailMessageBody::Encoded), "lastPart");
    }

    void lineEndings_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("LF") << QByteArray("Subject: s\nX-A: 1\n\nbody\nline\n");
        QTest::newRow("CRLF") << QByteArray("Subject: s\r\nX-A: 1\r\n\r\nbody\r\nline\r\n");
        QTest::newRow("CR") << QByteArray("Subject: s\rX-A: 1\r\rbody\rline\r");
    }

    void lineEndings()
    {
        QFETCH(QByteArray, text);
        const QMailMessage message = QMailMessage::fromRfc2822(text);
        QCOMPARE(message.subject(), QStringLiteral("s"));
        QCOMPARE(message.headerFieldText(QStringLiteral("x-a")), QStringLiteral("1"));
        QCOMPARE(message.body().data(), QStringLiteral("body\nline\n"));
    }

    void rawEightBitHeaderText_data()
    {
        // gb is "mail" written in GB2312.
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("parts");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("expected");
        const QByteArray gb = "\xd3\xca\xbc\xfe";
        const QString mail = QStringLiteral("\u90ae\u4ef6");
        const QByteArray plainGb = "--b\nContent-Type: text/plain; charset=gb2312\n\nx\n--b--\n";
        QTest::newRow("message's charset") << QByteArray("text/plain; charset=gb2312") << QByteArray("x\n") << gb << mail;
        QTest::newRow("plain text part's before HTML's")
            << QByteArray("multipart/alternative; boundary=b")
            << QByteArray("--b\nContent-Type: text/html; charset=big5\n\n<p>x</p>\n" + plainGb) << gb << mail;
        QTest::newRow("HTML part's") << QByteArray("multipart/alternative; boundary=b")
                                     << QByteArray("--b\nContent-Type: text/html; charset=windows-1252\n\n<p>x</p>\n--b--\n")
                                     << QByteArray("5 \x80") << QStringLiteral("5 \u20ac");
        QTest::newRow("UTF-8 before a part's") << QByteArray("multipart/mixed; boundary=b") << plainGb
                                               << mail.toUtf8() << mail;
        // 8-bit text where ASCII is declared is mislabelled: Latin-1 keeps it readable.
        QTest::newRow("declared ASCII") << QByteArray("text/plain; charset=us-ascii") << QByteArray("x\n")
                                        << QByteArray("Gr\xfc\xdf" "e") << QStringLiteral("Gr\u00fc\u00dfe");
    }

    void rawEightBitHeaderText()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, parts);
        QFETCH(QByteArray, text);
        QFETCH(QString, expected);
        const QMailMessage message = QMailMessage::fromRfc2822("From: " + text + " <a@north.example>\nTo: " + text
                                                               + " <b@south.example>\nSubject: " + text
                                                               + "\nContent-Type: " + contentType + "\n\n" + parts);
        QCOMPARE(message.subject(), expected);
        QCOMPARE(message.from().name(), expected);
        QCOMPARE(message.QMailMessageMetaData::recipients().value(0).name(), expected);
    }

    void digestAndFoldedHeaders()
    {
        const QMailMessage message = QMailMessage::fromRfc2822(
            "Subject: a folded\n\tsubject line\nX-Empty:\nX-Priority: Normal\n"
            "Received: first; Mon, 2 Mar 2026 10:00:00 +0000\nReceived: second; Sun, 1 Mar 2026 10:00:00 +0000\n"
            "content-type: Multipart/Digest; boundary=\"d d\"\n\n"
            "--d d\n\nSubject: first digest\n entry\n\none\n--d d\nContent-Type: text/plain\n\ntwo\n--d d--\n");
        QCOMPARE(message.subject(), QStringLiteral("a folded\tsubject line"));
        QCOMPARE(message.headerFieldsText(QStringLiteral("received")).size(), 2);
        QCOMPARE(message.headerFieldText(QStringLiteral("X-Empty")), QString());
        QVERIFY(!(message.status() & (QMailMessage::HighPriority | QMailMessage::LowPriority)));
        QCOMPARE(message.multipartType(), QMailMessage::MultipartDigest);
        QCOMPARE(message.partCount(), 2u);
        // Inside a digest a part without Content-Type is an enclosed message.
        QCOMPARE(message.partAt(0).contentType().content(), QByteArray("message/rfc822"));
        QCOMPARE(message.partAt(0).displayName(), QStringLiteral("first digest entry"));
        QCOMPARE(message.partAt(1).contentType().content(), QByteArray("text/plain"));
        // The digest's own type decides the search order: first to last.
        auto *plain = dynamic_cast<QMailMessagePart *>(message.findPlainTextContainer());
        QVERIFY(plain);
        QCOMPARE(plain->body().data(), QStringLiteral("two"));

        // An RFC 2231 boundary in a charset nobody knows is still read as its bytes.
        const QMailMessage encoded = QMailMessage::fromRfc2822("Content-Type: multipart/mixed; boundary*=x-unknown''b%20b\n\n--b b\n\none\n--b b--\n");
        QCOMPARE(encoded.partCount(), 1u);
    }

    void identityRoundTrip_data()
    {
        QTest::addColumn<QString>("file");
        for (const char *file : {"plain.eml", "html-only.eml", "alternative.eml", "related.eml", "mixed.eml", "nested.eml",
                                 "encodings.eml"})
            QTest::newRow(file) << QString::fromLatin1(file);
    }

    void identityRoundTrip()
    {
        // Writing a loaded message out and loading it again keeps structure, names and content.
        // (The storage format leaves out the bodies of parts, which a store keeps apart.)
        QFETCH(QString, file);
        const QMailMessage original = load(file);
        const QMailMessage again = QMailMessage::fromRfc2822(original.toRfc2822(QMailMessage::IdentityFormat));
        QCOMPARE(again.subject(), original.subject());
        QCOMPARE(again.from(), original.from());
        QCOMPARE(again.recipients(), original.recipients());
        QCOMPARE(again.date(), original.date());
        QCOMPARE(again.status(), original.status());
        QCOMPARE(again.findAttachmentLocations(), original.findAttachmentLocations());
        QCOMPARE(again.body().data(QMailMessageBody::Decoded), original.body().data(QMailMessageBody::Decoded));

        const auto parts = [](const QMailMessage &message) {
            QStringList described;
            message.foreachPart([&described](const QMailMessagePart &part) {
                described << part.location().toString(true) + QLatin1Char(' ') + part.displayName() + QLatin1Char(' ')
                                 + QString::fromLatin1(part.body().data(QMailMessageBody::Decoded).toHex());
                return true;
            });
            return described;
        };
        QCOMPARE(parts(again), parts(original));
    }

    void storedMessageLoadsById()
    {
        QMailMessage message = load(QStringLiteral("mixed.eml"));
        message.setParentFolderId(QMailFolderId(QMailFolderId::LocalStorageFolderId));
        QVERIFY(QMailStore::instance()->addMessage(&message));
        // Adding stamps the part locations with the new id, in the message and in the store.
        const QString second = QString::number(message.id().toULongLong()) + QStringLiteral("-2");
        QCOMPARE(message.partAt(1).location().toString(true), second);
        const QMailMessage loaded(message.id());
        QCOMPARE(loaded.partCount(), 5u);
        QCOMPARE(loaded.findAttachmentLocations().first().toString(true), second);
        QCOMPARE(loaded.partAt(1).body().data(QMailMessageBody::Decoded), QByteArray("%PDF-1.4\n%"));
        const QMailMessageMetaData metaData(message.id());
        QCOMPARE(metaData.subject(), QStringLiteral("Documents"));
        QVERIFY(metaData.status() & QMailMessage::HasAttachments);
    }

    // Content on disk: writeBodyTo with untrusted names, never over an existing file or link.
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

QTEST_GUILESS_MAIN(TestQmfMessageParse)
#include "tst_qmfmessageparse.moc"
