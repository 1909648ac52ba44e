#include "testenvironment.h"
#include "zaveksettings.h"
#include "zavekutils.h"

#include <QFile>
#include <QtTest>

using namespace ZavekUtils::Message;

namespace {

const quint64 fixtureId = 5;

QMailMessage loadFixture(const QString &name, bool stored = true)
{
    QFile file(ZavekTest::dataPath(QStringLiteral("body/") + name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QMailMessage message = QMailMessage::fromRfc2822(file.readAll());
    if (stored)
        message.setId(QMailMessageId(fixtureId));
    return message;
}

QMailMessagePart textPart(const QByteArray &type, const QString &text)
{
    return QMailMessagePart::fromData(text, QMailMessageContentDisposition(QMailMessageContentDisposition::Inline),
                                      QMailMessageContentType(type), QMailMessageBody::EightBit);
}

// A part whose content is still on the server; announcedSize < 0 leaves out the size.
QMailMessagePart pendingPart(const QByteArray &type, int announcedSize)
{
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
    if (announcedSize >= 0)
        disposition.setSize(announcedSize);
    return QMailMessagePart::fromData(QByteArray(), disposition, QMailMessageContentType(type), QMailMessageBody::Base64);
}

QMailMessage multipartMessage(QMailMessagePartContainer::MultipartType type, const QList<QMailMessagePart> &parts)
{
    QMailMessage message;
    message.setMultipartType(type);
    for (const QMailMessagePart &part : parts)
        message.appendPart(part);
    message.setId(QMailMessageId(fixtureId));
    return message;
}

QMailMessage singlePartMessage(const QByteArray &type, const QString &text, bool contentAvailable)
{
    QMailMessage message;
    message.setBody(QMailMessageBody::fromData(text, QMailMessageContentType(type), QMailMessageBody::EightBit));
    message.setId(QMailMessageId(fixtureId));
    message.setStatus(QMailMessage::ContentAvailable, contentAvailable);
    return message;
}

void setViewHtml(bool on)
{
    ZavekSettings::instance()->setViewHtml(on, false);
}

// Records which handler perform() chose, and what the constructor found.
class RecordingAction : public IBodyAction
{
public:
    explicit RecordingAction(const QMailMessage &message)
        : IBodyAction(message)
    {
    }

    QStringList calls;
    QString plainLocation() const { return _plainLocation.toString(true); }
    QString htmlLocation() const { return _htmlLocation.toString(true); }
    const QMailMessagePartContainer *plainBody() const { return _plainBody; }

protected:
    void onNoBody() override { calls << QStringLiteral("none"); }
    void onHtmlFallback() override { calls << QStringLiteral("fallback"); }
    void onHtmlBody() override { calls << QStringLiteral("html"); }
    void onPlainBody() override { calls << QStringLiteral("plain"); }
};

} // namespace

class TestUtilsBody : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void bodyActionChoice_data();
    void bodyActionChoice();
    void bodyActionKeepsItsChoice();
    void downloadedForViewing_data();
    void downloadedForViewing();
    void unstoredAndLocalOnlyAreViewable();
    void viewableOnceResourceArrives();
    void partDownloadState_data();
    void partDownloadState();
    void containerDownloadState();
    void bodyPartChoice();
    void getPartSkipsAttachments();
    void convertToMultipart();
    void copyStructureReplacesParts();
    void totalSize();
};

void TestUtilsBody::init()
{
    ZavekSettings::resetInstanceForTesting();
}

void TestUtilsBody::bodyActionChoice_data()
{
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("html");
    QTest::addColumn<bool>("viewHtml");
    QTest::addColumn<QString>("handler");

    QTest::newRow("no body, html on") << false << false << true << "none";
    QTest::newRow("no body, html off") << false << false << false << "none";
    QTest::newRow("both, html on") << true << true << true << "html";
    QTest::newRow("both, html off") << true << true << false << "plain";
    QTest::newRow("plain only, html on") << true << false << true << "plain";
    QTest::newRow("plain only, html off") << true << false << false << "plain";
    QTest::newRow("html only, html on") << false << true << true << "html";
    QTest::newRow("html only, html off") << false << true << false << "fallback";
}

void TestUtilsBody::bodyActionChoice()
{
    QFETCH(bool, plain);
    QFETCH(bool, html);
    QFETCH(bool, viewHtml);
    QFETCH(QString, handler);

    QList<QMailMessagePart> parts;
    if (plain)
        parts << textPart("text/plain", QStringLiteral("plain"));
    if (html)
        parts << textPart("text/html", QStringLiteral("<p>html</p>"));
    parts << textPart("image/png", QStringLiteral("not a body"));
    const QMailMessage message = multipartMessage(QMailMessagePartContainer::MultipartAlternative, parts);

    setViewHtml(viewHtml);
    RecordingAction action(message);
    action.perform();
    QCOMPARE(action.calls, QStringList{handler});
    QCOMPARE(action.plainLocation(), plain ? QStringLiteral("5-1") : QStringLiteral("0-"));
    QCOMPARE(action.htmlLocation(), html ? (plain ? QStringLiteral("5-2") : QStringLiteral("5-1")) : QStringLiteral("0-"));
}

void TestUtilsBody::bodyActionKeepsItsChoice()
{
    // The option is read once; a single-part body is the message itself, without location.
    const QMailMessage message = singlePartMessage("text/plain", QStringLiteral("hello"), true);
    setViewHtml(false);
    RecordingAction action(message);
    setViewHtml(true);
    action.perform();
    QCOMPARE(action.calls, QStringList{QStringLiteral("plain")});
    QCOMPARE(action.plainBody(), static_cast<const QMailMessagePartContainer *>(&message));
    QCOMPARE(action.plainLocation(), QStringLiteral("0-"));
}

void TestUtilsBody::downloadedForViewing_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<bool>("viewHtml");
    QTest::addColumn<bool>("viewable");

