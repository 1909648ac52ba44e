#ifndef ZAVEKCONTENTIDSCANNER_P_H
#define ZAVEKCONTENTIDSCANNER_P_H

#include <QString>
#include <QStringList>
#include <QVector>

namespace ZavekUtils {
namespace Internal {

// Answers "which of these content IDs occur anywhere in this text?" with one pass over
// the text, so that a body referring to hundreds of inline parts is not searched once
// per part. The result equals QString::indexOf(id) >= 0 for every id (UTF-16 code
// units, case-sensitive), except that an empty id never occurs.
//
// The automaton is built over the code units that appear in the ids only; any other
// code unit sends it back to the start. Transitions of the shallow states are kept as
// dense rows for speed; deeper states, once the row budget is spent, fall back to
// their sparse children and failure links, which keeps memory bounded for odd inputs.
class ContentIdScanner
{
public:
    explicit ContentIdScanner(const QStringList &ids);

    // One flag per id given to the constructor, in the same order.
    QVector<bool> occurrences(const QString &text) const;

private:
    struct Edge
    {
        int symbol;
        int target;
    };

    int symbolOf(ushort unit) const;
    int step(int state, int symbol) const;
    void addId(int idIndex, const QString &id);
    void buildLinks();

    int m_idCount = 0;
    int m_symbolCount = 1; // symbol 0: a code unit that occurs in no id
    QVector<int> m_latinSymbols; // code units below 256
    QVector<QPair<ushort, int>> m_wideSymbols; // sorted by code unit

    // Trie, states numbered breadth first once built (the root is 0).
    QVector<QVector<Edge>> m_children; // sorted by symbol
    QVector<int> m_failure;
    QVector<int> m_outputLink; // nearest state on the failure chain that ends an id, or -1
    QVector<bool> m_reportable; // ends an id itself or has an output link
    QVector<QVector<int>> m_idsEndingAt;
    QVector<int> m_dense; // rows of m_symbolCount entries for the first m_denseStates states
    int m_denseStates = 0;
};

} // namespace Internal
} // namespace ZavekUtils

#endif // ZAVEKCONTENTIDSCANNER_P_H
