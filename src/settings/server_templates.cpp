#include "settings/server_templates.h"

#include "settings/form_email_setup.h"
#include "support/fold_case.h"
#include "support/program_wide.h"

namespace quillet {
int MatchingTemplate(const std::string& server) {
    const ProgramWide& program = Program();
    for (int i = 1; i <= program.TemplateCount; ++i) {
        if (EqualsIgnoringCase(program.Templates[static_cast<size_t>(i - 1)].TemplateServer,
                               server)) {
            return i;
        }
    }
    return kCustomTemplate;
}

void formEmailSetup::FillTemplates() {
    ProgramWide& program = Program();
    program.TemplateCount = 6;
    program.Templates = {
        {"GMail", "smtp.gmail.com", "465", 1, 1, "", ""},
        {"Hotmail", "smtp-mail.outlook.com", "25", 1, 1, "", ""},
        {"MSN Mail", "smtp-mail.outlook.com", "25", 1, 1, "", ""},
        {"Yahoo! Mail", "smtp.mail.yahoo.com", "25", 0, 1, "", ""},
        {"AOL Mail", "smtp.aol.com", "25", 0, 1, "", ""},
        {"Custom", "", "25", 0, 0, "", ""},
    };
}

void formEmailSetup::cmbServerTemplate_Click() {
    const int i = cmbServerTemplate.ListIndex() + 1;
    const ProgramWide& program = Program();
    if (i < 1 || i > program.TemplateCount) {
        return;
    }
    const ServerTemplate t = program.Templates[static_cast<size_t>(i - 1)];
    txtSMTPserver.SetText(t.TemplateServer);
    txtPort.SetText(t.TemplatePort);
    chkSSL.SetValue(static_cast<int16_t>(t.TemplateSSL));
    chkAuthRequired.SetValue(static_cast<int16_t>(t.TemplateAuth));
    txtAccountName.SetText(t.TemplateAccount);
    txtPassword.SetText(t.TemplatePassword);
    chkAuthRequired_Click();
}

void formEmailSetup::SelectLoadedTemplate() {
    const int s = MatchingTemplate(txtSMTPserver.Text());
    ServerTemplate& t = Program().Templates[static_cast<size_t>(s - 1)];
    t.TemplateServer = txtSMTPserver.Text();
    t.TemplatePort = txtPort.Text();
    t.TemplateSSL = chkSSL.Value();
    t.TemplateAuth = chkAuthRequired.Value();
    t.TemplateAccount = txtAccountName.Text();
    t.TemplatePassword = txtPassword.Text();
    cmbServerTemplate.SetListIndex(s - 1);
}

}  // namespace quillet