    // HTML and its logo are here, the banner it shows is not; the plain text is complete.
    QTest::newRow("missing inline image, html on") << "html-missing-image.eml" << true << false;
    QTest::newRow("missing inline image, html off") << "html-missing-image.eml" << false << true;
    // The plain text is still on the server, the HTML is here.
    QTest::newRow("plain missing, html on") << "plain-missing.eml" << true << true;
    QTest::newRow("plain missing, html off") << "plain-missing.eml" << false << false;
}

void TestUtilsBody::downloadedForViewing()
{
    QFETCH(QString, fixture);
    QFETCH(bool, viewHtml);
    QFETCH(bool, viewable);

    const QMailMessage message = loadFixture(fixture);
    setViewHtml(viewHtml);
    QCOMPARE(isDownloadedForViewing(message), viewable);
}

void TestUtilsBody::unstoredAndLocalOnlyAreViewable()
{
    setViewHtml(true);
    QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"), false);
    QVERIFY(isDownloadedForViewing(message));

    message.setId(QMailMessageId(fixtureId));
    QVERIFY(!isDownloadedForViewing(message));
    message.setStatus(QMailMessage::LocalOnly, true);
    QVERIFY(isDownloadedForViewing(message));

    // Without any body there is nothing to show, whatever the option.
    const QMailMessage noBody =
        multipartMessage(QMailMessagePartContainer::MultipartMixed, {textPart("image/png", QStringLiteral("x"))});
    QVERIFY(!isDownloadedForViewing(noBody));
    setViewHtml(false);
    QVERIFY(!isDownloadedForViewing(noBody));

    // Only an HTML body while the option is off: the HTML rules apply.
    const QMailMessage htmlOnly = singlePartMessage("text/html", QStringLiteral("<p>hi</p>"), true);
    QVERIFY(isDownloadedForViewing(htmlOnly));
    const QMailMessage htmlOnlyAbsent = singlePartMessage("text/html", QStringLiteral("<p>hi</p>"), false);
    QVERIFY(!isDownloadedForViewing(htmlOnlyAbsent));
}

