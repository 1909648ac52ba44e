#ifndef ZAVEKCONTENTIDSCANNER_P_H
#define ZAVEKCONTENTIDSCANNER_P_H

#include <QPair>
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
    int symbolOf(ushort unit) const;
    int step(int state, int symbol) const;
    void buildTrie(const QStringList &ids);
    void buildLinks();

    int m_idCount = 0;
    int m_symbolCount = 1; // symbol 0: a code unit that occurs in no id
    QVector<int> m_latinSymbols; // code units below 256
    QVector<QPair<ushort, int>> m_wideSymbols; // sorted by code unit

    // Trie numbered breadth first (the root is 0), so the children of a state are the
    // consecutive states from m_firstChild, in ascending symbol order.
    QVector<int> m_firstChild;
    QVector<int> m_childCount;
    QVector<int> m_symbol; // symbol on the edge into each state
    QVector<int> m_failure;
    QVector<int> m_outputLink; // nearest state on the failure chain that ends an id, or -1
    QVector<int> m_firstIdEnding; // ids ending at state s: m_idsEnding[m_firstIdEnding[s] .. m_firstIdEnding[s + 1])
    QVector<int> m_idsEnding;
    QVector<bool> m_reportable; // ends an id itself or has an output link
    QVector<int> m_dense; // rows of m_symbolCount entries for the first m_denseStates states
    int m_denseStates = 0;
    bool m_encoded = false; // dense entries hold row offsets (see buildLinks)
    QVector<bool> m_startsId; // code units below 256 that leave the start state
};

} // namespace Internal
} // namespace ZavekUtils

#endif // ZAVEKCONTENTIDSCANNER_P_H
