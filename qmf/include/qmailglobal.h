#ifndef QMAILGLOBAL_H
#define QMAILGLOBAL_H

#include <QtGlobal>

// The bundled layer is one shared library built with default visibility, so nothing
// needs exporting explicitly; the macro exists because the public headers carry it.
#define QMF_EXPORT

#endif // QMAILGLOBAL_H
