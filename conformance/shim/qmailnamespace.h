#ifndef QMAILNAMESPACE_H
#define QMAILNAMESPACE_H

// Conformance-run stand-in for the QMF helper namespace: the quoting helpers the QMF tests
// build their expected values with.

#include <QByteArray>
#include <QString>

namespace QMail {

// The text in double quotes, adding only those that are not there yet.
template <typename Text>
Text quoteString(const Text &text)
{
    Text inner = text;
    if (inner.startsWith('"'))
        inner.remove(0, 1);
    if (inner.endsWith('"'))
        inner.chop(1);
    return Text("\"") + inner + Text("\"");
}

template <typename Text>
Text unquoteString(const Text &text)
{
    if (text.size() >= 2 && text.startsWith('"') && text.endsWith('"'))
        return text.mid(1, text.size() - 2);
    return text;
}

}

#endif
