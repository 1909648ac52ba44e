#include "qmailtimestamp.h"

#include "qmailaddress.h"

#include <QRegularExpression>
#include <QSharedData>
#include <QTimeZone>

class QMailTimeStampPrivate : public QSharedData
{
public:
    QDateTime utc;            // invalid for a null stamp
    int utcOffset = 0;        // seconds east of UTC, as written
};

namespace {

int monthFromName(const QString &name)
{
    static const char *const months[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                         "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString lower = name.left(3).toLower();
    for (int i = 0; i < 12; ++i) {
        if (lower == QLatin1String(months[i]))
            return i + 1;
    }
    return 0;
}

// Offset in seconds for a zone token: "+0200", "-0530", or an obsolete zone name.
bool zoneOffset(const QString &zone, int *offset)
{
    if (zone.isEmpty()) {
        *offset = 0;
        return true;
    }
    if ((zone.startsWith(QLatin1Char('+')) || zone.startsWith(QLatin1Char('-'))) && zone.length() == 5) {
        bool ok = false;
        const int hours = QStringView(zone).mid(1, 2).toInt(&ok);
        if (!ok)
            return false;
        const int minutes = QStringView(zone).mid(3, 2).toInt(&ok);
        if (!ok || minutes > 59)
            return false;
        *offset = (hours * 3600 + minutes * 60) * (zone.startsWith(QLatin1Char('-')) ? -1 : 1);
        return true;
    }
    static const struct { const char *name; int hours; } zones[] = {
        {"UT", 0}, {"UTC", 0}, {"GMT", 0}, {"Z", 0},
        {"EST", -5}, {"EDT", -4}, {"CST", -6}, {"CDT", -5},
        {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
    };
    const QString upper = zone.toUpper();
    for (const auto &known : zones) {
        if (upper == QLatin1String(known.name)) {
            *offset = known.hours * 3600;
            return true;
        }
    }
    // Unknown zone names count as UTC, as RFC 2822 asks for military zones.
    *offset = 0;
    return true;
}

} // namespace

QMailTimeStamp QMailTimeStamp::currentDateTime()
{
    return QMailTimeStamp(QDateTime::currentDateTime());
}

QMailTimeStamp::QMailTimeStamp()
    : d(new QMailTimeStampPrivate)
{
}

QMailTimeStamp::QMailTimeStamp(const QString &timeText)
    : d(new QMailTimeStampPrivate)
{
    // [day-of-week ","] day month year hour ":" minute [":" second] [zone]
    static const QRegularExpression pattern(QStringLiteral(
        "^\\s*(?:[A-Za-z]+\\s*,?\\s*)?(\\d{1,2})\\s*[- ]\\s*([A-Za-z]+)\\s*[- ]\\s*(\\d{2,4})\\s+"
        "(\\d{1,2}):(\\d{2})(?::(\\d{2}))?\\s*([+-]\\d{4}|[A-Za-z]+)?"));
    // Comments may appear anywhere, even inside the time ("09(comment):55").
    const QString text = QMailAddress::removeComments(timeText);
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return;

    const int day = match.captured(1).toInt();
    const int month = monthFromName(match.captured(2));
    int year = match.captured(3).toInt();
    if (match.captured(3).length() == 2)
        year += (year < 50) ? 2000 : 1900;
    else if (match.captured(3).length() == 3)
        year += 1900;
    const QTime time(match.captured(4).toInt(), match.captured(5).toInt(),
                     match.captured(6).isEmpty() ? 0 : match.captured(6).toInt());
    const QDate date(year, month, day);
    int offset = 0;
    if (month == 0 || !date.isValid() || !time.isValid() || !zoneOffset(match.captured(7), &offset))
        return;

    d->utcOffset = offset;
    d->utc = QDateTime(date, time, Qt::UTC).addSecs(-offset);
}

QMailTimeStamp::QMailTimeStamp(const QDateTime &dateTime)
    : d(new QMailTimeStampPrivate)
{
    if (!dateTime.isValid())
        return;
    d->utcOffset = dateTime.offsetFromUtc();
    // Whole seconds only: a Date header carries no fractions, and a stamp must compare
    // equal to itself after a round trip through text.
    QDateTime utc = dateTime.toUTC();
    utc.setTime(QTime(utc.time().hour(), utc.time().minute(), utc.time().second()));
    d->utc = utc;
}

QMailTimeStamp::QMailTimeStamp(const QMailTimeStamp &other) = default;
QMailTimeStamp::~QMailTimeStamp() = default;

const QMailTimeStamp &QMailTimeStamp::operator=(const QMailTimeStamp &other)
{
    d = other.d;
    return *this;
}

QString QMailTimeStamp::toString(OutputFormat format) const
{
    if (isNull())
        return QString();

    const QDateTime local = d->utc.toOffsetFromUtc(d->utcOffset);
    const int absOffset = qAbs(d->utcOffset) / 60;
    const QString sign = d->utcOffset < 0 ? QStringLiteral("-") : QStringLiteral("+");
    const QString zone = sign + QStringLiteral("%1%2").arg(absOffset / 60, 2, 10, QLatin1Char('0'))
                                                     .arg(absOffset % 60, 2, 10, QLatin1Char('0'));
    static const char *const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QDate date = local.date();
    const QString time = local.time().toString(QStringLiteral("hh:mm:ss"));
    switch (format) {
    case Rfc3501:
        return QStringLiteral("%1-%2-%3 %4 %5").arg(date.day(), 2, 10, QLatin1Char('0'))
            .arg(QLatin1String(months[date.month() - 1])).arg(date.year()).arg(time, zone);
    case Rfc3339: {
        const QString isoZone = d->utcOffset == 0 ? QStringLiteral("Z") : zone.left(3) + QLatin1Char(':') + zone.mid(3);
        return local.toString(QStringLiteral("yyyy-MM-ddThh:mm:ss")) + isoZone;
    }
    case Rfc2822:
    default:
        return QStringLiteral("%1, %2 %3 %4 %5 %6").arg(QLatin1String(days[date.dayOfWeek() - 1]))
            .arg(date.day()).arg(QLatin1String(months[date.month() - 1])).arg(date.year()).arg(time, zone);
    }
}

QDateTime QMailTimeStamp::toLocalTime() const
{
    return isNull() ? QDateTime() : d->utc.toLocalTime();
}

QDateTime QMailTimeStamp::toUTC() const
{
    return d->utc;
}

bool QMailTimeStamp::isNull() const
{
    return !d->utc.isValid();
}

bool QMailTimeStamp::isValid() const
{
    return d->utc.isValid();
}

int QMailTimeStamp::utcOffset() const
{
    return d->utcOffset;
}

bool QMailTimeStamp::operator==(const QMailTimeStamp &other) const
{
    return d->utc == other.d->utc;
}

bool QMailTimeStamp::operator!=(const QMailTimeStamp &other) const { return !(*this == other); }
bool QMailTimeStamp::operator<(const QMailTimeStamp &other) const { return d->utc < other.d->utc; }
bool QMailTimeStamp::operator<=(const QMailTimeStamp &other) const { return d->utc <= other.d->utc; }
bool QMailTimeStamp::operator>(const QMailTimeStamp &other) const { return d->utc > other.d->utc; }
bool QMailTimeStamp::operator>=(const QMailTimeStamp &other) const { return d->utc >= other.d->utc; }
