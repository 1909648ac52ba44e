// The differential check's program, built once against the bundled layer and once against
// the installed QMF: it reads every message of a corpus and prints what a reader of the
// message sees, one "<message> <field>=<value>" line per fact. Given the other build's
// output, it compares instead and reports every difference that the list of accepted
// differences does not explain.
//   messagedump CORPUS-LIST                                  print
//   messagedump CORPUS-LIST --against OTHER --accepted LIST  compare
// CORPUS-LIST holds "<name><TAB><path>" lines.

#include <qmailmessage.h>
#include <qmailstore.h>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QMap>
#include <QSet>
#include <QTextStream>

#include <algorithm>

namespace {

typedef QMap<QString, QString> Facts;   // "<message> <field>" -> value

void useUtf8(QTextStream &stream)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    stream.setCodec("UTF-8");
#else
    Q_UNUSED(stream);   // Qt 6 streams read and write UTF-8 already
#endif
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return text;
}

QString addresses(const QList<QMailAddress> &list)
{
    QStringList items;
    for (const QMailAddress &address : list)
        items.append(QStringLiteral("%1 <%2>").arg(address.name(), address.address()));
    return items.join(QLatin1String(" | "));
}

QString dispositionName(QMailMessageContentDisposition::DispositionType type)
{
    switch (type) {
    case QMailMessageContentDisposition::Inline:
        return QStringLiteral("inline");
    case QMailMessageContentDisposition::Attachment:
        return QStringLiteral("attachment");
    default:
        return QStringLiteral("none");
    }
}

void addContainer(Facts &facts, const QString &prefix, const QMailMessagePartContainer &container)
{
    facts.insert(prefix + QLatin1String(".type"), QString::fromLatin1(container.contentType().content().toLower()));
    if (container.multipartType() == QMailMessagePartContainer::MultipartNone) {
        const QByteArray decoded = container.body().data(QMailMessageBody::Decoded);
        facts.insert(prefix + QLatin1String(".body"),
                     QStringLiteral("%1 bytes, md5 %2").arg(decoded.size())
                         .arg(QString::fromLatin1(QCryptographicHash::hash(decoded, QCryptographicHash::Md5).toHex())));
    }
    for (uint i = 0; i < container.partCount(); ++i) {
        const QMailMessagePart &part = container.partAt(i);
        const QString partPrefix = prefix.section(QLatin1Char(' '), 0, 0) + QLatin1String(" part")
                                   + part.location().toString(false);
        const QMailMessageContentDisposition disposition = part.contentDisposition();
        facts.insert(partPrefix + QLatin1String(".disposition"), dispositionName(disposition.type()));
        facts.insert(partPrefix + QLatin1String(".filename"), oneLine(QString::fromLatin1(disposition.filename())));
        facts.insert(partPrefix + QLatin1String(".name"), oneLine(part.displayName()));
        facts.insert(partPrefix + QLatin1String(".content-id"), oneLine(part.contentID()));
        addContainer(facts, partPrefix, part);
    }
}

Facts describe(const QString &name, const QString &path)
{
    const QDateTime readingStarted = QDateTime::currentDateTimeUtc().addSecs(-1);
    const QMailMessage message = QMailMessage::fromRfc2822File(path);
    Facts facts;
    const QString prefix = name + QLatin1Char(' ');
    facts.insert(prefix + QLatin1String("subject"), oneLine(message.subject()));
    facts.insert(prefix + QLatin1String("from"), addresses(QList<QMailAddress>() << message.from()));
    facts.insert(prefix + QLatin1String("to"), addresses(message.to()));
    facts.insert(prefix + QLatin1String("cc"), addresses(message.cc()));
    facts.insert(prefix + QLatin1String("bcc"), addresses(message.bcc()));
    // A message without a date is given the time it was read; that time is not the message's.
    const QDateTime date = message.date().toUTC();
    facts.insert(prefix + QLatin1String("date"), date >= readingStarted ? QStringLiteral("(time of reading)")
                                                                         : date.toString(Qt::ISODate));
    const quint64 status = message.status();
    facts.insert(prefix + QLatin1String("priority"),
                 (status & QMailMessage::HighPriority) ? QStringLiteral("high")
                 : (status & QMailMessage::LowPriority) ? QStringLiteral("low") : QStringLiteral("normal"));
    addContainer(facts, name + QLatin1String(" message"), message);
    return facts;
}

