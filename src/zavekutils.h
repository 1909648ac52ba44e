#ifndef ZAVEKUTILS_H
#define ZAVEKUTILS_H

// Stateless questions and helpers over the message, account and folder model.
// Each theme keeps to its own section below; the sources are split the same way
// (zavekutils_<theme>.cpp).

#include <qmailaccount.h>
#include <qmailaddress.h>
#include <qmailfolder.h>
#include <qmailid.h>
#include <qmailmessage.h>

#include <QList>
#include <QString>
#include <QStringList>

// ---- section: message metadata and priority; accounts and folders ----
// ---- end section: message metadata and priority; accounts and folders ----

// ---- section: body parts, download state, content IDs and resources ----
// ---- end section: body parts, download state, content IDs and resources ----

// ---- section: files, attachments and text formatting ----
// ---- end section: files, attachments and text formatting ----

#endif // ZAVEKUTILS_H
