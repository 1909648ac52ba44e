#ifndef QMAILDATACOMPARATOR_H
#define QMAILDATACOMPARATOR_H

#include "qmailglobal.h"

// Key builders overload on these enum types, so the comparator passed picks the overload.
namespace QMailDataComparator {

enum EqualityComparator {
    Equal = 0,
    NotEqual = 1
};

enum InclusionComparator {
    Includes = 0,
    Excludes = 1
};

enum RelationComparator {
    LessThan = 0,
    LessThanEqual = 1,
    GreaterThan = 2,
    GreaterThanEqual = 3
};

enum PresenceComparator {
    Present = 0,
    Absent = 1
};

} // namespace QMailDataComparator

#endif // QMAILDATACOMPARATOR_H
