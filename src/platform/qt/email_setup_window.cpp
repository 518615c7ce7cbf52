#include "platform/qt/email_setup_window.h"

#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <functional>

#include "platform/qt/dialog_keys.h"
#include "platform/qt/fonts.h"
#include "platform/qt/screen_fit.h"
#include "platform/qt/status_colour.h"
#include "platform/qt/twips.h"
#include "settings/setup_dialog_slot.h"

namespace quillet {
namespace {

constexpr double kClientWidth = 7965;
constexpr double kClientHeight = 6570;
constexpr double kLogExtraHeight = 450;   // two more lines for the status line, which wraps
constexpr double kHttpRowHeight = 450;    // the HTTP endpoint's row, below the status line
constexpr double kTokenRowHeight = 420;   // the token command's row, below the HTTP row
constexpr double kRulesRowHeight = 450;   // the recipients' rules, below the token row
constexpr double kLimitsRowHeight = 750;  // the limits' rows, below the rules' row
constexpr double kWatchRowHeight = 450;   // "Alarm and Summary...", below the limits' row

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

Qt::CheckState ToCheckState(int16_t value) {
    return value == 0 ? Qt::Unchecked : value == 1 ? Qt::Checked : Qt::PartiallyChecked;
}

// Keeps a line edit and a text box in step: the form's changes show, the user's edits go in.
void BindText(QLineEdit* edit, TextBox& box, formEmailSetup* const& form,
              std::vector<Subscription>& subscriptions) {
    auto show = [edit, &box] {
        if (edit->text() != Q(box.Text())) {
            edit->setText(Q(box.Text()));
        }
        edit->setEnabled(box.Enabled());
    };
    show();
    subscriptions.push_back(box.Observe(show));
    subscriptions.push_back(box.OnFocus([edit] { edit->setFocus(); }));
    QObject::connect(edit, &QLineEdit::textEdited, edit, [&box, &form](const QString& text) {
        if (form) {
            box.SetText(text.toStdString());
        }
    });
}

// A check box shows 0, 1 or 2; a click by the user clears a set box and checks a clear one.
void BindCheck(QCheckBox* check, CheckBox& box, formEmailSetup* const& form,
               std::vector<Subscription>& subscriptions) {
    auto show = [check, &box] { check->setCheckState(ToCheckState(box.Value())); };
    show();
    subscriptions.push_back(box.Observe(show));
    QObject::connect(check, &QCheckBox::clicked, check, [check, &box, &form] {
        if (form) {
            box.SetValue(box.IsOn() ? 0 : 1);
            check->setCheckState(ToCheckState(box.Value()));
        }
    });
}

}  // namespace

EmailSetupWindow::EmailSetupWindow(formEmailSetup& form, SetupDialogSlot& slot, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      form_(&form),
      slot_(slot) {
    setWindowTitle(QStringLiteral("E-Mail Setup"));
    setFont(TahomaFont());
    Build();
    FitToScreen();
    Bind();
}

void EmailSetupWindow::FitToScreen() {
    // The controls, placed above on the dialog, go onto a page that scrolls on a screen too small
    // for it. Moving them within the window keeps their tab order.
    const QSize full = size();
    const QList<QWidget*> controls = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    auto* page = new QWidget;
    page->setFixedSize(full);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("page"));
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);  // the page's fixed size: no scroll bar where it fits
    scroll->setWidget(page);
    for (QWidget* control : controls) {
        control->setParent(page);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    const QSize room = ClientRoom(*this);
    if (full.width() <= room.width() && full.height() <= room.height()) {
        setFixedSize(full);  // it fits: as it always was
        return;
    }
    // Too large: the status line, with its "Cancel", leaves the page for a strip at the foot,
    // so that what a button does shows wherever the page is scrolled to.
    auto* foot = new QWidget(this);
    foot->setObjectName(QStringLiteral("foot"));
    auto* foot_row = new QHBoxLayout(foot);
    const int margin = TwipsToPixels(60, PixelsPerTwip(*this));
    foot_row->setContentsMargins(margin, margin, margin, margin);
    lblLog->setParent(foot);
    cmdCancelTest->setParent(foot);
    foot_row->addWidget(lblLog, 1);
    foot_row->addWidget(cmdCancelTest, 0, Qt::AlignTop);
    layout->addWidget(foot);
    ShowCancel();
    // As much as the screen holds, resizable up to the whole page and its scroll bars.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll);
    const QSize most =
        full + QSize(full.height() > room.height() ? bar : 0,
                     (full.width() > room.width() ? bar : 0) + foot->sizeHint().height());
    setMinimumSize(QSize(160, 120).boundedTo(most));
    setMaximumSize(most);
    resize(most.boundedTo(room));
}

void EmailSetupWindow::Build() {
    const double ppt = PixelsPerTwip(*this);
    setFixedSize(TwipsToPixels(kClientWidth, ppt),
                 TwipsToPixels(kClientHeight + kLogExtraHeight + kHttpRowHeight + kTokenRowHeight +
                                   kRulesRowHeight + kLimitsRowHeight +
                                   (form_->HasWatchSettings() ? kWatchRowHeight : 0),
                               ppt));

    auto frame = [&](const char* caption, double left, double top, double width, double height) {
        auto* box = new QGroupBox(QString::fromUtf8(caption), this);
        box->setFont(TahomaFont(true));
        PlaceInTwips(*box, left, top, width, height, ppt);
        return box;
    };
    // Labels size themselves to their captions.
    auto label = [&](QWidget* in, const char* caption, double left, double top) {
        auto* l = new QLabel(QString::fromUtf8(caption), in);
        l->setFont(TahomaFont());
        l->move(TwipsToPixels(left, ppt), TwipsToPixels(top, ppt));
        l->adjustSize();
        return l;
    };
    auto line = [&](QWidget* in, const char* name, double left, double top, double width) {
        auto* e = new QLineEdit(in);
        e->setObjectName(QString::fromUtf8(name));
        e->setFont(TahomaFont());
        PlaceInTwips(*e, left, top, width, 315, ppt);
        return e;
    };
    auto button = [&](QWidget* in, const char* caption, double left, double top, double width,
                      bool sans_serif = true) {
        auto* b = new QPushButton(QString::fromUtf8(caption), in);
        b->setFont(sans_serif ? SansSerifFont() : TahomaFont());
        b->setAutoDefault(false);
        b->setDefault(false);
        PlaceInTwips(*b, left, top, width, 375, ppt);
        return b;
    };

    QGroupBox* frame1 = frame("Sender Information", 30, 30, 5475, 1095);
    // Each field is named by its label (a screen reader speaks it), not by its frame's title.
    QLabel* display_name = label(frame1, "Display name:", 120, 330);
    txtDisplayName = line(frame1, "txtDisplayName", 1380, 270, 3855);
    display_name->setBuddy(txtDisplayName);
    QLabel* email = label(frame1, "E-mail address:", 120, 660);
    txtEmail = line(frame1, "txtEmail", 1380, 630, 3855);
    email->setBuddy(txtEmail);

    QGroupBox* frame2 = frame("Outgoing Mail Server Information", 30, 1200, 5475, 3045);
    QLabel* server_template = label(frame2, "Select mail server template:", 150, 390);
    cmbServerTemplate = new QComboBox(frame2);
    cmbServerTemplate->setObjectName(QStringLiteral("cmbServerTemplate"));
    cmbServerTemplate->setFont(TahomaFont());
    cmbServerTemplate->setEditable(false);
    PlaceInTwips(*cmbServerTemplate, 2520, 330, 2715, 315, ppt);
    server_template->setBuddy(cmbServerTemplate);
    QLabel* server = label(frame2, "Outgoing mail server (SMTP):", 150, 780);
    txtSMTPserver = line(frame2, "txtSMTPserver", 2520, 720, 2715);
    server->setBuddy(txtSMTPserver);
    QLabel* port = label(frame2, "SMTP server port number:", 150, 1140);
    txtPort = line(frame2, "txtPort", 2520, 1080, 615);
    port->setBuddy(txtPort);
    chkSSL =
        new QCheckBox(QStringLiteral("Mail server requires a secure connection (SSL)"), frame2);
    chkSSL->setObjectName(QStringLiteral("chkSSL"));
    chkSSL->setFont(TahomaFont());
    PlaceInTwips(*chkSSL, 150, 1530, 4005, 195, ppt);
    chkAuthRequired = new QCheckBox(QStringLiteral("Mail server requires authentication:"), frame2);
    chkAuthRequired->setObjectName(QStringLiteral("chkAuthRequired"));
    chkAuthRequired->setFont(TahomaFont());
    PlaceInTwips(*chkAuthRequired, 150, 1860, 3345, 195, ppt);
    QLabel* account = label(frame2, "Account name:", 480, 2220);
    txtAccountName = line(frame2, "txtAccountName", 1710, 2190, 2925);
    account->setBuddy(txtAccountName);
    QLabel* password = label(frame2, "Password:", 480, 2580);
    txtPassword = line(frame2, "txtPassword", 1710, 2550, 2925);
    password->setBuddy(txtPassword);
    txtPassword->setEchoMode(QLineEdit::Password);
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*"

    QGroupBox* frame3 = frame("Send E-mail To:", 30, 4260, 5475, 1935);
    lstSendTo = new QListWidget(frame3);
    lstSendTo->setObjectName(QStringLiteral("lstSendTo"));
    lstSendTo->setAccessibleName(QStringLiteral("Send E-mail To"));
    lstSendTo->setFont(SansSerifFont());
    lstSendTo->setSelectionMode(QAbstractItemView::ExtendedSelection);
    PlaceInTwips(*lstSendTo, 150, 300, 5175, 1065, ppt);
    cmdAddEmail[0] = button(frame3, "Add New", 750, 1440, 1095);
    cmdAddEmail[2] = button(frame3, "Edit", 2100, 1440, 1095);
    cmdAddEmail[1] = button(frame3, "Delete", 3480, 1440, 1095);

    cmdGuess = button(this, "Search Accounts...", 5610, 120, 2325, false);
    Command2 = button(this, "Send Test E-mail", 5610, 570, 2325);
    cmdHelp = button(this, "Help", 5610, 1020, 2325);
    Command1 = button(this, "Close", 5610, 2010, 2325);

    lblLog = new QLabel(this);
    lblLog->setObjectName(QStringLiteral("lblLog"));
    lblLog->setAccessibleName(QStringLiteral("Status"));
    lblLog->setFont(SansSerifFont());
    lblLog->setWordWrap(true);
    lblLog->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    PlaceInTwips(*lblLog, 0, 6240, 7920, 285 + kLogExtraHeight, ppt);
    // At the status line's end, shown while a test message is under way.
    cmdCancelTest = button(this, "Cancel", 7050, 6240, 855);
    cmdCancelTest->setObjectName(QStringLiteral("cmdCancelTest"));
    cmdCancelTest->hide();

    QWidget* const order[] = {
        txtDisplayName, txtEmail,  txtSMTPserver,  txtPort,        chkAuthRequired,  txtAccountName,
        txtPassword,    lstSendTo, cmdAddEmail[0], cmdAddEmail[2], cmdAddEmail[1],   cmdGuess,
        Command2,       Command1,  chkSSL,         cmdHelp,        cmbServerTemplate};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    BuildHttpRow(ppt);
    BuildTokenRow(ppt);
    BuildRulesRow(ppt);
    BuildLimitsRow(ppt);
    BuildWatchRow(ppt);
}

void EmailSetupWindow::BuildLimitsRow(double ppt) {
    constexpr double kTop =
        kClientHeight + kLogExtraHeight + kHttpRowHeight + kTokenRowHeight + kRulesRowHeight;
    const auto caption = [&](const char* text, double left) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setFont(TahomaFont());
        label->move(TwipsToPixels(left, ppt), TwipsToPixels(kTop + 60, ppt));
        label->adjustSize();
        return label;
    };
    const auto field = [&](const char* name, const char* spoken, double left) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromUtf8(name));
        edit->setFont(TahomaFont());
        edit->setValidator(new QIntValidator(0, 1000000, edit));
        edit->setAccessibleName(QString::fromUtf8(spoken));
        edit->setToolTip(
            QStringLiteral("Blank: no limit. Mails beyond the limits wait in the "
                           "outbox; they are never refused."));
        PlaceInTwips(*edit, left, kTop, 735, 315, ppt);
        return edit;
    };
    caption("Send at most", 150)
        ->setBuddy(txtPerMinute = field("txtPerMinute", "Mails a minute", 1500));
    caption("mails a minute, and", 2310);
    txtPerDay = field("txtPerDay", "Recipients a day", 3900);
    caption("recipients a day.", 4710);
    chkMergeWaiting = new QCheckBox(
        QStringLiteral("When mails wait, send the waiting order lines together."), this);
    chkMergeWaiting->setObjectName(QStringLiteral("chkMergeWaiting"));
    chkMergeWaiting->setFont(TahomaFont());
    chkMergeWaiting->setToolTip(
        QStringLiteral("Order mails held by an outage or by the limits go as one mail of "
                       "their lines, to the same recipients. Cleared: one mail per order."));
    PlaceInTwips(*chkMergeWaiting, 150, kTop + 420, 5600, 255, ppt);
    setTabOrder(cmdRules, txtPerMinute);
    setTabOrder(txtPerMinute, txtPerDay);
    setTabOrder(txtPerDay, chkMergeWaiting);
    setTabOrder(chkMergeWaiting, cmdCancelTest);
}

