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
//
// Whenever the automaton is back at its start, a shift table over short blocks of the
// text (as in multi-pattern skip searches) jumps over stretches where no id can begin,
// so on ordinary markup most characters are never looked at.
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
    void buildShiftTable(const QStringList &ids);

    int m_idCount = 0;
    int m_symbolCount = 1; // symbol 0: a code unit that occurs in no id
    QVector<int> m_latinSymbols; // code units below 256
    QVector<QPair<ushort, int>> m_wideSymbols; // sorted by code unit

    // Trie numbered breadth first (the root is 0), so the children of state s are the
    // states m_firstChild[s] .. m_firstChild[s + 1], in ascending symbol order.
    QVector<int> m_firstChild;
    QVector<int> m_symbol; // symbol on the edge into each state
    QVector<int> m_failure;
    QVector<int> m_outputLink; // nearest state on the failure chain that ends an id, or -1
    QVector<int> m_firstIdEnding; // ids ending at state s: m_idsEnding[m_firstIdEnding[s] .. m_firstIdEnding[s + 1])
    QVector<int> m_idsEnding;
    QVector<bool> m_reportable; // ends an id itself or has an output link
    QVector<int> m_dense; // rows of m_symbolCount entries for the first m_denseStates states
    int m_denseStates = 0;
    bool m_encoded = false; // dense entries hold row offsets (see buildLinks)

    // Every id is at least m_window code units long. For a window of that length at a
    // text position, m_shift[hash of its last m_blockLength units] says how far the
    // window may move before an id could start inside it; 0 means "an id may start here".
    int m_window = 0;
    int m_blockLength = 0;
    QVector<quint8> m_shift;
};

} // namespace Internal
} // namespace ZavekUtils

#endif // ZAVEKCONTENTIDSCANNER_P_H
