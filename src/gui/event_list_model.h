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
// one by one. The rows are every line, or only the warnings and errors: the
// lines stay as they are, only what the view shows changes.
class EventListModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum class Filter { AllLines, WarningsAndErrors };

    explicit EventListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // A line; an error shows in red, a warning in dark yellow, a closing
    // line in bold.
    void append(const QString& line, EventMark mark = {});
    // Announces the lines appended since the last flush.
    void flush();

    // Every line appended, announced or not, whatever the filter.
    qsizetype lineCount() const { return qsizetype(m_ends.size()); }
    QString line(qsizetype index) const;

    // Which lines are rows; the view is reset, every line appended so far
    // announced.
    void setFilter(Filter filter);
    Filter filter() const { return m_filter; }
    // The line a row shows (-1 for no row).
    qsizetype lineOfRow(int row) const;

    // Lines of each tone appended so far (announced or not).
    qsizetype errorCount() const { return m_errors; }
    qsizetype warningCount() const { return m_warnings; }

signals:
    // The counts of errors and warnings have grown (sent once per batch).
    void countsChanged();

private:
    // How many rows the filter makes of the lines appended so far.
    qsizetype rowsAvailable() const;

    QByteArray m_text;
    std::vector<qsizetype> m_ends; // end offset of each line in m_text
    std::vector<quint8> m_marks;   // the tone of each line, with ClosingBit
    std::vector<int> m_marked;     // the lines that are warnings or errors
    qsizetype m_errors = 0;
    qsizetype m_warnings = 0;
    qsizetype m_countsShown = -1; // errors + warnings when countsChanged was last sent
    Filter m_filter = Filter::AllLines;
    int m_shown = 0; // rows announced to the views
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