void EmailSetupWindow::BuildWatchRow(double ppt) {
    if (!form_->HasWatchSettings()) {
        return;
    }
    constexpr double kTop = kClientHeight + kLogExtraHeight + kHttpRowHeight + kTokenRowHeight +
                            kRulesRowHeight + kLimitsRowHeight;
    cmdWatch = new QPushButton(QStringLiteral("Alarm and Summary..."), this);
    cmdWatch->setObjectName(QStringLiteral("cmdWatch"));
    cmdWatch->setFont(SansSerifFont());
    cmdWatch->setAutoDefault(false);
    PlaceInTwips(*cmdWatch, 150, kTop + 15, 2325, 375, ppt);
    setTabOrder(chkMergeWaiting, cmdWatch);
    setTabOrder(cmdWatch, cmdCancelTest);
}

void EmailSetupWindow::BuildRulesRow(double ppt) {
    constexpr double kTop = kClientHeight + kLogExtraHeight + kHttpRowHeight + kTokenRowHeight;
    auto* caption = new QLabel(
        QStringLiteral("Which order mails the selected recipient gets, and in which form:"), this);
    caption->setFont(TahomaFont());
    caption->move(TwipsToPixels(150, ppt), TwipsToPixels(kTop + 90, ppt));
    caption->adjustSize();
    cmdRules = new QPushButton(QStringLiteral("Rules..."), this);
    cmdRules->setObjectName(QStringLiteral("cmdRules"));
    cmdRules->setFont(SansSerifFont());
    cmdRules->setAutoDefault(false);
    PlaceInTwips(*cmdRules, 6810, kTop, 1095, 375, ppt);
    setTabOrder(txtTokenCommand, cmdRules);
    setTabOrder(cmdRules, cmdCancelTest);
}

