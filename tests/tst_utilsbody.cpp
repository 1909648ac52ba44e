#include "bodytesthelpers.h"
#include "zaveksettings.h"
#include "zavekutils.h"

#include <QtTest>

using namespace BodyTest;
using namespace ZavekUtils::Message;
using Container = QMailMessagePartContainer;

namespace {

class RecordingAction : public IBodyAction
{
public:
    using IBodyAction::IBodyAction;
    QString call;
    QString locations() const { return _plainLocation.toString(true) + QLatin1Char(' ') + _htmlLocation.toString(true); }

protected:
    void onNoBody() override { call += QStringLiteral("none"); }
    void onHtmlFallback() override { call += QStringLiteral("fallback"); }
    void onHtmlBody() override { call += QStringLiteral("html"); }
    void onPlainBody() override { call += QStringLiteral("plain"); }
};

} // namespace

class TestUtilsBody : public QObject
{
    Q_OBJECT

private slots:
    void init() { ZavekSettings::resetInstanceForTesting(); }
    void bodyChoice_data();
    void bodyChoice();
    void downloadedForViewing_data();
    void downloadedForViewing();
    void downloadState_data();
    void downloadState();
    void bodyAndPartLookup();
    void structureAndSize();
};

void TestUtilsBody::bodyChoice_data()
{
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("html");
    QTest::addColumn<bool>("viewHtml");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("locations");

    QTest::newRow("no body") << false << false << true << "none" << "0- 0-";
    QTest::newRow("both, html on") << true << true << true << "html" << "5-1 5-2";
    QTest::newRow("both, html off") << true << true << false << "plain" << "5-1 5-2";
    QTest::newRow("plain only, html on") << true << false << true << "plain" << "5-1 0-";
    QTest::newRow("html only, html on") << false << true << true << "html" << "0- 5-1";
    QTest::newRow("html only, html off") << false << true << false << "fallback" << "0- 5-1";
}

void TestUtilsBody::bodyChoice()
{
    QFETCH(bool, plain);
    QFETCH(bool, html);
    QFETCH(bool, viewHtml);

    QList<QMailMessagePart> parts;
    if (plain)
        parts << part("text/plain", "plain");
    if (html)
        parts << part("text/html", "<p>html</p>");
    const QMailMessage mail = message(parts << part("image/png", "x"));

    // The option is read once, at construction.
    ZavekSettings::instance()->setViewHtml(viewHtml, false);
    RecordingAction action(mail);
    ZavekSettings::instance()->setViewHtml(!viewHtml, false);
    action.perform();
    QTEST(action.call, "call");
    QTEST(action.locations(), "locations");
}

void TestUtilsBody::downloadedForViewing_data()
{
    QTest::addColumn<QMailMessage>("message");
    QTest::addColumn<bool>("viewHtml");
    QTest::addColumn<bool>("viewable");

    // HTML and its logo are here, the banner it shows is not; the plain text is complete.
    const QMailMessage missingImage = loadFixture(QStringLiteral("html-missing-image.eml"));
    QTest::newRow("missing inline image, html on") << missingImage << true << false;
    QTest::newRow("missing inline image, html off") << missingImage << false << true;
    QMailMessage unstored = missingImage;
    unstored.setId(QMailMessageId());
    QTest::newRow("unstored") << unstored << true << true;
    QMailMessage localOnly = missingImage;
    localOnly.setStatus(QMailMessage::LocalOnly, true);
    QTest::newRow("local only") << localOnly << true << true;
    QMailMessage imageArrived = missingImage;
    imageArrived.partAt(Container::Location(QStringLiteral("5-3"))).setBody(QMailMessageBody::fromData(
        QByteArray("png"), QMailMessageContentType("image/png"), QMailMessageBody::Base64, QMailMessageBody::RequiresEncoding));
    QTest::newRow("image arrived, unreferenced one still missing") << imageArrived << true << true;

    // The plain text is still on the server, the HTML is here.
    const QMailMessage plainMissing = loadFixture(QStringLiteral("plain-missing.eml"));
    QTest::newRow("plain missing, html on") << plainMissing << true << true;
    QTest::newRow("plain missing, html off") << plainMissing << false << false;

    QTest::newRow("no body") << message({part("image/png", "x")}) << false << false;
    QTest::newRow("only html, present, html off") << singlePart("text/html", QStringLiteral("<p/>"), true) << false << true;
    QTest::newRow("only html, absent, html off") << singlePart("text/html", QStringLiteral("<p/>"), false) << false << false;
    const QMailMessage relatedHtml = message({part("text/html", "<img src=\"cid:logo@x\">"),
                                              part("image/png", QByteArray(), 10, QStringLiteral("logo@x"))},
                                             Container::MultipartRelated);
    QTest::newRow("only html, image missing, html off") << relatedHtml << false << false;
}

void TestUtilsBody::downloadedForViewing()
{
    QFETCH(QMailMessage, message);
    QFETCH(bool, viewHtml);

    ZavekSettings::instance()->setViewHtml(viewHtml, false);
    QTEST(isDownloadedForViewing(message), "viewable");
}

