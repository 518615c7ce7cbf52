#include "platform/qt/accounts_window.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "accounts/account_list_layout.h"
#include "platform/qt/dialog_keys.h"
#include "platform/qt/fonts.h"
#include "platform/qt/screen_fit.h"
#include "platform/qt/twips.h"

namespace quillet {
namespace {

constexpr double kInnerWidth = 10305;
constexpr double kInnerHeight = 3795;

}  // namespace

AccountsWindow::AccountsWindow(formAccounts& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      form_(form) {
    setWindowTitle(QStringLiteral("Select E-mail Account"));
    setFont(TahomaFont());
    const double ppt = PixelsPerTwip(*this);

    Label1 = new QLabel(QString::fromStdString(form.Label1.Caption()), this);
    Label1->move(TwipsToPixels(120, ppt), TwipsToPixels(60, ppt));
    Label1->adjustSize();

    lstv = new QTreeWidget(this);
    lstv->setObjectName(QStringLiteral("lstv"));
    lstv->setAccessibleName(QStringLiteral("E-mail accounts"));
    lstv->setRootIsDecorated(false);
    lstv->setSelectionMode(QAbstractItemView::SingleSelection);
    lstv->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstv->setSortingEnabled(false);
    lstv->header()->setSectionsClickable(false);
    lstv->header()->setStretchLastSection(false);
    lstv->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    PlaceInTwips(*lstv, kAccountsListLeft, kAccountsListTop, 10245, 2865, ppt);

    const char* captions[] = {"OK", "Cancel"};
    const double lefts[] = {3240, 5190};
    for (int16_t index = 0; index < 2; ++index) {
        auto* button = new QPushButton(QString::fromUtf8(captions[index]), this);
        button->setAutoDefault(false);
        button->setDefault(false);
        PlaceInTwips(*button, lefts[index], 3240, kAccountsButtonWidth, kAccountsButtonHeight, ppt);
        connect(button, &QPushButton::clicked, this,
                [this, index] { form_.cmdSelect_Click(index); });
        cmdSelect[index] = button;
    }
    setTabOrder(lstv, cmdSelect[0]);
    setTabOrder(cmdSelect[0], cmdSelect[1]);

    ShowList();
    list_shown_ = form_.lstv.Observe([this] { ShowList(); });
    connect(lstv, &QTreeWidget::currentItemChanged, this, [this] {
        const int row = lstv->indexOfTopLevelItem(lstv->currentItem());
        if (row != form_.lstv.SelectedIndex()) {
            form_.lstv.SetSelectedIndex(row);
        }
    });
    // On a screen too small for it, as large as the screen holds; the layout follows the size.
    resize(QSize(TwipsToPixels(kInnerWidth, ppt), TwipsToPixels(kInnerHeight, ppt))
               .boundedTo(ClientRoom(*this)));
}

void AccountsWindow::ShowList() {
    const ListView& list = form_.lstv;
    const double ppt = PixelsPerTwip(*this);
    QSignalBlocker block(lstv);
    QStringList headers;
    for (int i = 0; i < list.ColumnCount(); ++i) {
        headers << QString::fromStdString(list.ColumnHeader(i).caption);
    }
    lstv->setHeaderLabels(headers);
    if (lstv->topLevelItemCount() != list.ListCount()) {
        lstv->clear();
        for (const auto& row : list.Rows()) {
            QStringList texts;
            for (const auto& text : row) {
                texts << QString::fromStdString(text);
            }
            lstv->addTopLevelItem(new QTreeWidgetItem(texts));
        }
    }
    for (int i = 0; i < list.ColumnCount(); ++i) {
        const float width = list.ColumnHeader(i).width;
        if (width >= 0) {
            lstv->header()->resizeSection(i, TwipsToPixels(width, ppt));
        }
    }
    if (list.SelectedIndex() >= 0 && list.SelectedIndex() < lstv->topLevelItemCount()) {
        lstv->setCurrentItem(lstv->topLevelItem(list.SelectedIndex()));
    }
}

void AccountsWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const double ppt = PixelsPerTwip(*this);
    // Positions are stored in whole pixels; Cancel and the list follow OK as it was stored.
    const auto stored = [ppt](float twips) {
        return PixelsToTwips(TwipsToPixels(twips, ppt), ppt);
    };
    const AccountsLayout l =
        AccountsResizeRule(PixelsToTwips(width(), ppt), PixelsToTwips(height(), ppt), stored);
    cmdSelect[0]->move(TwipsToPixels(l.ok_left, ppt), TwipsToPixels(l.ok_top, ppt));
    cmdSelect[1]->move(TwipsToPixels(l.cancel_left, ppt), TwipsToPixels(l.cancel_top, ppt));
    lstv->resize(TwipsToPixels(l.list_width, ppt), TwipsToPixels(l.list_height, ppt));
}

void AccountsWindow::keyPressEvent(QKeyEvent* event) {
    // Neither button answers Enter or Escape by itself.
    if (IsDefaultButtonKey(*event)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillet
