#ifndef ZAVEKNAMBACKENDSTRATEGIES_H
#define ZAVEKNAMBACKENDSTRATEGIES_H

#include <QNetworkReply>
#include <QObject>

// Waits for one network reply to finish, then calls complete() once with the last error
// the reply reported, and schedules both the reply and itself for deletion.
//
// Subclass it, implement complete(), and create the subclass on the heap with the reply
// to wait for. The constructor makes the connections it needs. A reply that has already
// finished is answered on the next event-loop turn; a null reply is answered there with
// QNetworkReply::UnknownNetworkError. There is no timeout.
class NamClosureBase : public QObject
{
    Q_OBJECT
public:
    ~NamClosureBase() override;

protected:
    // mError starts as QNetworkReply::NoError, which a reply that finishes without
    // reporting an error passes on.
    explicit NamClosureBase(QNetworkReply *reply, QObject *parent = nullptr);

    virtual void complete(QNetworkReply::NetworkError error) = 0;

    QNetworkReply *mReply;
    QNetworkReply::NetworkError mError;

private Q_SLOTS:
    void onError(QNetworkReply::NetworkError error);
    void onFinished();
};

#endif // ZAVEKNAMBACKENDSTRATEGIES_H
