#ifndef ZAVEKNETWORKREACHABILITY_H
#define ZAVEKNETWORKREACHABILITY_H

#include "zaveknetwork.h"

#include <QNetworkInformation>
#include <QScopedPointer>

/**
 * @file
 * The production network backend on Qt 6: ZavekReachabilityNetworkConfigurationManager.
 */

/**
 * The production network backend on Qt 6, where bearer management is gone: the online state
 * comes from QNetworkInformation's reachability, and no session can be opened.
 *
 * It loads a QNetworkInformation backend that reports reachability (whichever the platform
 * offers), not the platform's default one. The device counts as online when the network is
 * reachable beyond the local link (QNetworkInformation::Reachability::Site or Online), or
 * when the backend cannot tell (Unknown). When no backend loads, the device counts as online
 * for good and a warning says so, once per process: network work is then tried rather than
 * held back for ever.
 *
 * The platform cannot start or stop interfaces: capabilities() lacks
 * CanStartAndStopInterfaces, so the service action manager opens no session and waits for the
 * network to come up by other means. The one configuration offered stands for the system's
 * network; a session made on it fails with OperationNotSupportedError when opened.
 * ZavekNetworkConfigurationManager::create() makes one unless another backend is installed.
 */
class ZavekReachabilityNetworkConfigurationManager : public ZavekNetworkConfigurationManager
{
    Q_OBJECT
public:
    /// Loads a reachability backend, if none is loaded yet, and follows it from now on.
    explicit ZavekReachabilityNetworkConfigurationManager(QObject *parent = nullptr);
    ~ZavekReachabilityNetworkConfigurationManager() override;

    /// The name of the QNetworkInformation backend in use, or an empty string when none loaded.
    QString backendName() const;

    bool isOnline() const override;
    /// None: sessions cannot be opened on this platform.
    Capabilities capabilities() const override;
    /// The system's network, named after the backend; invalid when no backend loaded.
    ZavekNetworkConfiguration defaultConfiguration() const override;
    /// The default configuration alone, or nothing when no backend loaded.
    QList<ZavekNetworkConfiguration> allConfigurations() const override;
    /// A session that reports OperationNotSupportedError on the next event-loop turn after open().
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                       QObject *parent = nullptr) override;

private Q_SLOTS:
    void onReachabilityChanged(QNetworkInformation::Reachability reachability);

private:
    struct Private;
    QScopedPointer<Private> d;
};

#endif // ZAVEKNETWORKREACHABILITY_H
