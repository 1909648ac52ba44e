#include "zavekcontentidscanner_p.h"

#include <QHash>

#include <algorithm>

namespace ZavekUtils {
namespace Internal {

namespace {

// Dense transition entries allowed per scanner (4 bytes each). The shallow states,
// where the automaton spends nearly all its time on real text, fit easily; very large or
// exotic id sets keep their deeper states sparse instead of taking megabytes.
const int denseEntryBudget = 1 << 18;

} // namespace

ContentIdScanner::ContentIdScanner(const QStringList &ids)
    : m_idCount(ids.size())
    , m_latinSymbols(256, 0)
{
    // Symbols: one per distinct code unit used by any id.
    QHash<ushort, int> wide;
    for (const QString &id : ids) {
        for (const QChar c : id) {
            const ushort unit = c.unicode();
            if (unit < 256) {
                if (m_latinSymbols[unit] == 0)
                    m_latinSymbols[unit] = m_symbolCount++;
            } else if (!wide.contains(unit)) {
                wide.insert(unit, m_symbolCount++);
            }
        }
    }
    m_wideSymbols.reserve(wide.size());
    for (auto it = wide.cbegin(); it != wide.cend(); ++it)
        m_wideSymbols.append(qMakePair(it.key(), it.value()));
    std::sort(m_wideSymbols.begin(), m_wideSymbols.end());

    m_children.append(QVector<Edge>());
    m_idsEndingAt.append(QVector<int>());
    for (int i = 0; i < ids.size(); ++i)
        addId(i, ids.at(i));
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

void ContentIdScanner::addId(int idIndex, const QString &id)
{
    if (id.isEmpty())
        return; // an empty id would "occur" everywhere; it never counts as referenced
    int state = 0;
    for (const QChar c : id) {
        const int symbol = symbolOf(c.unicode());
        QVector<Edge> &edges = m_children[state];
        auto it = std::lower_bound(edges.begin(), edges.end(), symbol,
                                   [](const Edge &edge, int wanted) { return edge.symbol < wanted; });
        if (it != edges.end() && it->symbol == symbol) {
            state = it->target;
            continue;
        }
        const int created = m_children.size();
        edges.insert(it, Edge{symbol, created});
        m_children.append(QVector<Edge>());
        m_idsEndingAt.append(QVector<int>());
        state = created;
    }
    m_idsEndingAt[state].append(idIndex);
}

void ContentIdScanner::buildLinks()
{
    // Renumber breadth first, so that every failure link points to a smaller number and
    // the dense rows cover exactly the shallowest states.
    const int stateCount = m_children.size();
    QVector<int> order;
    order.reserve(stateCount);
    order.append(0);
    for (int i = 0; i < order.size(); ++i) {
        for (const Edge &edge : qAsConst(m_children[order.at(i)]))
            order.append(edge.target);
    }
    QVector<int> renumbered(stateCount);
    for (int i = 0; i < stateCount; ++i)
        renumbered[order.at(i)] = i;
    QVector<QVector<Edge>> children(stateCount);
    QVector<QVector<int>> idsEndingAt(stateCount);
    for (int old = 0; old < stateCount; ++old) {
        QVector<Edge> edges = m_children.at(old);
        for (Edge &edge : edges)
            edge.target = renumbered.at(edge.target);
        children[renumbered.at(old)] = edges;
        idsEndingAt[renumbered.at(old)] = m_idsEndingAt.at(old);
    }
    m_children = children;
    m_idsEndingAt = idsEndingAt;

    m_denseStates = qBound(1, denseEntryBudget / m_symbolCount, stateCount);
    m_dense.fill(0, m_denseStates * m_symbolCount);
    m_failure.fill(0, stateCount);
    m_outputLink.fill(-1, stateCount);

    for (int state = 0; state < stateCount; ++state) {
        if (state < m_denseStates) {
            int *row = m_dense.data() + state * m_symbolCount;
            if (state != 0) {
                const int *fallback = m_dense.constData() + m_failure.at(state) * m_symbolCount;
                std::copy(fallback, fallback + m_symbolCount, row);
            }
            for (const Edge &edge : qAsConst(m_children.at(state)))
                row[edge.symbol] = edge.target;
        }
        for (const Edge &edge : qAsConst(m_children.at(state))) {
            const int failure = (state == 0) ? 0 : step(m_failure.at(state), edge.symbol);
            m_failure[edge.target] = failure;
            m_outputLink[edge.target] =
                m_idsEndingAt.at(failure).isEmpty() ? m_outputLink.at(failure) : failure;
        }
    }

    m_reportable.fill(false, stateCount);
    for (int state = 0; state < stateCount; ++state)
        m_reportable[state] = !m_idsEndingAt.at(state).isEmpty() || m_outputLink.at(state) != -1;
}

int ContentIdScanner::step(int state, int symbol) const
{
    for (;;) {
        if (state < m_denseStates)
            return m_dense.at(state * m_symbolCount + symbol);
        const QVector<Edge> &edges = m_children.at(state);
        const auto it = std::lower_bound(edges.cbegin(), edges.cend(), symbol,
                                         [](const Edge &edge, int wanted) { return edge.symbol < wanted; });
        if (it != edges.cend() && it->symbol == symbol)
            return it->target;
        state = m_failure.at(state);
    }
}

QVector<bool> ContentIdScanner::occurrences(const QString &text) const
{
    QVector<bool> found(m_idCount, false);
    const int stateCount = m_children.size();
    if (stateCount <= 1)
        return found;

    QVector<bool> reported(stateCount, false);
    const int *dense = m_dense.constData();
    const int *latin = m_latinSymbols.constData();
    const int symbolCount = m_symbolCount;
    const int denseStates = m_denseStates;
    const bool *isReportable = m_reportable.constData();

    int state = 0;
    const ushort *unit = text.utf16();
    const ushort *end = unit + text.size();
    for (; unit != end; ++unit) {
        const int symbol = (*unit < 256) ? latin[*unit] : symbolOf(*unit);
        if (symbol == 0) {
            state = 0;
            continue;
        }
        state = (state < denseStates) ? dense[state * symbolCount + symbol] : step(state, symbol);
        if (!isReportable[state] || reported.at(state))
            continue;
        // Everything on the output chain below an already reported state was reported
        // with it, so each state is walked at most once per scan.
        for (int s = state; s != -1 && !reported.at(s); s = m_outputLink.at(s)) {
            reported[s] = true;
            for (const int id : m_idsEndingAt.at(s))
                found[id] = true;
        }
    }
    return found;
}

} // namespace Internal
} // namespace ZavekUtils