Facts readFacts(const QString &path, bool *ok)
{
    Facts facts;
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream in(&file);
    useUtf8(in);
    while (*ok && !in.atEnd()) {
        const QString line = in.readLine();
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            facts.insert(line.left(equals), line.mid(equals + 1));
    }
    return facts;
}

// Accepted differences: "<message> <field prefix>  justification" per line; the prefix "*"
// stands for every field of the message.
QStringList readAccepted(const QString &path, bool *ok)
{
    QStringList accepted;
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly | QIODevice::Text);
    while (*ok && !file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QString message = line.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        const QString field = line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
        accepted.append(message + QLatin1Char(' ') + (field == QLatin1String("*") ? QString() : field));
    }
    return accepted;
}

int compare(const Facts &ours, const Facts &theirs, const QStringList &accepted)
{
    QTextStream out(stdout);
    useUtf8(out);
    QStringList keys = ours.keys() + theirs.keys();
    keys.removeDuplicates();
    std::sort(keys.begin(), keys.end());
    QSet<QString> used;
    int unexplained = 0;
    for (const QString &key : qAsConst(keys)) {
        const QString mine = ours.value(key, QStringLiteral("(absent)"));
        const QString real = theirs.value(key, QStringLiteral("(absent)"));
        if (mine == real)
            continue;
        QString reason;
        for (const QString &entry : accepted) {
            if (key.startsWith(entry)) {
                used.insert(entry);
                reason = entry;
            }
        }
        if (!reason.isEmpty())
            continue;
        ++unexplained;
        out << key << "\n    bundled layer: " << mine << "\n    installed QMF: " << real << '\n';
    }
    for (const QString &entry : accepted) {
        if (!used.contains(entry)) {
            out << "accepted difference no longer occurs: " << entry << " (remove it from the list)\n";
            ++unexplained;
        }
    }
    out << keys.size() << " facts compared, " << unexplained << " unexplained differences\n";
    return unexplained == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The installed QMF gives its status flags their values when the store first opens.
    QMailStore::instance();

    const QStringList args = app.arguments();
    if (args.size() != 2 && !(args.size() == 6 && args.at(2) == QLatin1String("--against")
                              && args.at(4) == QLatin1String("--accepted"))) {
        QTextStream(stderr) << "usage: messagedump CORPUS-LIST [--against OTHER-OUTPUT --accepted LIST]\n";
        return 2;
    }
    QFile corpus(args.at(1));
    if (!corpus.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QTextStream(stderr) << "messagedump: cannot read " << args.at(1) << '\n';
        return 1;
    }
    Facts facts;
    while (!corpus.atEnd()) {
        const QStringList entry = QString::fromUtf8(corpus.readLine()).trimmed().split(QLatin1Char('\t'));
        if (entry.size() == 2) {
            const Facts message = describe(entry.at(0), entry.at(1));
            for (auto it = message.cbegin(); it != message.cend(); ++it)
                facts.insert(it.key(), it.value());
        }
    }
    if (args.size() == 2) {
        QTextStream out(stdout);
        useUtf8(out);
        for (auto it = facts.cbegin(); it != facts.cend(); ++it)
            out << it.key() << '=' << it.value() << '\n';
        return 0;
    }
    bool theirsRead = false;
    bool acceptedRead = false;
    const Facts theirs = readFacts(args.at(3), &theirsRead);
    const QStringList accepted = readAccepted(args.at(5), &acceptedRead);
    if (!theirsRead || !acceptedRead) {
        QTextStream(stderr) << "messagedump: cannot read " << (theirsRead ? args.at(5) : args.at(3)) << '\n';
        return 1;
    }
    return compare(facts, theirs, accepted);
}
