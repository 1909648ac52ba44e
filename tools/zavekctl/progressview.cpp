#include "progressview.h"

#include <cstdio>
#include <unistd.h>

namespace {

const int barWidth = 24;

QString bar(uint value, uint total)
{
    const int filled = total == 0 ? 0 : int(qMin<quint64>(barWidth, quint64(value) * barWidth / total));
    return QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(barWidth - filled, QLatin1Char('.'))
        + QLatin1Char(']');
}

} // namespace

QString activityName(QMailServiceAction::Activity activity)
{
    switch (activity) {
    case QMailServiceAction::Pending: return QStringLiteral("pending");
    case QMailServiceAction::InProgress: return QStringLiteral("in progress");
    case QMailServiceAction::Successful: return QStringLiteral("successful");
    case QMailServiceAction::Failed: return QStringLiteral("failed");
    }
    return QStringLiteral("unknown");
}

ProgressView::ProgressView(QTextStream &out)
    : m_out(out)
    , m_terminal(isatty(fileno(stdout)))
{
}

QString ProgressView::prefix(ZavekServiceActionManager::Serial serial) const
{
    return QStringLiteral("  #%1 %2").arg(serial, 2).arg(m_labels.value(serial), -44);
}

void ProgressView::endOpenLine()
{
    if (m_lineOpen) {
        m_out << '\n';
        m_lineOpen = false;
    }
}

void ProgressView::requested(ZavekServiceActionManager::Serial serial, const QString &label, bool merged)
{
    endOpenLine();
    if (merged) {
        m_out << QStringLiteral("  #%1 %2").arg(serial, 2).arg(label, -44) << " merged into #" << serial
              << " (" << m_labels.value(serial) << ")\n";
    } else {
        m_labels.insert(serial, label);
        m_out << prefix(serial) << " requested\n";
    }
    m_out.flush();
}

void ProgressView::activity(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                            const QMailServiceAction::Status &status)
{
    endOpenLine();
    m_out << prefix(serial) << ' ' << activityName(activity);
    if (activity == QMailServiceAction::Failed && status.errorCode != QMailServiceAction::Status::ErrNoError)
        m_out << " (error " << int(status.errorCode) << (status.text.isEmpty() ? QString() : QStringLiteral(": ") + status.text) << ')';
    m_out << '\n';
    m_out.flush();
}

void ProgressView::progress(ZavekServiceActionManager::Serial serial, uint value, uint total)
{
    if (m_terminal) {
        m_out << '\r' << prefix(serial) << ' ' << bar(value, total) << ' ' << value << '/' << total;
        m_lineOpen = true;
    } else {
        m_out << prefix(serial) << " progress " << value << '/' << total << '\n';
    }
    m_out.flush();
}

void ProgressView::note(const QString &text)
{
    endOpenLine();
    m_out << text << '\n';
    m_out.flush();
}
