#ifndef LONGSTRING_P_H
#define LONGSTRING_P_H

// Conformance-run stand-in for a QMF-internal class that the QMF tests use to read their
// data files; only the part they call.

#include <QByteArray>
#include <QFile>
#include <QString>

class LongString
{
public:
    static LongString fromFile(const QString &path)
    {
        LongString result;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            result.m_bytes = file.readAll();
        return result;
    }
    QByteArray toQByteArray() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

#endif
