#include "platform/qt/main_window.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "app/shell/main_layout.h"
#include "platform/qt/fonts.h"
#include "platform/qt/screen_fit.h"
#include "platform/qt/twips.h"

namespace quillet {
namespace {

constexpr double kClientWidth = 4815;
constexpr double kClientHeight = 3075;
// Label1's place; the set-up link shares its row.
constexpr double kLabelLeft = 90;
constexpr double kLabelTop = 60;
constexpr double kLabelHeight = 195;

}  // namespace

MainWindow::MainWindow(formQuillet& form)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      form_(form),
      model_(form.List1, this),
      list_(new QListView(this)),
      label_(new QLabel(QStringLiteral("Orders received from Corvana:"), this)),
      button_(new QPushButton(QStringLiteral("E-mail Setup..."), this)),
      setup_link_(new QLabel(QStringLiteral("<a href=\"setup\">Set up e-mail…</a>"), this)) {
    setWindowTitle(QStringLiteral("Corvana - Quillet"));
    setFont(TahomaFont());
    const double ppt = PixelsPerTwip(*this);

    list_->setObjectName(QStringLiteral("List1"));
    list_->setAccessibleName(QStringLiteral("Orders received from Corvana"));
    list_->setModel(&model_);
    list_->setUniformItemSizes(true);  // keeps a million lines quick to lay out
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PlaceInTwips(*list_, kListLeft, kListTop, 4605, 1620, ppt);

    label_->setObjectName(QStringLiteral("Label1"));
    PlaceInTwips(*label_, kLabelLeft, kLabelTop, 2925, kLabelHeight, ppt);

    button_->setObjectName(QStringLiteral("cmdEmailSetup"));
    button_->setAutoDefault(false);
    PlaceInTwips(*button_, 1800, 2310, kButtonWidth, kButtonHeight, ppt);
    connect(button_, &QPushButton::clicked, this, [this] { form_.cmdEmailSetup_Click(); });

    // Until e-mail is set up at a first start, the link offers it too.
    setup_link_->setObjectName(QStringLiteral("SetupLink"));
    setup_link_->setAccessibleName(QStringLiteral("Set up e-mail"));
    setup_link_->setToolTip(
        QStringLiteral("E-mail is not set up: orders are listed, but not mailed."));
    setup_link_->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                         Qt::LinksAccessibleByKeyboard);
    setup_link_->setFocusPolicy(Qt::TabFocus);
    setup_link_->resize(setup_link_->sizeHint().width(), TwipsToPixels(kLabelHeight, ppt));
    connect(setup_link_, &QLabel::linkActivated, this, [this] { form_.cmdEmailSetup_Click(); });
    const auto show_setup_offer = [this] { setup_link_->setVisible(form_.MailSetupOffered()); };
    show_setup_offer();
    setup_offer_ = form_.MailSetupOfferChanged.Subscribe(show_setup_offer);

    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list_, &QListView::customContextMenuRequested, this, &MainWindow::ShowLineMenu);
    auto* history = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_H), this);
    connect(history, &QShortcut::activated, this, [this] {
        if (show_history_) {
            show_history_();
        }
    });

    // The FIX drop copy's session, in the window's tip.
    const auto show_fix_state = [this] {
        setToolTip(QString::fromStdString("FIX drop copy: " + form_.FixState() +
                                          (form_.FixDetail().empty() ? "" : " - ") +
                                          form_.FixDetail()));
    };
    show_fix_state();
    fix_state_ = form_.FixStateChanged.Subscribe(show_fix_state);

    setTabOrder(list_, button_);
    setTabOrder(button_, setup_link_);
    ShowMarksInPalette();
    resize(TwipsToPixels(kClientWidth, ppt), TwipsToPixels(kClientHeight, ppt));
    PlaceSetupLink();
}

void MainWindow::PlaceSetupLink() {
    const double ppt = PixelsPerTwip(*this);
    setup_link_->move(width() - setup_link_->width() - TwipsToPixels(kLabelLeft, ppt),
                      TwipsToPixels(kLabelTop, ppt));
}

void MainWindow::ShowMarksInPalette() {
    model_.SetColours(list_->palette().color(QPalette::Base),
                      list_->palette().color(QPalette::Text));
}

void MainWindow::ShowLineMenu(const QPoint& at) {
    const QModelIndex index = list_->indexAt(at);
    if (!index.isValid() && !show_history_) {
        return;
    }
    const auto line = static_cast<size_t>(index.row());
    const DeliveryState state = index.isValid() ? form_.List1.Delivery(line) : DeliveryState::None;
    QMenu menu(this);
    const QAction* again = state == DeliveryState::Waiting || state == DeliveryState::Failed
                               ? menu.addAction(QStringLiteral("Send Again"))
                               : nullptr;
    const QAction* copy = index.isValid() ? menu.addAction(QStringLiteral("Copy")) : nullptr;
    if (show_history_ && index.isValid()) {
        menu.addSeparator();
    }
    const QAction* history = show_history_ ? menu.addAction(QStringLiteral("History...")) : nullptr;
    const QAction* chosen = menu.exec(list_->viewport()->mapToGlobal(at));
    if (chosen == nullptr) {
        return;
    }
    if (chosen == again) {
        form_.SendAgain(line);
    } else if (chosen == copy) {
        const auto text = form_.List1.List(line);
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    } else if (chosen == history) {
        show_history_();
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    FitOnScreen(*this);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ApplyResizeRule();
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && !isMinimized()) {
        ApplyResizeRule();  // restored: lay out again
    } else if (event->type() == QEvent::PaletteChange) {
        ShowMarksInPalette();
    }
}

void MainWindow::ApplyResizeRule() {
    const double ppt = PixelsPerTwip(*this);
    const QRect outer = frameGeometry();
    const int frame_width = outer.width() - width();
    const int frame_height = outer.height() - height();
    const MainWindowSize size{isMinimized(), PixelsToTwips(outer.width(), ppt),
                              PixelsToTwips(outer.height(), ppt), PixelsToTwips(width(), ppt),
                              PixelsToTwips(height(), ppt)};
    const ResizeAction action = MainResizeRule(size);
    if (const auto* w = std::get_if<SetOuterWidth>(&action)) {
        resize(TwipsToPixels(w->width, ppt) - frame_width, height());
    } else if (const auto* h = std::get_if<SetOuterHeight>(&action)) {
        resize(width(), TwipsToPixels(h->height, ppt) - frame_height);
    } else if (const auto* layout = std::get_if<MainLayout>(&action)) {
        PlaceInTwips(*list_, kListLeft, kListTop, layout->list_width, layout->list_height, ppt);
        button_->move(TwipsToPixels(layout->button_left, ppt),
                      TwipsToPixels(layout->button_top, ppt));
        PlaceSetupLink();
    }
}

void MainWindow::Unload() {
    unloading_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!unloaded_ && !unloading_ && may_close_ && !may_close_()) {
        event->ignore();
        return;
    }
    // Unloading the window unloads the setup dialog, which saves the settings.
    if (!unloaded_) {
        unloaded_ = true;
        form_.Form_Unload();
    }
    event->accept();
    // The program ends with its main window, even while another window shows or it is hidden.
    QCoreApplication::quit();
}

}  // namespace quillet
