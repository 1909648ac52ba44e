#include "zaveknambackendstrategies.h"

#include "zavekglobal.h"

#include <QDebug>
#include <QTimer>

namespace {

// The reply's error signal is connected by pointer: Qt 6 renamed it errorOccurred (Qt 5.15
// has both), and a connection by name to the old signal fails there at run time. A failure
// is still logged with the text established for this check.
void enforceAs(bool succeeded, const char *text)
{
    if (!succeeded)
        qWarning("ENFORCE failed: \"%s\"", text);
    Q_ASSERT_X(succeeded, "ENFORCE", text);
}

const char connectErrorText[] =
    "connect(mReply, SIGNAL(error(QNetworkReply::NetworkError)), this, SLOT(onError(QNetworkReply::NetworkError)))";
const char disconnectErrorText[] =
    "disconnect(mReply, SIGNAL(error(QNetworkReply::NetworkError)), this, SLOT(onError(QNetworkReply::NetworkError)))";

} // namespace

NamClosureBase::NamClosureBase(QNetworkReply *reply, QObject *parent)
    : QObject(parent)
    , mReply(reply)
    , mError(QNetworkReply::NoError)
{
    if (!mReply) {
        qWarning("NamClosureBase::NamClosureBase(QNetworkReply*, QObject*) no reply to wait for");
        // Nothing will ever finish; answer with a failure rather than wait for ever.
        QTimer::singleShot(0, this, [this] {
            complete(QNetworkReply::UnknownNetworkError);
            deleteLater();
        });
        return;
    }
    ENFORCE(connect(mReply, SIGNAL(finished()), this, SLOT(onFinished())));
    enforceAs(connect(mReply.data(), &QNetworkReply::errorOccurred, this, &NamClosureBase::onError), connectErrorText);
    // A reply that finished before we listened will not say so again.
    if (mReply->isFinished()) {
        mError = mReply->error();
        QMetaObject::invokeMethod(this, "onFinished", Qt::QueuedConnection);
    }
}

NamClosureBase::~NamClosureBase() = default;

void NamClosureBase::onError(QNetworkReply::NetworkError error)
{
    mError = error;
}

void NamClosureBase::onFinished()
{
    if (!mReply) {
        // Deleted before the queued completion of a finished reply: its connections went
        // with it, and the error was read at construction.
        complete(mError);
        deleteLater();
        return;
    }
    ENFORCE(disconnect(mReply, SIGNAL(finished()), this, SLOT(onFinished())));
    enforceAs(disconnect(mReply.data(), &QNetworkReply::errorOccurred, this, &NamClosureBase::onError),
              disconnectErrorText);
    complete(mError);
    mReply->deleteLater();
    deleteLater();
}
