// The journal's rows as a Qt table model for the History window: the filter's rows are counted
// once per refresh, and rows are read from the journal a page at a time as the view asks for
// them, with the pages read last kept; so 100,000 rows open as fast as 100 and cost no more
// memory. Sorting is the journal's (ORDER BY), never done here.
#pragma once

#include <QAbstractTableModel>
#include <list>
#include <optional>
#include <unordered_map>
#include <vector>

#include "platform/history/history_query.h"
#include "platform/history/journal_reader.h"

namespace quillet {

class HistoryModel final : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int kPageRows = 128;
    static constexpr size_t kKeptPages = 32;

    // Reads `journal`, which must outlive the model; shows no rows until the first refresh.
    explicit HistoryModel(JournalReader& journal, QObject* parent = nullptr);

    // Shows the rows of `filter` (its last_id is set here, to the journal's newest row), or
    // no rows when the journal cannot be read: then false, and error() says why.
    bool SetFilter(HistoryFilter filter);
    // The same filter over the journal as it is now.
    bool Refresh();
    // The filter shown, with the last_id of the last refresh.
    const HistoryFilter& filter() const { return filter_; }
    // Why the last refresh failed, or else why a row could not be read since; empty when all
    // worked.
    const QString& error() const { return error_.isEmpty() ? read_error_ : error_; }

    // Row `row`, read when not at hand; nullptr out of range, when the journal cannot be read,
    // or when the row has gone from it since the refresh.
    const HistoryRow* Row(int row) const;
    // Where the newest row of order `order_id` stands; -1 when the filter does not show it or
    // the order has no row up to the last refresh, nothing when the journal cannot be read.
    std::optional<int> RowOfOrder(const QString& order_id);
    // Whether the journal holds a row of `order_id` up to the last refresh, whatever the filter.
    bool HasOrder(const QString& order_id);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    // Display: the cell's text (history_cells.h); tips: the order line and the time to the
    // millisecond on the time and order cells, each attempt on the mail cell, the whole reply
    // on the reply cell.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // Sorts by the column in the journal, then refreshes.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

  signals:
    // After every refresh, whether it worked or not.
    void Refreshed();

  private:
    QString AttemptsTip(const HistoryRow& row) const;

    JournalReader& journal_;
    HistoryFilter filter_;
    int rows_ = 0;
    QString error_;
    mutable QString read_error_;
    mutable std::unordered_map<int, std::vector<HistoryRow>> pages_;  // by page number
    mutable std::list<int> recent_;  // the pages kept, the one used last first
};

}  // namespace quillet