void EmailSetupWindow::BuildTokenRow(double ppt) {
    constexpr double kTop = kClientHeight + kLogExtraHeight + kHttpRowHeight;
    auto* caption = new QLabel(QStringLiteral("Sign in with a token command:"), this);
    caption->setFont(TahomaFont());
    caption->move(TwipsToPixels(150, ppt), TwipsToPixels(kTop + 60, ppt));
    caption->adjustSize();
    txtTokenCommand = new QLineEdit(this);
    txtTokenCommand->setObjectName(QStringLiteral("txtTokenCommand"));
    txtTokenCommand->setFont(TahomaFont());
    txtTokenCommand->setPlaceholderText(QStringLiteral("oama access you@example.com"));
    txtTokenCommand->setToolTip(
        QStringLiteral("For a token login (XOAUTH2): a command whose first output line is the "
                       "access token. It takes the place of the password."));
    caption->setBuddy(txtTokenCommand);
    PlaceInTwips(*txtTokenCommand, 2670, kTop, 5235, 315, ppt);
    setTabOrder(cmdCopyToken, txtTokenCommand);
    setTabOrder(txtTokenCommand, cmdCancelTest);
}

void EmailSetupWindow::BuildHttpRow(double ppt) {
    constexpr double kTop = kClientHeight + kLogExtraHeight + 30;
    chkHttp = new QCheckBox(QStringLiteral("Take orders over HTTP on 127.0.0.1, port"), this);
    chkHttp->setObjectName(QStringLiteral("chkHttp"));
    chkHttp->setFont(TahomaFont());
    PlaceInTwips(*chkHttp, 150, kTop + 60, 3465, 195, ppt);
    txtHttpPort = new QLineEdit(this);
    txtHttpPort->setObjectName(QStringLiteral("txtHttpPort"));
    txtHttpPort->setFont(TahomaFont());
    txtHttpPort->setAccessibleName(QStringLiteral("HTTP port"));
    PlaceInTwips(*txtHttpPort, 3660, kTop, 735, 315, ppt);
    txtHttpToken = new QLineEdit(this);
    txtHttpToken->setObjectName(QStringLiteral("txtHttpToken"));
    txtHttpToken->setFont(TahomaFont());
    txtHttpToken->setReadOnly(true);
    txtHttpToken->setToolTip(QStringLiteral("The token: Authorization: Bearer <token>"));
    txtHttpToken->setAccessibleName(QStringLiteral("HTTP token"));
    PlaceInTwips(*txtHttpToken, 4470, kTop, 2505, 315, ppt);
    cmdCopyToken = new QPushButton(QStringLiteral("Copy"), this);
    cmdCopyToken->setObjectName(QStringLiteral("cmdCopyToken"));
    cmdCopyToken->setFont(SansSerifFont());
    cmdCopyToken->setAutoDefault(false);
    PlaceInTwips(*cmdCopyToken, 7050, kTop - 30, 855, 375, ppt);
    QWidget* const order[] = {cmbServerTemplate, chkHttp, txtHttpPort, txtHttpToken, cmdCopyToken};
    for (size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
}

void EmailSetupWindow::Bind() {
    formEmailSetup& form = *form_;
    for (const auto& [edit, box] : {std::pair{txtDisplayName, &form.txtDisplayName},
                                    {txtEmail, &form.txtEmail},
                                    {txtSMTPserver, &form.txtSMTPserver},
                                    {txtPort, &form.txtPort},
                                    {txtAccountName, &form.txtAccountName},
                                    {txtPassword, &form.txtPassword}}) {
        BindText(edit, *box, form_, subscriptions_);
    }
    BindCheck(chkSSL, form.chkSSL, form_, subscriptions_);
    BindCheck(chkAuthRequired, form.chkAuthRequired, form_, subscriptions_);
    BindCheck(chkHttp, form.chkHttp, form_, subscriptions_);
    BindText(txtHttpPort, form.txtHttpPort, form_, subscriptions_);
    BindText(txtHttpToken, form.txtHttpToken, form_, subscriptions_);
    BindText(txtTokenCommand, form.txtTokenCommand, form_, subscriptions_);
    BindText(txtPerMinute, form.txtPerMinute, form_, subscriptions_);
    BindText(txtPerDay, form.txtPerDay, form_, subscriptions_);
    BindCheck(chkMergeWaiting, form.chkMergeWaiting, form_, subscriptions_);
    connect(cmdCopyToken, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(txtHttpToken->text()); });

    auto show_templates = [this] {
        const ComboBox& combo = form_->cmbServerTemplate;
        QSignalBlocker block(cmbServerTemplate);
        if (cmbServerTemplate->count() != combo.ListCount()) {
            cmbServerTemplate->clear();
            for (int i = 0; i < combo.ListCount(); ++i) {
                cmbServerTemplate->addItem(Q(combo.List(i)));
            }
        }
        cmbServerTemplate->setCurrentIndex(combo.ListIndex());
    };
    show_templates();
    subscriptions_.push_back(form.cmbServerTemplate.Observe(show_templates));
    connect(cmbServerTemplate, &QComboBox::activated, this, [this](int index) {
        if (form_) {
            form_->cmbServerTemplate.SetListIndex(index);
        }
    });

    ShowList();
    subscriptions_.push_back(form.lstSendTo.Observe([this] { ShowList(); }));
    connect(lstSendTo, &QListWidget::itemSelectionChanged, this, [this] {
        if (!form_ || showing_list_) {
            return;
        }
        showing_list_ = true;  // the selection comes from the widget: no need to redraw it
        for (int i = 0; i < lstSendTo->count() && i < form_->lstSendTo.ListCount(); ++i) {
            form_->lstSendTo.SetSelected(i, lstSendTo->item(i)->isSelected());
        }
        showing_list_ = false;
    });

    ShowLog();
    subscriptions_.push_back(form.lblLog.Observe([this] { ShowLog(); }));
    auto show_test_button = [this] { Command2->setEnabled(form_->Command2.Enabled()); };
    show_test_button();
    subscriptions_.push_back(form.Command2.Observe(show_test_button));

    for (int16_t index = 0; index < 3; ++index) {
        connect(cmdAddEmail[index], &QPushButton::clicked, this, [this, index] {
            if (form_) {
                form_->cmdAddEmail_Click(index);
            }
        });
    }
    const auto on_click = [this](QPushButton* button,
                                 std::function<void(formEmailSetup&)> handler) {
        connect(button, &QPushButton::clicked, this, [this, handler = std::move(handler)] {
            if (form_) {
                handler(*form_);
            }
        });
    };
    on_click(cmdGuess, [](formEmailSetup& form) { form.cmdGuess_Click(); });
    on_click(Command2, [](formEmailSetup& form) { form.Command2_Click(); });
    on_click(cmdHelp, [](formEmailSetup& form) { form.cmdHelp_Click(); });
    on_click(Command1, [](formEmailSetup& form) { form.Command1_Click(); });
    on_click(cmdCancelTest, [](formEmailSetup& form) { form.cmdCancelTest_Click(); });
    if (cmdWatch != nullptr) {
        on_click(cmdWatch, [](formEmailSetup& form) { form.cmdWatch_Click(); });
    }
    on_click(cmdRules, [](formEmailSetup& form) { form.cmdRules_Click(); });
    ShowCancel();
    subscriptions_.push_back(form.cmdCancelTest.Observe([this] { ShowCancel(); }));
}

