#ifndef ZAVEKNAMBACKENDSTRATEGIES_H
#define ZAVEKNAMBACKENDSTRATEGIES_H

#include <QNetworkReply>
#include <QObject>
#include <QPointer>

/**
 * @file
 * NamClosureBase: one call back when a network reply has finished.
 */

/**
 * Calls the application back once when a network reply has finished.
 *
 * complete() receives the last error the reply reported (QNetworkReply::NoError when it
 * reported none); then the closure schedules both the reply and itself for deletion
 * (deleteLater()). The reply is therefore taken over: do not delete it yourself once the
 * closure waits for it, and do not use it after complete() has returned.
 *
 * Subclass it, implement complete(), and create the subclass with @c new, giving it the
 * reply. The closure owns itself: do not delete it while it waits. There is no timeout: a
 * reply that never finishes is waited for for ever. The closure lives on the reply's
 * thread.
 */
class NamClosureBase : public QObject
{
    Q_OBJECT
public:
    ~NamClosureBase() override;

protected:
    /**
     * Starts waiting for @p reply.
     *
     * A reply that has already finished is answered on the next event-loop turn with its
     * error, also when the application deletes it meanwhile. A null reply logs a warning
     * and is answered there with QNetworkReply::UnknownNetworkError, so the application is
     * called back in every case.
     * @param reply the reply to wait for; deleted by the closure when it has finished.
     * @param parent the QObject parent; usually none.
     */
    // mError starts as QNetworkReply::NoError, which a reply that finishes without
    // reporting an error passes on.
    explicit NamClosureBase(QNetworkReply *reply, QObject *parent = nullptr);

    /**
     * Called once, when the reply has finished, with the last error it reported. The reply
     * and the closure are deleted after this returns, on the next event-loop turn.
     */
    virtual void complete(QNetworkReply::NetworkError error) = 0;

    /// The reply waited for; null when none was given, or once the reply is deleted.
    QPointer<QNetworkReply> mReply;
    /// The last error the reply reported; QNetworkReply::NoError until it reports one.
    QNetworkReply::NetworkError mError;

private Q_SLOTS:
    void onError(QNetworkReply::NetworkError error);
    void onFinished();
};

#endif // ZAVEKNAMBACKENDSTRATEGIES_H