void TestUtilsBody::downloadState_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("announcedSize");
    QTest::addColumn<bool>("downloaded");

    QTest::newRow("content and size") << QByteArray("data") << 4096 << true;
    QTest::newRow("no content, no size") << QByteArray() << -1 << true;
    QTest::newRow("no content, size 0") << QByteArray() << 0 << true;
    QTest::newRow("no content, size 1") << QByteArray() << 1 << false;
}

void TestUtilsBody::downloadState()
{
    QFETCH(QByteArray, content);
    QFETCH(int, announcedSize);
    QFETCH(bool, downloaded);

    const QMailMessagePart leaf = part("image/png", content, announcedSize);
    QCOMPARE(ZavekUtils::isPartDownloaded(leaf), downloaded);

    // A multipart answers for all its parts, however deep; an empty one is downloaded.
    QMailMessagePart emptyMultipart;
    emptyMultipart.setMultipartType(Container::MultipartMixed);
    QMailMessagePart nested;
    nested.setMultipartType(Container::MultipartRelated);
    nested.appendPart(part("text/html", "<p/>"));
    nested.appendPart(emptyMultipart);
    nested.appendPart(leaf);
    const QMailMessage mail = message({part("text/plain", "a"), nested});
    QCOMPARE(ZavekUtils::isDownloaded(&mail), downloaded);
    const QMailMessage empty = message({});
    QVERIFY(ZavekUtils::isDownloaded(&empty));

    QTest::ignoreMessage(QtWarningMsg, "bool ZavekUtils::isDownloaded(const QMailMessagePartContainer*) called with a null container");
    QVERIFY(!ZavekUtils::isDownloaded(nullptr));
}

void TestUtilsBody::bodyAndPartLookup()
{
    // No body at all: the whole message is what is missing.
    const QMailMessage noBody = message({part("image/png", "x")});
    QCOMPARE(getMissingBodyPart(noBody, true), static_cast<const Container *>(&noBody));
    // Only a downloaded HTML body: it stands in for plain text, and nothing is missing.
    const QMailMessage htmlOnly = singlePart("text/html", QStringLiteral("<p/>"), true);
    QCOMPARE(getBodyPart(htmlOnly, true), static_cast<const Container *>(&htmlOnly));
    QVERIFY(!getMissingBodyPart(htmlOnly, true));
    const QMailMessage plainMissing = loadFixture(QStringLiteral("plain-missing.eml"));
    QCOMPARE(getMissingBodyPart(plainMissing, true), getBodyPart(plainMissing, true));
    QVERIFY(!getMissingBodyPart(plainMissing, false));

    // The first HTML part is an attachment; the wanted one is nested. Case is ignored.
    const QMailMessage mixed = loadFixture(QStringLiteral("mixed-attachments.eml"));
    for (const QByteArray &type : {QByteArray("text/html"), QByteArray("TEXT/html")}) {
        const QMailMessagePart *html = getPart(mixed, QMailMessageContentType(type));
        QVERIFY(html);
        QCOMPARE(html->location().toString(true), QStringLiteral("5-3.2"));
    }
    QVERIFY(!getPart(mixed, QMailMessageContentType("image/png")));
}

void TestUtilsBody::structureAndSize()
{
    QMailMessage mail = message({part("image/png", QByteArray(), 500), part("text/plain", QByteArray(300, 'a'))});
    QCOMPARE(calculateTotalSize(mail), 800u);

    // The same type leaves the message alone; another moves the parts one level down.
    convertToMultipart(mail, Container::MultipartMixed);
    QCOMPARE(mail.partCount(), 2u);
    convertToMultipart(mail, Container::MultipartRelated);
    QCOMPARE(mail.multipartType(), Container::MultipartRelated);
    QCOMPARE(mail.partCount(), 1u);
    QCOMPARE(mail.partAt(0).multipartType(), Container::MultipartMixed);
    QCOMPARE(mail.partAt(0).partAt(1).location().toString(true), QStringLiteral("5-1.2"));
    // A part with both a body and an announced size counts by the size only.
    QMailMessageContentDisposition announced(QMailMessageContentDisposition::Inline);
    announced.setSize(42);
    mail.partAt(0).partAt(1).setContentDisposition(announced);
    QCOMPARE(calculateTotalSize(mail), 542u);

    // A target that has parts already holds only the source's afterwards.
    QMailMessage target = message({part("text/plain", "old")});
    copyStructure(target, mail.partAt(0));
    QCOMPARE(target.partCount(), 2u);
    QCOMPARE(target.partAt(0).contentType().content(), QByteArray("image/png"));

    QMailMessage single = singlePart("text/plain", QStringLiteral("only text"), true);
    QCOMPARE(calculateTotalSize(single), 9u);
    convertToMultipart(single, Container::MultipartMixed);
    QCOMPARE(single.partCount(), 1u);
    QCOMPARE(single.partAt(0).body().data(), QStringLiteral("only text"));
    QCOMPARE(calculateTotalSize(single), 9u);
}

QTEST_GUILESS_MAIN(TestUtilsBody)
#include "tst_utilsbody.moc"
