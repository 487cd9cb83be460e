#include "gui/event_list_model.h"

#include <QAbstractItemView>
#include <QColor>
#include <QFont>
#include <QHelpEvent>
#include <QMetaObject>
#include <QToolTip>

#include <limits>

namespace rio::gui {

namespace {
constexpr quint8 ClosingBit = 0x80;
} // namespace

EventListModel::EventListModel(QObject* parent) : QAbstractListModel(parent) {}

int EventListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_shown;
}

QVariant EventListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.column() != 0 || index.row() >= m_shown)
        return {};
    const qsizetype lineIndex = lineOfRow(index.row());
    const quint8 mark = m_marks[size_t(lineIndex)];
    switch (role) {
    case Qt::DisplayRole:
        return line(lineIndex);
    case Qt::ForegroundRole:
        switch (Tone(mark & ~ClosingBit)) {
        case Tone::Error:
            return QColor(0xb0, 0x00, 0x00);
        case Tone::Warning:
            return QColor(0x8a, 0x6d, 0x00);
        case Tone::Plain:
            break;
        }
        return {};
    case Qt::FontRole:
        if (mark & ClosingBit) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QString EventListModel::line(qsizetype index) const
{
    if (index < 0 || index >= lineCount())
        return {};
    const qsizetype begin = index == 0 ? 0 : m_ends[size_t(index - 1)];
    return QString::fromUtf8(m_text.constData() + begin, m_ends[size_t(index)] - begin);
}

void EventListModel::append(const QString& line, EventMark mark)
{
    // A view counts rows in int; lines past that are dropped rather than
    // overflowing the row numbers.
    if (lineCount() >= std::numeric_limits<int>::max())
        return;
    m_text.append(line.toUtf8());
    m_ends.push_back(m_text.size());
    m_marks.push_back(quint8(int(mark.tone) | (mark.closing ? ClosingBit : 0)));
    if (mark.tone != Tone::Plain) {
        m_marked.push_back(int(lineCount() - 1));
        ++(mark.tone == Tone::Error ? m_errors : m_warnings);
    }
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(this, &EventListModel::flush, Qt::QueuedConnection);
    }
}

void EventListModel::flush()
{
    m_flushPosted = false;
    const int total = int(rowsAvailable());
    if (total != m_shown) {
        beginInsertRows(QModelIndex(), m_shown, total - 1);
        m_shown = total;
        endInsertRows();
    }
    if (m_errors + m_warnings != m_countsShown) {
        m_countsShown = m_errors + m_warnings;
        emit countsChanged();
    }
}

qsizetype EventListModel::rowsAvailable() const
{
    return m_filter == Filter::AllLines ? lineCount() : qsizetype(m_marked.size());
}

qsizetype EventListModel::lineOfRow(int row) const
{
    if (row < 0 || row >= m_shown)
        return -1;
    return m_filter == Filter::AllLines ? row : m_marked[size_t(row)];
}

void EventListModel::setFilter(Filter filter)
{
    if (filter == m_filter)
        return;
    beginResetModel();
    m_filter = filter;
    m_shown = int(rowsAvailable());
    endResetModel();
}

bool EventLineDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                  const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const QString text = index.data().toString();
    QStyleOptionViewItem shown = option;
    initStyleOption(&shown, index);
    if (shown.fontMetrics.horizontalAdvance(text) + 8 > view->viewport()->width()) {
        QToolTip::showText(event->globalPos(), text, view);
        return true;
    }
    QToolTip::hideText();
    event->ignore();
    return true;
}

} // namespace rio::gui
