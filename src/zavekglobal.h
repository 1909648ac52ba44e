#ifndef ZAVEKGLOBAL_H
#define ZAVEKGLOBAL_H

#include <QtGlobal>

/**
 * @file
 * ENFORCE, the library's logged internal check.
 */

/**
 * Checks a step that must not fail (chiefly signal connections).
 *
 * @p expression is evaluated in every build, so its side effect always happens. When it
 * yields false, the warning `ENFORCE failed: "<expression text>"` is logged through
 * qWarning(), and in debug builds an assertion then aborts; release builds go on.
 */
#define ENFORCE(expression)                                                              \
    do {                                                                                 \
        const bool zavekEnforced = bool(expression);                                     \
        if (!zavekEnforced)                                                              \
            qWarning("ENFORCE failed: \"%s\"", #expression);                             \
        Q_ASSERT_X(zavekEnforced, "ENFORCE", #expression);                               \
    } while (false)

#endif // ZAVEKGLOBAL_H
