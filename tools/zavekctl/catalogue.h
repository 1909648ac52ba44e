#ifndef ZAVEKCTL_CATALOGUE_H
#define ZAVEKCTL_CATALOGUE_H

class QCoreApplication;

// Loads the English catalogue of the logical identifiers (from the build tree or the
// installed data directory), so that sizes and labels read as text. Returns false when
// no catalogue was found; the identifiers themselves are shown then.
bool installEnglishCatalogue(QCoreApplication *application);

#endif // ZAVEKCTL_CATALOGUE_H
