#ifndef QMAILTIMESTAMP_H
#define QMAILTIMESTAMP_H

#include "qmailglobal.h"

#include <QDateTime>
#include <QMetaType>
#include <QSharedDataPointer>
#include <QString>

class QMailTimeStampPrivate;

// A point in time together with the UTC offset it was written with, as in a Date header.
class QMF_EXPORT QMailTimeStamp
{
public:
    enum OutputFormat {
        Rfc2822,
        Rfc3501,
        Rfc3339
    };

    static QMailTimeStamp currentDateTime();

    QMailTimeStamp();
    explicit QMailTimeStamp(const QString &timeText);
    explicit QMailTimeStamp(const QDateTime &dateTime);
    QMailTimeStamp(const QMailTimeStamp &other);
    ~QMailTimeStamp();

    QString toString(OutputFormat format = Rfc2822) const;

    QDateTime toLocalTime() const;
    QDateTime toUTC() const;

    bool isNull() const;
    bool isValid() const;

    int utcOffset() const;

    bool operator==(const QMailTimeStamp &other) const;
    bool operator!=(const QMailTimeStamp &other) const;
    bool operator<(const QMailTimeStamp &other) const;
    bool operator<=(const QMailTimeStamp &other) const;
    bool operator>(const QMailTimeStamp &other) const;
    bool operator>=(const QMailTimeStamp &other) const;

    const QMailTimeStamp &operator=(const QMailTimeStamp &other);

private:
    QSharedDataPointer<QMailTimeStampPrivate> d;
};


#endif // QMAILTIMESTAMP_H