void EmailSetupWindow::ShowCancel() {
    if (form_ && cmdCancelTest) {
        cmdCancelTest->setVisible(form_->cmdCancelTest.Enabled());
    }
}

void EmailSetupWindow::ShowLog() {
    if (!form_) {
        return;
    }
    const Label& log = form_->lblLog;
    lblLog->setText(Q(log.Caption()));
    const Colour c = log.ForeColor();
    QPalette shown = lblLog->palette();
    shown.setColor(QPalette::WindowText,
                   ReadableOn(QColor(c.red, c.green, c.blue), palette().color(QPalette::Window),
                              palette().color(QPalette::WindowText)));
    lblLog->setPalette(shown);
}

void EmailSetupWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    KeepOnScreen(*this);
}

void EmailSetupWindow::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ShowLog();  // the status colour for the new palette
    }
}

void EmailSetupWindow::ShowList() {
    if (!form_ || showing_list_) {
        return;
    }
    showing_list_ = true;
    const ListBox& list = form_->lstSendTo;
    lstSendTo->clear();
    for (int i = 0; i < list.ListCount(); ++i) {
        auto* item = new QListWidgetItem(Q(list.List(i)), lstSendTo);
        item->setSelected(list.Selected(i));
    }
    showing_list_ = false;
}

void EmailSetupWindow::closeEvent(QCloseEvent* event) {
    // The close box unloads the dialog, which saves the settings; the next use loads it again.
    if (form_) {
        form_->chkHttp_Click();  // the endpoint follows the row as the dialog leaves it
    }
    subscriptions_.clear();
    form_ = nullptr;
    slot_.Unload();
    event->accept();
}

void EmailSetupWindow::keyPressEvent(QKeyEvent* event) {
    // No button of this dialog answers Enter or Escape by itself.
    if (IsDefaultButtonKey(*event)) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace quillet
