#pragma once

#include "context/host.h"

#include <QAbstractListModel>
#include <QByteArray>
#include <QStyledItemDelegate>

#include <vector>

namespace rio::gui {

// The lines of the event list: append-only, kept as one UTF-8 block so that a
// million lines cost little memory. New lines reach the view in batches: the
// rows are announced once per pass of the event loop (or by flush()), never
// one by one.
class EventListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit EventListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // A line; an error shows in red, a warning in dark yellow, a closing
    // line in bold.
    void append(const QString& line, EventMark mark = {});
    // Announces the lines appended since the last flush.
    void flush();

    // Every line appended, announced or not.
    qsizetype lineCount() const { return qsizetype(m_ends.size()); }
    QString line(qsizetype index) const;

private:
    QByteArray m_text;
    std::vector<qsizetype> m_ends; // end offset of each line in m_text
    std::vector<quint8> m_marks;   // the tone of each line, with ClosingBit
    int m_shown = 0;               // rows announced to the views
    bool m_flushPosted = false;
};

// Draws the lines as the default does; a tooltip shows the whole line where
// the list's width cuts it.
class EventLineDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

} // namespace rio::gui
