#ifndef MANAGERFIXTURE_H
#define MANAGERFIXTURE_H

// Shared set-up of the manager suites: a fresh store, message server, settings, scripted
// network and manager per test, and a log of the manager's per-serial signals.

#include <zavekserviceactionmanager.h>
#include <zaveknetworkscripted.h>
#include <zaveksettings.h>

#include "testenvironment.h"

#include <qmailaccount.h>
#include <qmailmessageserver.h>
#include <qmailstore.h>
#include <qmailstorecontrol.h>

#include <QObject>
#include <QRegularExpression>
#include <QScopedPointer>
#include <QStringList>

#include <functional>
#include <utility>

// A request made of the manager, as a data row: returns its serial.
using Issue = std::function<uint(ZavekServiceActionManager &)>;
Q_DECLARE_METATYPE(Issue)

// Logged when an operation is to start while the store's IPC connection is down.
const char ipcWarning[] =
    "bool ZavekServiceActionManager::executeCurrent() cannot exec service action due to QCopServer connection problems";

// The line of an activity signal: "A<serial> <activity> <code>".
inline QString activityLine(uint serial, QMailServiceAction::Activity activity, int code)
{
    static const char *const names[] = {"Pending", "InProgress", "Successful", "Failed"};
    return QStringLiteral("A%1 %2 %3").arg(serial).arg(QLatin1String(names[activity])).arg(code);
}

// Records the manager's per-serial signals as short lines: activity lines,
// "S<serial> <code>", "P<serial> <progress>/<total>".
class SignalLog : public QObject
{
public:
    explicit SignalLog(ZavekServiceActionManager *manager)
    {
        connect(manager, &ZavekServiceActionManager::activityChanged, this,
                [this](ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                       const QMailServiceAction::Status &status) {
                    lines << activityLine(serial, activity, int(status.errorCode));
                });
        connect(manager, &ZavekServiceActionManager::statusChanged, this,
                [this](ZavekServiceActionManager::Serial serial, const QMailServiceAction::Status &status) {
                    lines << QStringLiteral("S%1 %2").arg(serial).arg(int(status.errorCode));
                });
        connect(manager, &ZavekServiceActionManager::progressChanged, this,
                [this](ZavekServiceActionManager::Serial serial, uint progress, uint total) {
                    lines << QStringLiteral("P%1 %2/%3").arg(serial).arg(progress).arg(total);
                });
    }

    QStringList take() { return std::exchange(lines, {}); }

    QStringList lines;
};

// A signal log line: "A%1 Failed %2" with the serial and, where the format asks, the code.
inline QString line(const char *format, uint serial, int code = 0)
{
    const QString text = QString::fromLatin1(format).arg(serial);
    return text.contains(QLatin1String("%2")) ? text.arg(code) : text;
}

// The terminal lines of a signal log, each serial's end: "A<serial> Successful|Failed <code>".
inline QStringList ends(const QStringList &lines)
{
    return lines.filter(QRegularExpression(QStringLiteral("^A\\d+ (Successful|Failed) ")));
}

class ManagerFixture
{
public:
    void start(bool online = true)
    {
        QmfStandIn::resetStore();
        server()->reset();
        ZavekSettings::resetInstanceForTesting();
        network.reset(new ZavekScriptedNetwork);
        network->setConfigurations({ZavekNetworkConfiguration(QStringLiteral("wlan"), QStringLiteral("Wireless"))});
        network->setDefaultConfiguration(network->configurations().first());
        network->setOnline(online);
        manager.reset(new ZavekServiceActionManager(network->createManager()));
        log.reset(new SignalLog(manager.data()));
    }

    void finish()
    {
        log.reset();
        manager.reset();
        network.reset();
        server()->reset();
    }

    static QmfStandIn::MessageServer *server() { return QmfStandIn::MessageServer::instance(); }

    // Call names of every request the server received since the test began.
    static QStringList calls()
    {
        QStringList names;
        const QList<QmfStandIn::Request> requests = server()->requests();
        for (const QmfStandIn::Request &request : requests)
            names << request.call;
        return names;
    }

    // Lets every running request succeed, also those that start meanwhile; returns how many.
    static int succeedAll()
    {
        int count = 0;
        for (; running(); ++count)
            server()->succeed(running());
        return count;
    }

    // The action running the newest request (null when none runs).
    static QMailServiceAction *running()
    {
        const QList<QmfStandIn::Request> requests = server()->runningRequests();
        return requests.isEmpty() ? nullptr : requests.last().action.data();
    }

    static QMailAccountId addAccount()
    {
        QMailAccount account;
        account.setName(QStringLiteral("Account"));
        account.setStatus(QMailAccount::MessageSink | QMailAccount::CanTransmit | QMailAccount::Enabled, true);
        QMailStore::instance()->addAccount(&account, nullptr);
        return account.id();
    }

    static QMailMessagePartContainer::Location part(quint64 message, int index)
    {
        return QMailMessagePartContainer::Location(QStringLiteral("%1-%2").arg(message).arg(index));
    }

    QScopedPointer<ZavekScriptedNetwork> network;
    QScopedPointer<ZavekServiceActionManager> manager;
    QScopedPointer<SignalLog> log;
};

#endif // MANAGERFIXTURE_H
