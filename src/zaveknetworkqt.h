#ifndef ZAVEKNETWORKQT_H
#define ZAVEKNETWORKQT_H

#include "zaveknetwork.h"

#include <QScopedPointer>

/**
 * @file
 * The production network backend: ZavekQtNetworkConfigurationManager.
 */

/**
 * The production network backend: forwards to Qt 5's bearer management
 * (QNetworkConfigurationManager, QNetworkSession).
 *
 * ZavekNetworkConfigurationManager::create() makes one unless another backend is
 * installed. Its sessions wrap QNetworkSession.
 */
class ZavekQtNetworkConfigurationManager : public ZavekNetworkConfigurationManager
{
    Q_OBJECT
public:
    /// Follows the platform's configurations and online state from now on.
    explicit ZavekQtNetworkConfigurationManager(QObject *parent = nullptr);
    ~ZavekQtNetworkConfigurationManager() override;

    bool isOnline() const override;
    Capabilities capabilities() const override;
    ZavekNetworkConfiguration defaultConfiguration() const override;
    QList<ZavekNetworkConfiguration> allConfigurations() const override;
    /**
     * A session on the platform's configuration with the same identifier. A valid
     * configuration the platform does not know logs a warning; the session then fails when
     * opened.
     */
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                       QObject *parent = nullptr) override;

private:
    struct Private;
    QScopedPointer<Private> d;
};

#endif // ZAVEKNETWORKQT_H
