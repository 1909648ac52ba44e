#ifndef ZAVEKCTL_SETTINGSCOMMAND_H
#define ZAVEKCTL_SETTINGSCOMMAND_H

#include <QStringList>

// `zavekctl settings ...`: the real per-user settings file through ZavekSettings.
int runSettingsCommand(const QStringList &arguments);

#endif // ZAVEKCTL_SETTINGSCOMMAND_H
