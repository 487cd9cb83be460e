#include "gui/event_list_model.h"

#include <QMetaObject>

#include <limits>

namespace rio::gui {

EventListModel::EventListModel(QObject* parent) : QAbstractListModel(parent) {}

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.column() != 0 || index.row() >= m_shown)
        return {};
    return line(index.row());
}

QString EventListModel::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    const qsizetype begin = index == 0 ? 0 : m_ends[size_t(index - 1)];
    return QString::fromUtf8(m_text.constData() + begin, m_ends[size_t(index)] - begin);
}

void EventListModel::append(const QString& line)
{
    // A view counts rows in int; lines past that are dropped rather than
    // overflowing the row numbers.
    if (lineCount() >= std::numeric_limits<int>::max())
        return;
    m_text.append(line.toUtf8());
    m_ends.push_back(m_text.size());
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(this, &EventListModel::flush, Qt::QueuedConnection);
    }
}

void EventListModel::flush()
{
    m_flushPosted = false;
    const int total = int(lineCount());
    if (total == m_shown)
        return;
    beginInsertRows(QModelIndex(), m_shown, total - 1);
    m_shown = total;
    endInsertRows();
}

} // namespace rio::gui
