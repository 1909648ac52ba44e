// The identifiers are read from their header, and their values from the library's exported
// symbols, so that no list of them is kept here: every declared identifier must follow the
// naming rule, be distinct and have an English text.

#include <zaveklogicalids.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>
#include <QtTest>

#include <dlfcn.h>

namespace {

struct Identifier
{
    QString name;       // e.g. "qtn_mail::inbox_name"
    const char *text;   // the variable's value, null when the library does not export it
};

QList<Identifier> declaredIdentifiers()
{
    QFile header(QStringLiteral(ZAVEK_TEST_DATA_DIR "/../../src/zaveklogicalids.h"));
    if (!header.open(QIODevice::ReadOnly))
        qFatal("cannot read zaveklogicalids.h");
    QList<Identifier> all;
    QString nameSpace;
    const QRegularExpression open(QStringLiteral("^namespace (\\w+) \\{")), member(QStringLiteral("^extern const char \\*(\\w+);"));
    for (const QString &line : QString::fromUtf8(header.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch opened = open.match(line), declared = member.match(line);
        if (opened.hasMatch())
            nameSpace = opened.captured(1);
        if (!declared.hasMatch())
            continue;
        const QString name = declared.captured(1);
        // The Itanium name of a variable in a namespace: _ZN <length><namespace> <length><name> E.
        const QByteArray symbol = QStringLiteral("_ZN%1%2%3%4E").arg(nameSpace.size()).arg(nameSpace).arg(name.size()).arg(name).toLatin1();
        const auto variable = static_cast<const char *const *>(dlsym(RTLD_DEFAULT, symbol.constData()));
        all.append({nameSpace + QStringLiteral("::") + name, variable ? *variable : nullptr});
    }
    return all;
}

} // namespace

class TestLogicalIds : public QObject
{
    Q_OBJECT

private slots:
    void everyIdentifierIsNamedDistinctAndTranslated()
    {
        // Texts fixed before the naming rule; attachment_desc shares the string of another member.
        const QHash<QString, QString> exceptions = {
            {QStringLiteral("qtn_comm::close"), QStringLiteral("qtn_comm_command_close")},
            {QStringLiteral("qtn_mail::no_subject_text_query"), QStringLiteral("qtn_mail_subject_missing_error")},
            {QStringLiteral("qtn_mail::time_hour_ago"), QStringLiteral("qtn_mail_time_hours_ago")},
            {QStringLiteral("qtn_mail::move_mails_text"), QStringLiteral("qtn_mail_move")},
            {QStringLiteral("qtn_mail::attachment_desc"), QStringLiteral("qtn_mail_online_attachment_desc")},
        };
        QTranslator english;
        QVERIFY(english.load(QStringLiteral("zavek_en"), QStringLiteral(ZAVEK_TRANSLATIONS_DIR)));
        QVERIFY(QCoreApplication::installTranslator(&english));

        // Naming one identifier keeps the library loaded when nothing else here uses it.
        QVERIFY(qtn_comm::bytes);
        const QList<Identifier> all = declaredIdentifiers();
        QCOMPARE(all.size(), 211);
        QSet<QByteArray> seen;
        for (const Identifier &identifier : all) {
            QVERIFY2(identifier.text, qPrintable(identifier.name + QStringLiteral(" is not exported")));
            const QString rule = identifier.name.toLower().replace(QStringLiteral("::"), QStringLiteral("_"));
            QCOMPARE(QString::fromLatin1(identifier.text), exceptions.value(identifier.name, rule));
            QVERIFY2(!seen.contains(identifier.text) || identifier.name == QLatin1String("qtn_mail::attachment_desc"), identifier.text);
            seen.insert(identifier.text);
            const QString english = qtTrId(identifier.text, -1);
            QVERIFY2(!english.isEmpty() && english != QLatin1String(identifier.text), identifier.text);
        }
        QCoreApplication::removeTranslator(&english);
    }
};

QTEST_GUILESS_MAIN(TestLogicalIds)
#include "tst_logicalids.moc"
