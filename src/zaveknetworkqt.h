#ifndef ZAVEKNETWORKQT_H
#define ZAVEKNETWORKQT_H

#include "zaveknetwork.h"

#include <QScopedPointer>

// The production backend: forwards to Qt 5's bearer management
// (QNetworkConfigurationManager, QNetworkSession).
class ZavekQtNetworkConfigurationManager : public ZavekNetworkConfigurationManager
{
    Q_OBJECT
public:
    explicit ZavekQtNetworkConfigurationManager(QObject *parent = nullptr);
    ~ZavekQtNetworkConfigurationManager() override;

    bool isOnline() const override;
    Capabilities capabilities() const override;
    ZavekNetworkConfiguration defaultConfiguration() const override;
    QList<ZavekNetworkConfiguration> allConfigurations() const override;
    ZavekNetworkSession *createSession(const ZavekNetworkConfiguration &configuration,
                                       QObject *parent = nullptr) override;

private:
    struct Private;
    QScopedPointer<Private> d;
};

#endif // ZAVEKNETWORKQT_H
