#ifndef ZAVEKCTL_PROGRESSVIEW_H
#define ZAVEKCTL_PROGRESSVIEW_H

#include <zavekserviceactionmanager.h>

#include <QHash>
#include <QTextStream>

// Shows each serial's activity and progress as it happens: a bar redrawn in place on a
// terminal, one plain line per event otherwise (logs, pipes, tests).
class ProgressView
{
public:
    explicit ProgressView(QTextStream &out);

    void requested(ZavekServiceActionManager::Serial serial, const QString &label, bool merged);
    void activity(ZavekServiceActionManager::Serial serial, QMailServiceAction::Activity activity,
                  const QMailServiceAction::Status &status);
    void progress(ZavekServiceActionManager::Serial serial, uint value, uint total);
    // A line of narration between the events.
    void note(const QString &text);

private:
    QString prefix(ZavekServiceActionManager::Serial serial) const;
    void endOpenLine();

    QTextStream &m_out;
    bool m_terminal;
    bool m_lineOpen = false;
    QHash<ZavekServiceActionManager::Serial, QString> m_labels;
};

QString activityName(QMailServiceAction::Activity activity);

#endif // ZAVEKCTL_PROGRESSVIEW_H
