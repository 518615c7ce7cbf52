#include "platform/qt/history_window.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/history/history_export.h"
#include "platform/qt/screen_fit.h"

namespace quillet {
namespace {

// Each column's width, in average characters.
constexpr int kColumnChars[kHistoryColumnCount] = {19, 10, 14, 10, 10, 9, 9, 12, 19, 40};

// A name for a file made of order `order_id`'s mail: its letters, digits, '-', '_' and '.'.
QString MailFileName(const HistoryRow& row) {
    QString name;
    for (const QChar c : row.order_id) {
        name += c.isLetterOrNumber() || c == '-' || c == '_' || c == '.' ? c : QChar('_');
    }
    return QStringLiteral("order-%1-%2.eml").arg(name.left(40)).arg(row.id);
}

}  // namespace

HistoryWindow::HistoryWindow(const QString& journal_path, QWidget* parent)
    : QWidget(parent, Qt::Window),
      journal_(journal_path),
      model_(journal_, this),
      day_(new QDateEdit(QDate::currentDate(), this)),
      all_days_(new QCheckBox(tr("&All days"), this)),
      find_(new QLineEdit(this)),
      table_(new QTableView(this)),
      status_(new QLabel(this)),
      export_(new QPushButton(tr("&Export..."), this)),
      save_mail_(new QPushButton(tr("&Save Mail..."), this)),
      close_(new QPushButton(tr("Close"), this)),
      typing_(new QTimer(this)) {
    setWindowTitle(tr("History - Quillet"));
    setObjectName(QStringLiteral("History"));

    auto* day_label = new QLabel(tr("&Day:"), this);
    day_label->setBuddy(day_);
    day_->setCalendarPopup(true);
    day_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    day_->setEnabled(false);
    all_days_->setChecked(true);
    auto* find_label = new QLabel(tr("&Find:"), this);
    find_label->setBuddy(find_);
    find_->setPlaceholderText(tr("Order, symbol, line, reply..."));
    find_->setClearButtonEnabled(true);
    typing_->setSingleShot(true);
    typing_->setInterval(kTypingPauseMs);

    table_->setObjectName(QStringLiteral("HistoryTable"));
    table_->setAccessibleName(tr("Order events"));
    table_->setModel(&model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    // One height for every row, so that no row is read to lay the table out.
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(true);
    for (int c = 0; c < kHistoryColumnCount; ++c) {
        header->resizeSection(c, fontMetrics().averageCharWidth() * kColumnChars[c] + 12);
    }
    header->setSortIndicator(static_cast<int>(HistoryColumn::kTime), Qt::DescendingOrder);
    header->setSortIndicatorShown(true);
    header->setSectionsClickable(true);
    connect(header, &QHeaderView::sortIndicatorChanged, &model_, &HistoryModel::sort);

    export_->setAutoDefault(false);
    save_mail_->setAutoDefault(false);
    close_->setAutoDefault(false);
    save_mail_->setEnabled(false);

    auto* filters = new QHBoxLayout;
    filters->addWidget(day_label);
    filters->addWidget(day_);
    filters->addWidget(all_days_);
    filters->addSpacing(12);
    filters->addWidget(find_label);
    filters->addWidget(find_, 1);
    // A long status (a journal's path) wraps rather than widening the window past the screen.
    status_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    buttons->addWidget(export_);
    buttons->addWidget(save_mail_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(table_, 1);
    layout->addLayout(buttons);

    connect(all_days_, &QCheckBox::toggled, this, [this](bool all) {
        day_->setEnabled(!all);
        ApplyFilter();
    });
    connect(day_, &QDateEdit::dateChanged, this, &HistoryWindow::ApplyFilter);
    connect(find_, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    connect(find_, &QLineEdit::returnPressed, this, &HistoryWindow::ApplyFilter);
    connect(typing_, &QTimer::timeout, this, &HistoryWindow::ApplyFilter);
    connect(&model_, &HistoryModel::Refreshed, this, &HistoryWindow::ShowState);
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::ShowState);
    connect(export_, &QPushButton::clicked, this, &HistoryWindow::ChooseExportFile);
    connect(save_mail_, &QPushButton::clicked, this, &HistoryWindow::ChooseMailFile);
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, &HistoryWindow::ApplyFilter);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    // As much as the screen holds, on a screen too small for it: the table scrolls. Placed
    // before it shows, so that a window manager takes the place as given.
    resize(QSize(fontMetrics().averageCharWidth() * 190, fontMetrics().height() * 32));
    FitOnScreen(*this);
    ApplyFilter();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::ApplyFilter() {
    typing_->stop();
    notice_.clear();
    HistoryFilter filter = model_.filter();
    filter.text = find_->text().toStdString();
    filter.span.reset();
    if (!all_days_->isChecked()) {
        const QDate day = day_->date();
        filter.span = TimeSpan{day.startOfDay().toMSecsSinceEpoch(),
                               day.addDays(1).startOfDay().toMSecsSinceEpoch()};
    }
    model_.SetFilter(std::move(filter));
}

bool HistoryWindow::ShowOrder(const QString& order_id) {
    ApplyFilter();
    std::optional<int> row = model_.RowOfOrder(order_id);
    if (row && *row < 0 && model_.HasOrder(order_id)) {
        const QSignalBlocker quiet_days(all_days_);
        const QSignalBlocker quiet_text(find_);
        all_days_->setChecked(true);
        day_->setEnabled(false);
        find_->clear();
        ApplyFilter();
        row = model_.RowOfOrder(order_id);
    }
    if (!row || *row < 0) {
        notice_ = row ? tr("Order %1 has no row in the journal.").arg(order_id) : QString();
        ShowState();
        return false;
    }
    const QModelIndex index = model_.index(*row, 0);
    table_->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    table_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    return true;
}

const HistoryRow* HistoryWindow::SelectedRow() const {
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : model_.Row(rows.first().row());
}

void HistoryWindow::ShowState() {
    const HistoryRow* selected = SelectedRow();
    save_mail_->setEnabled(selected != nullptr && selected->has_message);
    export_->setEnabled(model_.rowCount() > 0);
    QString text = model_.error();
    if (text.isEmpty()) {
        text = model_.rowCount() == 1
                   ? tr("1 order event")
                   : tr("%1 order events").arg(QLocale().toString(model_.rowCount()));
    }
    if (!notice_.isEmpty()) {
        text += "  " + notice_;
    }
    status_->setText(text);
}

std::optional<QString> HistoryWindow::ExportTo(const QString& path) {
    return ExportHistoryCsv(journal_, model_.filter(), path);
}

std::optional<QString> HistoryWindow::SaveMailTo(const QString& path) {
    const HistoryRow* row = SelectedRow();
    if (row == nullptr || !row->has_message) {
        return tr("The selected row has no mail.");
    }
    const std::optional<QByteArray> message = journal_.Message(row->id);
    if (!message) {
        return journal_.error();
    }
    return SaveMessageFile(*message, path);
}

void HistoryWindow::ChooseExportFile() {
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Export History"), QDir::home().filePath(QStringLiteral("quillet-history.csv")),
        tr("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (const auto error = ExportTo(path)) {
        QMessageBox::warning(this, tr("Export History"), *error);
    }
}

void HistoryWindow::ChooseMailFile() {
    const HistoryRow* row = SelectedRow();
    if (row == nullptr) {
        return;
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Save Mail"),
                                                      QDir::home().filePath(MailFileName(*row)),
                                                      tr("Mail files (*.eml);;All files (*)"));
    if (path.isEmpty()) {
        return;
    }
    if (const auto error = SaveMailTo(path)) {
        QMessageBox::warning(this, tr("Save Mail"), *error);
    }
}

}  // namespace quillet
