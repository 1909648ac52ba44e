#include "zavekcontentidscanner_p.h"

#include <algorithm>
#include <vector>

namespace ZavekUtils {
namespace Internal {

namespace {

// Dense transition entries allowed per scanner (4 bytes each). The shallow states,
// where the automaton spends nearly all its time on real text, fit easily; very large or
// exotic id sets keep their deeper states sparse instead of taking megabytes.
const int denseEntryBudget = 1 << 12;

// Longer windows allow longer jumps, but every id contributes all its blocks up to the
// window; 32 keeps that cheap while jumps stay long on real content IDs.
const int maxWindow = 32;
const int shiftTableBits = 12;

// Hash of the block of blockLength (1 or 2) code units that ends just before blockEnd.
inline int blockHash(const ushort *blockEnd, int blockLength)
{
    const quint32 key = blockLength == 2 ? (quint32(blockEnd[-2]) << 16 | blockEnd[-1]) : blockEnd[-1];
    return int((key * 2654435761u) >> (32 - shiftTableBits));
}

} // namespace

ContentIdScanner::ContentIdScanner(const QStringList &ids)
    : m_idCount(ids.size())
    , m_latinSymbols(256, 0)
{
    // Symbols in ascending code-unit order, so that sorting the ids as strings sorts
    // them by symbols too.
    bool latinUsed[256] = {};
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
        if (latinUsed[unit])
            m_latinSymbols[unit] = m_symbolCount++;
    }
    for (const ushort unit : qAsConst(wideUnits))
        m_wideSymbols.append(qMakePair(unit, m_symbolCount++));

    buildTrie(ids);
    buildLinks();
    buildShiftTable(ids);
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
    QVector<int> order;
    for (int i = 0; i < ids.size(); ++i) {
        if (!ids.at(i).isEmpty()) // an empty id would "occur" everywhere; it never counts
            order.append(i);
    }
    std::sort(order.begin(), order.end(), [&ids](int a, int b) { return ids.at(a) < ids.at(b); });

    // In sorted order, an id shares a trie state at some depth with an earlier id exactly
    // when it shares that many leading units with the id just before it. Building one
    // depth at a time, in sorted order, then numbers the states breadth first with the
    // children of each state consecutive and in ascending symbol order.
    const int sortedCount = order.size();
    std::vector<int> sharedWithPrevious(sortedCount, 0);
    int stateCount = 1;
    for (int k = 0; k < sortedCount; ++k) {
        const QString &id = ids.at(order.at(k));
        if (k > 0) {
            const QString &previous = ids.at(order.at(k - 1));
            const int limit = qMin(previous.size(), id.size());
            int common = 0;
            while (common < limit && previous.at(common) == id.at(common))
                ++common;
            sharedWithPrevious[k] = common;
        }
        stateCount += id.size() - sharedWithPrevious[k];
    }

    // Plain arrays here: the build touches every character of every id, and QVector's
    // detach checks were a large part of its cost.
    m_symbol.fill(0, stateCount);
    m_firstChild.fill(0, stateCount + 1); // child counts first, made into offsets below
    int *edgeSymbol = m_symbol.data();
    int *firstChild = m_firstChild.data();
    std::vector<int> endState(ids.size(), 0);
    std::vector<int> state(sortedCount, 0); // per sorted id: its state at the current depth
    std::vector<int> active(sortedCount); // sorted ids at least as long as the depth
    for (int k = 0; k < sortedCount; ++k)
        active[k] = k;
    int next = 1;
    for (int depth = 1; !active.empty(); ++depth) {
        int kept = 0;
        for (const int k : active) {
            const QString &id = ids.at(order.at(k));
            if (sharedWithPrevious[k] >= depth) {
                state[k] = state[k - 1]; // the previous id is as long, so already here
            } else {
                ++firstChild[state[k] + 1];
                const ushort unit = id.at(depth - 1).unicode();
                edgeSymbol[next] = unit < 256 ? m_latinSymbols.at(unit) : symbolOf(unit);
                state[k] = next++;
            }
            if (id.size() > depth)
                active[kept++] = k;
            else
                endState[order.at(k)] = state[k];
        }
        active.resize(kept);
    }
    firstChild[0] = 1;
    for (int s = 0; s < stateCount; ++s)
        firstChild[s + 1] += firstChild[s];

    m_firstIdEnding.fill(0, stateCount + 1);
    for (const int index : qAsConst(order))
        ++m_firstIdEnding[endState[index] + 1];
    for (int s = 0; s < stateCount; ++s)
        m_firstIdEnding[s + 1] += m_firstIdEnding[s];
    m_idsEnding.resize(order.size());
    QVector<int> idFill = m_firstIdEnding;
    for (const int index : qAsConst(order))
        m_idsEnding[idFill[endState[index]]++] = index;
}

void ContentIdScanner::buildLinks()
{
    const int stateCount = m_symbol.size();
    m_denseStates = qBound(1, denseEntryBudget / m_symbolCount, stateCount);
    m_dense.fill(0, m_denseStates * m_symbolCount);
    m_failure.fill(0, stateCount);
    m_outputLink.fill(-1, stateCount);
    m_reportable.fill(false, stateCount);

    // Breadth first, every failure link points to a smaller number, so what a state
    // falls back on is complete before the state itself is.
    for (int state = 0; state < stateCount; ++state) {
        const int first = m_firstChild.at(state);
        const int last = m_firstChild.at(state + 1);
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
}

void ContentIdScanner::buildShiftTable(const QStringList &ids)
{
    int shortest = maxWindow;
    for (const QString &id : ids) {
        if (!id.isEmpty())
            shortest = qMin(shortest, id.size());
    }
    m_window = shortest;
    m_blockLength = qMin(2, m_window);
    // A block seen nowhere in the ids' first m_window units lets the window move past it.
    m_shift.fill(quint8(m_window - m_blockLength + 1), 1 << shiftTableBits);
    quint8 *shift = m_shift.data();
    const QString *previous = nullptr;
    for (const QString &id : ids) {
        if (id.isEmpty() || (previous && QStringView(*previous).left(m_window) == QStringView(id).left(m_window)))
            continue;
        const ushort *units = id.utf16();
        for (int end = m_blockLength; end <= m_window; ++end) {
            quint8 &entry = shift[blockHash(units + end, m_blockLength)];
            entry = qMin(entry, quint8(m_window - end));
        }
        previous = &id;
    }
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
        const auto last = m_symbol.cbegin() + m_firstChild.at(state + 1);
        const auto it = std::lower_bound(first, last, symbol);
        if (it != last && *it == symbol)
            return int(it - m_symbol.cbegin());
        state = m_failure.at(state);
    }
}

QVector<bool> ContentIdScanner::occurrences(const QString &text) const
{
    QVector<bool> found(m_idCount, false);
    const int stateCount = m_symbol.size();
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
    const quint8 *shift = m_shift.constData();
    const int window = m_window;
    const int blockLength = m_blockLength;
    for (; unit != end; ++unit) {
        if (offset == 0 && inDenseRow) {
            // At the start nothing is under way, so no match can begin before here: jump
            // the window along until an id could start at its first position.
            for (;;) {
                if (end - unit < window)
                    return found;
                const int distance = shift[blockHash(unit + window, blockLength)];
                if (distance == 0)
                    break;
                unit += distance;
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
