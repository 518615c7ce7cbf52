#include "platform/qt/rules_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>
#include <vector>

#include "mail/recipient_rules.h"

namespace quillet {
namespace {

// The choices of the events' list, in its order; the last one is the chosen set.
constexpr uint32_t kChoices[] = {RecipientRule().events, kOrderEvents, kFillAndRejectEvents};

QString Patterns(const std::vector<std::string>& patterns) {
    QString text;
    for (const std::string& pattern : patterns) {
        text += (text.isEmpty() ? "" : " ") + QString::fromStdString(pattern);
    }
    return text;
}

}  // namespace

std::optional<std::string> AskRecipientRuleDialog(QWidget* parent, const std::string& entry,
                                                  const std::string& rule_text) {
    const RecipientRule rule = ReadRule(rule_text);
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Rules of ") + QString::fromStdString(entry));
    auto* form = new QFormLayout;
    auto* events = new QComboBox(&dialog);
    events->setObjectName(QStringLiteral("cmbEvents"));
    events->addItems({QStringLiteral("All events"), QStringLiteral("Orders only"),
                      QStringLiteral("Fills and rejects only"), QStringLiteral("Chosen events")});
    form->addRow(QStringLiteral("Events:"), events);
    std::vector<QCheckBox*> chosen;
    auto* boxes = new QVBoxLayout;
    for (int i = 0; i < kMailEventCount; ++i) {
        const auto event = static_cast<MailEvent>(i);
        auto* box =
            new QCheckBox(QString::fromUtf8(MailEventName(event).data(),
                                            static_cast<qsizetype>(MailEventName(event).size())),
                          &dialog);
        box->setChecked(rule.Takes(event));
        boxes->addWidget(box);
        chosen.push_back(box);
    }
    form->addRow(QString(), boxes);
    int choice = 3;
    for (int i = 0; i < 3; ++i) {
        choice = rule.events == kChoices[i] && choice == 3 ? i : choice;
    }
    events->setCurrentIndex(choice);
    const auto follow = [&chosen, events] {
        for (QCheckBox* box : chosen) {
            box->setEnabled(events->currentIndex() == 3);
        }
    };
    follow();
    QObject::connect(events, &QComboBox::currentIndexChanged, &dialog, follow);
    auto* accounts = new QLineEdit(Patterns(rule.accounts), &dialog);
    accounts->setObjectName(QStringLiteral("txtAccounts"));
    accounts->setPlaceholderText(QStringLiteral("every account"));
    form->addRow(QStringLiteral("Accounts (Info6):"), accounts);
    auto* symbols = new QLineEdit(Patterns(rule.symbols), &dialog);
    symbols->setObjectName(QStringLiteral("txtSymbols"));
    symbols->setPlaceholderText(QStringLiteral("every symbol"));
    form->addRow(QStringLiteral("Symbols:"), symbols);
    auto* shape = new QComboBox(&dialog);
    shape->setObjectName(QStringLiteral("cmbForm"));
    shape->addItems({QStringLiteral("Full"), QStringLiteral("Short (the order line as the subject, "
                                                            "at most 160 characters)")});
    shape->setCurrentIndex(rule.short_form ? 1 : 0);
    form->addRow(QStringLiteral("Form:"), shape);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    RecipientRule answer;
    if (events->currentIndex() < 3) {
        answer.events = kChoices[events->currentIndex()];
    } else {
        answer.events = 0;
        for (int i = 0; i < kMailEventCount; ++i) {
            answer.events |= chosen[static_cast<size_t>(i)]->isChecked() ? 1u << i : 0;
        }
    }
    // A rule that takes nothing reads as the default: nothing is withheld by a slip.
    answer = ReadRule(RuleText(answer) + "; accounts=" + accounts->text().toStdString() +
                      "; symbols=" + symbols->text().toStdString() +
                      (shape->currentIndex() == 1 ? "; form=short" : ""));
    return RuleText(answer);
}

}  // namespace quillet
