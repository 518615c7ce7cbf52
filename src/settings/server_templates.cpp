#include "settings/server_templates.h"

#include "settings/form_email_setup.h"
#include "support/fold_case.h"

namespace quillet {

int MatchingTemplate(std::string_view server) {
    for (int i = 1; i <= kTemplateCount; ++i) {
        if (EqualsIgnoringCase(kServerTemplates[static_cast<size_t>(i - 1)].server, server)) {
            return i;
        }
    }
    return kCustomTemplate;
}

void formEmailSetup::FillTemplates() {
    Templates.clear();
    for (const ServerTemplateDefault& t : kServerTemplates) {
        Templates.push_back({std::string(t.name), std::string(t.server), std::string(t.port), t.ssl,
                             t.auth, "", "", std::string(t.per_minute), std::string(t.per_day)});
    }
}

void formEmailSetup::cmbServerTemplate_Click() {
    const int i = cmbServerTemplate.ListIndex() + 1;
    if (i < 1 || i > static_cast<int>(Templates.size())) {
        return;
    }
    const ServerTemplate t = Templates[static_cast<size_t>(i - 1)];
    txtSMTPserver.SetText(t.TemplateServer);
    txtPort.SetText(t.TemplatePort);
    chkSSL.SetValue(static_cast<int16_t>(t.TemplateSSL));
    chkAuthRequired.SetValue(static_cast<int16_t>(t.TemplateAuth));
    txtAccountName.SetText(t.TemplateAccount);
    txtPassword.SetText(t.TemplatePassword);
    txtPerMinute.SetText(t.TemplatePerMinute);
    txtPerDay.SetText(t.TemplatePerDay);
    chkAuthRequired_Click();
    // A provider that takes no password: the status line says what it needs instead.
    if (!loading_ && kServerTemplates[static_cast<size_t>(i - 1)].token_login &&
        txtTokenCommand.Text().empty()) {
        ShowLogWhile(kLogBlack, std::string(kTokenLoginNeeded),
                     [this] { return txtTokenCommand.Text().empty(); });
    }
}

void formEmailSetup::SelectLoadedTemplate() {
    const int s = MatchingTemplate(txtSMTPserver.Text());
    ServerTemplate& t = Templates[static_cast<size_t>(s - 1)];
    t.TemplateServer = txtSMTPserver.Text();
    t.TemplatePort = txtPort.Text();
    t.TemplateSSL = chkSSL.Value();
    t.TemplateAuth = chkAuthRequired.Value();
    t.TemplateAccount = txtAccountName.Text();
    t.TemplatePassword = txtPassword.Text();
    t.TemplatePerMinute = txtPerMinute.Text();
    t.TemplatePerDay = txtPerDay.Text();
    cmbServerTemplate.SetListIndex(s - 1);
}

}  // namespace quillet
