#include "platform/history/history_model.h"

#include <algorithm>
#include <climits>

#include "platform/history/history_cells.h"

namespace quillet {

HistoryModel::HistoryModel(JournalReader& journal, QObject* parent)
    : QAbstractTableModel(parent), journal_(journal) {}

bool HistoryModel::SetFilter(HistoryFilter filter) {
    beginResetModel();
    filter_ = std::move(filter);
    pages_.clear();
    recent_.clear();
    rows_ = 0;
    read_error_.clear();
    const std::optional<int64_t> last = journal_.LastId();
    filter_.last_id = last.value_or(0);
    const std::optional<int64_t> count = last ? journal_.Count(filter_) : std::nullopt;
    error_ = count ? QString() : journal_.error();
    rows_ = static_cast<int>(std::min<int64_t>(count.value_or(0), INT_MAX));
    endResetModel();
    emit Refreshed();
    return error_.isEmpty();
}

bool HistoryModel::Refresh() {
    return SetFilter(filter_);
}

const HistoryRow* HistoryModel::Row(int row) const {
    if (row < 0 || row >= rows_) {
        return nullptr;
    }
    const int page = row / kPageRows;
    auto found = pages_.find(page);
    if (found == pages_.end()) {
        std::vector<HistoryRow> rows;
        rows.reserve(kPageRows);
        if (!journal_.ForEachRow(filter_, int64_t{page} * kPageRows, kPageRows,
                                 [&rows](HistoryRow&& r) { rows.push_back(std::move(r)); })) {
            read_error_ = journal_.error();
            return nullptr;
        }
        if (pages_.size() >= kKeptPages) {
            pages_.erase(recent_.back());
            recent_.pop_back();
        }
        found = pages_.emplace(page, std::move(rows)).first;
        recent_.push_front(page);
    } else if (recent_.front() != page) {
        recent_.remove(page);
        recent_.push_front(page);
    }
    const auto at = static_cast<size_t>(row % kPageRows);
    return at < found->second.size() ? &found->second[at] : nullptr;
}

std::optional<int> HistoryModel::RowOfOrder(const QString& order_id) {
    const std::optional<int64_t> latest = journal_.LatestOfOrder(order_id, filter_.last_id);
    if (!latest) {
        return std::nullopt;
    }
    if (*latest == 0) {
        return -1;
    }
    const std::optional<int64_t> position = journal_.Position(filter_, *latest);
    if (!position) {
        return std::nullopt;
    }
    return *position < rows_ ? static_cast<int>(*position) : -1;
}

bool HistoryModel::HasOrder(const QString& order_id) {
    return journal_.LatestOfOrder(order_id, filter_.last_id).value_or(0) > 0;
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int HistoryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kHistoryColumnCount;
}

QString HistoryModel::AttemptsTip(const HistoryRow& row) const {
    const auto attempts = journal_.Attempts(row.id);
    if (!attempts) {
        return journal_.error();
    }
    QStringList lines;
    for (const HistoryAttempt& attempt : *attempts) {
        lines << QStringLiteral("%1  %2%3")
                     .arg(HistoryTime(attempt.at_ms, TimeStyle::kScreen), attempt.outcome,
                          attempt.reason.isEmpty() ? QString() : ": " + attempt.reason);
    }
    return lines.join('\n');
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() < 0 || index.column() >= kHistoryColumnCount) {
        return {};
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::TextAlignmentRole) {
        return {};
    }
    const auto column = static_cast<HistoryColumn>(index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool number = column == HistoryColumn::kQuantity || column == HistoryColumn::kPrice;
        return QVariant::fromValue(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    }
    const HistoryRow* row = Row(index.row());
    if (row == nullptr) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return HistoryCellText(*row, column, TimeStyle::kScreen);
    }
    switch (column) {
        case HistoryColumn::kTime:
        case HistoryColumn::kOrder:
            return HistoryTime(row->at_ms, TimeStyle::kExport) +
                   (row->line.isEmpty() ? QString() : "\n" + row->line);
        case HistoryColumn::kEvent:
            return row->source == QStringLiteral("fix")       ? tr("From the FIX drop copy")
                   : row->source == QStringLiteral("http")    ? tr("From the local HTTP endpoint")
                   : row->source == QStringLiteral("quillet") ? tr("Quillet's own mail")
                                                              : tr("From the control socket");
        case HistoryColumn::kMailState:
            return AttemptsTip(*row);
        case HistoryColumn::kServerReply:
            return row->server_reply;
        default:
            return {};
    }
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kHistoryColumnCount) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    return HistoryColumnTitle(static_cast<HistoryColumn>(section));
}

void HistoryModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kHistoryColumnCount) {
        return;
    }
    HistoryFilter filter = filter_;
    filter.sort = static_cast<HistoryColumn>(column);
    filter.descending = order == Qt::DescendingOrder;
    SetFilter(std::move(filter));
}

}  // namespace quillet
