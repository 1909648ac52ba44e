#include "zaveknambackendstrategies.h"

#include "zavekglobal.h"

#include <QDebug>
#include <QTimer>

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
    ENFORCE(connect(mReply, SIGNAL(error(QNetworkReply::NetworkError)), this, SLOT(onError(QNetworkReply::NetworkError))));
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
    ENFORCE(disconnect(mReply, SIGNAL(error(QNetworkReply::NetworkError)), this, SLOT(onError(QNetworkReply::NetworkError))));
    complete(mError);
    mReply->deleteLater();
    deleteLater();
}
