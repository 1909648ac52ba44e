#ifndef TESTENVIRONMENT_H
#define TESTENVIRONMENT_H

#include <QString>

// Every test executable links this support code. Before main() runs it points HOME,
// the XDG directories and QMF_DATA at a private temporary directory that is removed at
// exit, so no suite sees the developer's files or another suite's leftovers.
namespace ZavekTest {

// The temporary home directory of this test process.
QString homePath();

// The per-user configuration directory (XDG_CONFIG_HOME) of this test process.
QString configPath();

// Absolute path of a file below tests/data.
QString dataPath(const QString &relativePath);

} // namespace ZavekTest

#endif // TESTENVIRONMENT_H
