#include "zavekcontentidscanner_p.h"

#include <algorithm>
#include <vector>

namespace ZavekUtils {
namespace Internal {

namespace {

// Dense transition entries allowed per scanner (4 bytes each). The shallow states,
// where the automaton spends nearly all its time on real text, fit easily; very large or
// exotic id sets keep their deeper states sparse instead of taking megabytes.
const int denseEntryBudget = 1 << 15;

} // namespace

ContentIdScanner::ContentIdScanner(const QStringList &ids)
    : m_idCount(ids.size())
    , m_latinSymbols(256, 0)
{
    // Symbols in ascending code-unit order, so that sorting the ids as strings sorts
    // them by symbols too.
    QVector<bool> latinUsed(256, false);
    QVector<ushort> wideUnits;
    for (const QString &id : ids) {
        for (const QChar c : id) {
            if (c.unicode() < 256)
                latinUsed[c.unicode()] = true;
            else
                wideUnits.append(c.unicode());
        }
    }
    std::sort(wideUnits.begin(), wideUnits.end());
    wideUnits.erase(std::unique(wideUnits.begin(), wideUnits.end()), wideUnits.end());
    for (int unit = 0; unit < 256; ++unit) {
        if (latinUsed.at(unit))
            m_latinSymbols[unit] = m_symbolCount++;
    }
    for (const ushort unit : qAsConst(wideUnits))
        m_wideSymbols.append(qMakePair(unit, m_symbolCount++));

    buildTrie(ids);
    buildLinks();
}

int ContentIdScanner::symbolOf(ushort unit) const
{
    if (unit < 256)
        return m_latinSymbols[unit];
    const auto it = std::lower_bound(m_wideSymbols.cbegin(), m_wideSymbols.cend(), unit,
                                     [](const QPair<ushort, int> &entry, ushort wanted) {
                                         return entry.first < wanted;
                                     });
    return (it != m_wideSymbols.cend() && it->first == unit) ? it->second : 0;
}

void ContentIdScanner::buildTrie(const QStringList &ids)
{
    // Insert the ids in sorted order: each shares its path with the previous one up to
    // their common prefix, and siblings appear in ascending symbol order.
    QVector<int> order;
    for (int i = 0; i < ids.size(); ++i) {
        if (!ids.at(i).isEmpty()) // an empty id would "occur" everywhere; it never counts
            order.append(i);
    }
    std::sort(order.begin(), order.end(), [&ids](int a, int b) { return ids.at(a) < ids.at(b); });

    // Plain std::vector here: the build touches every character of every id, and
    // QVector's detach checks were a large part of its cost.
    std::vector<int> parent{-1};
    std::vector<int> symbol{0};
    std::vector<int> endOf(ids.size(), -1);
    std::vector<int> path{0}; // states along the previous id
    const QString *previous = nullptr;
    for (const int index : qAsConst(order)) {
        const QString &id = ids.at(index);
        int common = 0;
        if (previous) {
            const int limit = qMin(previous->size(), id.size());
            while (common < limit && previous->at(common) == id.at(common))
                ++common;
        }
        path.resize(common + 1);
        for (int k = common; k < id.size(); ++k) {
            parent.push_back(path.back());
            symbol.push_back(symbolOf(id.at(k).unicode()));
            path.push_back(int(parent.size()) - 1);
        }
        endOf[index] = path.back();
        previous = &id;
    }

    // Renumber breadth first; creation order keeps siblings sorted.
    const int stateCount = int(parent.size());
    std::vector<int> childStart(stateCount + 1, 0);
    for (int state = 1; state < stateCount; ++state)
        ++childStart[parent.at(state) + 1];
    for (int state = 0; state < stateCount; ++state)
        childStart[state + 1] += childStart[state];
    std::vector<int> children(qMax(0, stateCount - 1));
    std::vector<int> fill = childStart;
    for (int state = 1; state < stateCount; ++state)
        children[fill[parent.at(state)]++] = state;

    std::vector<int> renumbered(stateCount, 0);
    std::vector<int> queue{0};
    queue.reserve(stateCount);
    m_firstChild.fill(0, stateCount);
    m_childCount.fill(0, stateCount);
    m_symbol.fill(0, stateCount);
    int *firstChild = m_firstChild.data();
    int *childCount = m_childCount.data();
    int *edgeSymbol = m_symbol.data();
    for (int next = 0; next < int(queue.size()); ++next) {
        const int old = queue[next];
        firstChild[next] = int(queue.size());
        childCount[next] = childStart[old + 1] - childStart[old];
        for (int c = childStart[old]; c < childStart[old + 1]; ++c) {
            const int child = children[c];
            renumbered[child] = int(queue.size());
            edgeSymbol[queue.size()] = symbol[child];
            queue.push_back(child);
        }
    }

    m_firstIdEnding.fill(0, stateCount + 1);
    for (const int index : qAsConst(order))
        ++m_firstIdEnding[renumbered.at(endOf.at(index)) + 1];
    for (int state = 0; state < stateCount; ++state)
        m_firstIdEnding[state + 1] += m_firstIdEnding[state];
    m_idsEnding.resize(order.size());
    QVector<int> idFill = m_firstIdEnding;
    for (const int index : qAsConst(order))
        m_idsEnding[idFill[renumbered.at(endOf.at(index))]++] = index;
}

void ContentIdScanner::buildLinks()
{
    const int stateCount = m_firstChild.size();
    m_denseStates = qBound(1, denseEntryBudget / m_symbolCount, stateCount);
    m_dense.fill(0, m_denseStates * m_symbolCount);
    m_failure.fill(0, stateCount);
    m_outputLink.fill(-1, stateCount);
    m_reportable.fill(false, stateCount);

    // Breadth first, every failure link points to a smaller number, so what a state
    // falls back on is complete before the state itself is.
    for (int state = 0; state < stateCount; ++state) {
        const int first = m_firstChild.at(state);
        const int last = first + m_childCount.at(state);
        if (state < m_denseStates) {
            int *row = m_dense.data() + state * m_symbolCount;
            if (state != 0) {
                const int *fallback = m_dense.constData() + m_failure.at(state) * m_symbolCount;
                std::copy(fallback, fallback + m_symbolCount, row);
            }
            for (int child = first; child < last; ++child)
                row[m_symbol.at(child)] = child;
        }
        for (int child = first; child < last; ++child) {
            const int failure = (state == 0) ? 0 : step(m_failure.at(state), m_symbol.at(child));
            m_failure[child] = failure;
            const bool failureEndsId = m_firstIdEnding.at(failure + 1) > m_firstIdEnding.at(failure);
            m_outputLink[child] = failureEndsId ? failure : m_outputLink.at(failure);
        }
        m_reportable[state] = m_firstIdEnding.at(state + 1) > m_firstIdEnding.at(state) || m_outputLink.at(state) != -1;
    }

    // The scan follows dense rows by their offsets; a target that must be looked at (it
    // ends an id or has no dense row) is stored as -(state + 1) instead.
    const bool *reportable = m_reportable.constData();
    int *entry = m_dense.data();
    for (int *end = entry + m_dense.size(); entry != end; ++entry) {
        const bool plain = *entry < m_denseStates && !reportable[*entry];
        *entry = plain ? *entry * m_symbolCount : -(*entry + 1);
    }
    m_encoded = true;

    m_startsId.fill(false, 256);
    for (int unit = 0; unit < 256; ++unit)
        m_startsId[unit] = m_latinSymbols.at(unit) != 0 && m_dense.at(m_latinSymbols.at(unit)) != 0;
}

int ContentIdScanner::step(int state, int symbol) const
{
    for (;;) {
        if (state < m_denseStates) {
            const int entry = m_dense.at(state * m_symbolCount + symbol);
            if (!m_encoded)
                return entry;
            return entry >= 0 ? entry / m_symbolCount : -entry - 1;
        }
        const auto first = m_symbol.cbegin() + m_firstChild.at(state);
        const auto last = first + m_childCount.at(state);
        const auto it = std::lower_bound(first, last, symbol);
        if (it != last && *it == symbol)
            return int(it - m_symbol.cbegin());
        state = m_failure.at(state);
    }
}

QVector<bool> ContentIdScanner::occurrences(const QString &text) const
{
    QVector<bool> found(m_idCount, false);
    const int stateCount = m_firstChild.size();
    if (stateCount <= 1)
        return found;

    QVector<bool> reported(stateCount, false);
    const int *dense = m_dense.constData();
    const int *latin = m_latinSymbols.constData();
    const int symbolCount = m_symbolCount;
    const int denseStates = m_denseStates;
    const bool *isReportable = m_reportable.constData();

    // While in a dense state without anything to report, the state is known only by its
    // row offset; that keeps the per-character work to two table loads.
    int state = 0;
    int offset = 0;
    bool inDenseRow = true;
    const ushort *unit = text.utf16();
    const ushort *end = unit + text.size();
    const bool *startsId = m_startsId.constData();
    for (; unit != end; ++unit) {
        if (offset == 0 && inDenseRow) {
            // At the start: skip what cannot begin an id without touching the automaton.
            while (*unit < 256 && !startsId[*unit]) {
                if (++unit == end)
                    return found;
            }
        }
        const int symbol = (*unit < 256) ? latin[*unit] : symbolOf(*unit);
        if (symbol == 0) { // in no id: back to the start, without a dependent load
            offset = 0;
            inDenseRow = true;
            continue;
        }
        if (inDenseRow) {
            const int entry = dense[offset + symbol];
            if (entry >= 0) {
                offset = entry;
                continue;
            }
            state = -entry - 1;
        } else {
            state = step(state, symbol);
        }
        if (isReportable[state] && !reported.at(state)) {
            // Everything on the output chain below an already reported state was reported
            // with it, so each state is walked at most once per scan.
            for (int s = state; s != -1 && !reported.at(s); s = m_outputLink.at(s)) {
                reported[s] = true;
                for (int i = m_firstIdEnding.at(s); i < m_firstIdEnding.at(s + 1); ++i)
                    found[m_idsEnding.at(i)] = true;
            }
        }
        inDenseRow = state < denseStates;
        offset = inDenseRow ? state * symbolCount : 0;
    }
    return found;
}

} // namespace Internal
} // namespace ZavekUtils
