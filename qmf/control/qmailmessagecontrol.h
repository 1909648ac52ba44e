#ifndef QMAILMESSAGECONTROL_H
#define QMAILMESSAGECONTROL_H

// TEST AND DEMO SUPPORT ONLY. Not part of the QMF client API and never needed by
// libzavek: the in-process message server uses these helpers to imitate partial
// downloads (a message whose structure and headers are known before its content).

#include "qmailmessage.h"

namespace QmfStandIn {

// The message as a server knows it before any content is fetched: the same header
// fields, metadata and part structure, but every single-part leaf has an empty body,
// the size of its decoded content in the Content-Disposition "size" parameter (the
// disposition type itself is left as it was) and the internal partial-content mark, so
// that QMailMessagePart::contentAvailable() is false. A single-part message loses its
// body. Status: ContentAvailable and PartialContentAvailable cleared.
QMailMessage withoutContent(const QMailMessage &complete);

// Brings the content of the part at location in from the complete message: the stored
// part becomes the complete part (headers and body, no partial mark), keeping the
// stored message id in its location. Then updates the status bits (see
// updateContentStatus). False with a warning when either message lacks the location.
bool fillPart(QMailMessage &stored, const QMailMessage &complete, const QMailMessagePart::Location &location);

// Brings in at least minimum bytes of the part's decoded content. When the part is not
// longer than that, this is fillPart(); otherwise the part gets the first minimum bytes
// and keeps its partial mark (partialContentAvailable() true, contentAvailable() false).
bool fillPartRange(QMailMessage &stored, const QMailMessage &complete, const QMailMessagePart::Location &location,
                   uint minimum);

// Brings the whole content in: header fields, structure and bodies of the complete
// message; the stored metadata (id, account, folder, flags) is kept apart from the
// content bits, which are set. False with a warning when the complete message has no
// content either.
bool fillMessage(QMailMessage &stored, const QMailMessage &complete);

// Fills leaf parts in order until at least minimum bytes of content have been brought
// in (a single-part message is filled whole).
bool fillMessageRange(QMailMessage &stored, const QMailMessage &complete, uint minimum);

// Recomputes ContentAvailable (every leaf's content present; for a single-part message,
// a body) and PartialContentAvailable (any content present), and HasAttachments.
void updateContentStatus(QMailMessage &message);

} // namespace QmfStandIn

#endif // QMAILMESSAGECONTROL_H
