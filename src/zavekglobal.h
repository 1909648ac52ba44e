#ifndef ZAVEKGLOBAL_H
#define ZAVEKGLOBAL_H

#include <QtGlobal>

// A step that must not fail (chiefly signal connections): evaluated in every build,
// logged with its own text when it fails, and fatal only in debug builds.
#define ENFORCE(expression)                                                              \
    do {                                                                                 \
        const bool zavekEnforced = bool(expression);                                     \
        if (!zavekEnforced)                                                              \
            qWarning("ENFORCE failed: \"%s\"", #expression);                             \
        Q_ASSERT_X(zavekEnforced, "ENFORCE", #expression);                               \
    } while (false)

#endif // ZAVEKGLOBAL_H