void TestUtilsBody::viewableOnceResourceArrives()
{
    setViewHtml(true);
    QMailMessage message = loadFixture(QStringLiteral("html-missing-image.eml"));
    QVERIFY(!isDownloadedForViewing(message));
    message.partAt(QMailMessagePartContainer::Location(QStringLiteral("5-3")))
        .setBody(QMailMessageBody::fromData(QByteArray("banner"), QMailMessageContentType("image/png"),
                                            QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
    // The spare image is still missing, but the HTML does not show it.
    QVERIFY(isDownloadedForViewing(message));
}

void TestUtilsBody::partDownloadState_data()
{
    QTest::addColumn<bool>("hasContent");
    QTest::addColumn<int>("announcedSize");
    QTest::addColumn<bool>("downloaded");

    QTest::newRow("content, no size") << true << -1 << true;
    QTest::newRow("content, size") << true << 4096 << true;
    QTest::newRow("no content, no size") << false << -1 << true;
    QTest::newRow("no content, size 0") << false << 0 << true;
    QTest::newRow("no content, size 1") << false << 1 << false;
    QTest::newRow("no content, size 500") << false << 500 << false;
}

void TestUtilsBody::partDownloadState()
{
    QFETCH(bool, hasContent);
    QFETCH(int, announcedSize);
    QFETCH(bool, downloaded);

    QMailMessagePart part = pendingPart("image/png", announcedSize);
    if (hasContent)
        part.setBody(QMailMessageBody::fromData(QByteArray("data"), QMailMessageContentType("image/png"),
                                                QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
    QCOMPARE(ZavekUtils::isPartDownloaded(part), downloaded);
    QCOMPARE(ZavekUtils::isDownloaded(&part), downloaded);

    // A multipart is downloaded when all its parts are, however deep.
    const QMailMessage message = multipartMessage(
        QMailMessagePartContainer::MultipartMixed,
        {textPart("text/plain", QStringLiteral("body")),
         [&] {
             QMailMessagePart nested;
             nested.setMultipartType(QMailMessagePartContainer::MultipartRelated);
             nested.appendPart(textPart("text/html", QStringLiteral("<p/>")));
             nested.appendPart(part);
             return nested;
         }()});
    QCOMPARE(ZavekUtils::isDownloaded(&message), downloaded);
}

void TestUtilsBody::containerDownloadState()
{
    const QMailMessage empty = multipartMessage(QMailMessagePartContainer::MultipartMixed, {});
    QVERIFY(ZavekUtils::isDownloaded(&empty));

    // A single-part message answers by its content-available state.
    const QMailMessage present = singlePartMessage("text/plain", QStringLiteral("x"), true);
    const QMailMessage absent = singlePartMessage("text/plain", QStringLiteral("x"), false);
    QVERIFY(ZavekUtils::isDownloaded(&present));
    QVERIFY(!ZavekUtils::isDownloaded(&absent));

    QTest::ignoreMessage(QtWarningMsg,
                         "bool ZavekUtils::isDownloaded(const QMailMessagePartContainer*) called with a null container");
    QVERIFY(!ZavekUtils::isDownloaded(nullptr));
}

void TestUtilsBody::bodyPartChoice()
{
    // No body at all: the whole message counts as missing.
    const QMailMessage noBody =
        multipartMessage(QMailMessagePartContainer::MultipartMixed, {textPart("image/png", QStringLiteral("x"))});
    QVERIFY(!getBodyPart(noBody, true));
    QCOMPARE(getMissingBodyPart(noBody, true), static_cast<const QMailMessagePartContainer *>(&noBody));

    // Only a downloaded HTML body: it serves for plain text too, and nothing is missing.
    const QMailMessage htmlOnly = singlePartMessage("text/html", QStringLiteral("<p>hi</p>"), true);
    QCOMPARE(getBodyPart(htmlOnly, true), static_cast<const QMailMessagePartContainer *>(&htmlOnly));
    QVERIFY(!getMissingBodyPart(htmlOnly, true));

    const QMailMessage message = loadFixture(QStringLiteral("plain-missing.eml"));
    const auto *plain = dynamic_cast<const QMailMessagePart *>(getBodyPart(message, true));
    const auto *html = dynamic_cast<const QMailMessagePart *>(getBodyPart(message, false));
    QVERIFY(plain && html);
    QCOMPARE(plain->location().toString(true), QStringLiteral("5-1"));
    QCOMPARE(html->location().toString(true), QStringLiteral("5-2"));
    QCOMPARE(getMissingBodyPart(message, true), static_cast<const QMailMessagePartContainer *>(plain));
    QVERIFY(!getMissingBodyPart(message, false));
}

void TestUtilsBody::getPartSkipsAttachments()
{
    // The first HTML part is an attachment; the wanted one sits in a nested alternative.
    // Both are written in mixed letter case.
    const QMailMessage message = loadFixture(QStringLiteral("mixed-attachments.eml"));
    for (const QByteArray &type : {QByteArray("text/html"), QByteArray("TEXT/html")}) {
        const QMailMessagePart *part = getPart(message, QMailMessageContentType(type));
        QVERIFY(part);
        QCOMPARE(part->location().toString(true), QStringLiteral("5-3.2"));
    }
    const QMailMessagePart *plain = getPart(message, QMailMessageContentType("text/plain"));
    QVERIFY(plain);
    QCOMPARE(plain->location().toString(true), QStringLiteral("5-1"));
    QVERIFY(!getPart(message, QMailMessageContentType("image/png")));
    QVERIFY(!getPart(singlePartMessage("text/html", QStringLiteral("<p/>"), true), QMailMessageContentType("text/html")));
}

void TestUtilsBody::convertToMultipart()
{
    // The same type: nothing changes.
    QMailMessage mixed = multipartMessage(QMailMessagePartContainer::MultipartMixed,
                                          {textPart("text/plain", QStringLiteral("a")), textPart("image/png", "b")});
    ZavekUtils::Message::convertToMultipart(mixed, QMailMessagePartContainer::MultipartMixed);
    QCOMPARE(mixed.partCount(), 2u);
    QCOMPARE(mixed.partAt(0).body().data(), QStringLiteral("a"));

    // Another type: the old parts move one level down, in order.
    ZavekUtils::Message::convertToMultipart(mixed, QMailMessagePartContainer::MultipartRelated);
    QCOMPARE(mixed.multipartType(), QMailMessagePartContainer::MultipartRelated);
    QCOMPARE(mixed.partCount(), 1u);
    const QMailMessagePart &wrapped = mixed.partAt(0);
    QCOMPARE(wrapped.multipartType(), QMailMessagePartContainer::MultipartMixed);
    QCOMPARE(wrapped.partCount(), 2u);
    QCOMPARE(wrapped.partAt(1).contentType().content(), QByteArray("image/png"));
    QCOMPARE(wrapped.partAt(1).location().toString(true), QStringLiteral("5-1.2"));

    // A single-part message: its body becomes the one part.
    QMailMessage single = singlePartMessage("text/plain", QStringLiteral("only text"), true);
    ZavekUtils::Message::convertToMultipart(single, QMailMessagePartContainer::MultipartMixed);
    QCOMPARE(single.partCount(), 1u);
    QVERIFY(!single.hasBody());
    QCOMPARE(single.partAt(0).body().data(), QStringLiteral("only text"));
    QCOMPARE(single.partAt(0).contentType().content().toLower(), QByteArray("text/plain"));
}

void TestUtilsBody::copyStructureReplacesParts()
{
    const QMailMessage source = multipartMessage(QMailMessagePartContainer::MultipartAlternative,
                                                 {textPart("text/plain", QStringLiteral("p")),
                                                  textPart("text/html", QStringLiteral("<p/>"))});
    QMailMessagePart target;
    target.setMultipartType(QMailMessagePartContainer::MultipartMixed);
    target.appendPart(textPart("text/plain", QStringLiteral("old")));
    copyStructure(target, source);
    QCOMPARE(target.multipartType(), QMailMessagePartContainer::MultipartAlternative);
    QCOMPARE(target.partCount(), 2u);
    QCOMPARE(target.partAt(0).body().data(), QStringLiteral("p"));

    QMailMessagePart single;
    copyStructure(single, singlePartMessage("text/html", QStringLiteral("<b>x</b>"), true));
    QCOMPARE(single.multipartType(), QMailMessagePartContainer::MultipartNone);
    QCOMPARE(single.body().data(), QStringLiteral("<b>x</b>"));
}

void TestUtilsBody::totalSize()
{
    // A pending part counts by its announced size, a present one by its body, and a
    // part with both by the announced size only.
    QMailMessagePart withBoth = textPart("image/png", QString(1000, QLatin1Char('z')));
    QMailMessageContentDisposition disposition(QMailMessageContentDisposition::Inline);
    disposition.setSize(42);
    withBoth.setContentDisposition(disposition);

    const QMailMessage message = multipartMessage(
        QMailMessagePartContainer::MultipartMixed,
        {pendingPart("image/png", 500), textPart("text/plain", QString(300, QLatin1Char('a')))});
    QCOMPARE(calculateTotalSize(message), 800u);

    QMailMessagePart nested;
    nested.setMultipartType(QMailMessagePartContainer::MultipartRelated);
    nested.appendPart(withBoth);
    nested.appendPart(pendingPart("image/png", -1));
    const QMailMessage deeper = multipartMessage(QMailMessagePartContainer::MultipartMixed, {nested});
    QCOMPARE(calculateTotalSize(deeper), 42u);

    const QMailMessage single = singlePartMessage("text/plain", QString(123, QLatin1Char('s')), true);
    QCOMPARE(calculateTotalSize(single), 123u);
    QCOMPARE(calculateTotalSize(multipartMessage(QMailMessagePartContainer::MultipartMixed, {})), 0u);
}

QTEST_GUILESS_MAIN(TestUtilsBody)
#include "tst_utilsbody.moc"
