// Saves a picture of every dialog, filled as a user would see it, for a look under a real
// X server: dialog_shots FOLDER (run through xvfb-run).
#include <QApplication>
#include <QDir>
#include <QTest>

#include "TestHost.h"
#include "core/ApplyRun.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/IPDetailForm.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/widgets/PlainText.h"

using namespace quorv;

namespace {

void Save(QWidget* window, const QString& folder, const QString& name) {
    window->show();
    QTest::qWait(300);
    window->grab().save(folder + "/" + name + ".png");
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    testing::TestHost host;
    host.inventory.ConnectionIDs = {"enp0s31f6", "wlp2s0"};
    host.inventory.AdapterNames = {"Intel Ethernet Connection I219-LM", "Intel Wi-Fi 6 AX201"};
    host.inventory.PrinterNames = {"Office_Laser", "Home"};
    host.inventory.PrinterCaptions = {"사무실 레이저 프린터", "Home Inkjet"};
    host.inventory.DefaultPrinterIndex = 0;
    host.inventory.PrintersRead = true;

    apply::Profile p;
    p.Name = "사무실";
    p.SetAddresses({"192.168.10.20", "10.1.0.5", "10.1.0.6"}, {"255.255.255.0", "255.255.0.0"});
    p.Gateway = "192.168.10.1";
    p.DNS1 = "168.126.63.1";
    p.DNS2 = "8.8.8.8";
    p.Interface = "wlp2s0";
    p.Printer = "Office_Laser";
    p.Script = "ipconfig /all\r\nnet use Z: \\\\server\\share";

    {
        dialogs::TIPMapForm form(nullptr);
        form.Value.Name = "새 항목";
        form.setWindowTitle(form.windowTitle() + " - [새 항목]");
        Save(&form, folder, "IPMapForm-insert");
        form.Panel1->show();
        form.Panel1->raise();
        Save(&form, folder, "IPMapForm-printers");
    }
    {
        dialogs::TIPMapForm form(nullptr);
        form.Value = p;
        form.setWindowTitle(form.windowTitle() + " - [사무실]");
        form.btnOK->setText(host.texts.Text("msgOK"));
        Save(&form, folder, "IPMapForm-edit");
        dialogs::TIPDetailForm detail(&form);
        Save(&detail, folder, "IPDetailForm");
        dialogs::TAddIPForm add(detail.ListView1, &detail);
        add.IPAddrEdit1->SetText("10.1.0.7");
        add.IPAddrEdit2->SetText("255.255.0.0");
        Save(&add, folder, "AddIPForm");
        form.rbDHCP->setChecked(true);
        form.rbAutoDNS->setChecked(true);
        Save(&form, folder, "IPMapForm-dhcp");
    }
    {
        // The failure list in Korean: netsh found no such interface for any step.
        apply::ApplyResult result;
        for (const apply::NetshCommand& command : apply::NetshCommands(p)) {
            apply::ApplyFailure failure;
            failure.kind = apply::ApplyFailure::Kind::ExitCode;
            failure.commandLine = command.line;
            failure.exitCode = 1;
            failure.errorLines = {"There is no interface named \"wlp2s0\"."};
            result.failures.push_back(failure);
        }
        apply::ProgressTexts texts;
        for (auto [key, text] :
             {std::pair{"msgApplyIncomplete", &texts.failures.msgApplyIncomplete},
              {"msgExitCode", &texts.failures.msgExitCode}}) {
            *text = host.texts.Text(key).toStdString();
        }
        widgets::TPlainMessageBox box(
            QMessageBox::Warning, QStringLiteral("Warning"),
            QString::fromStdString(apply::FailureSummary(result, texts.failures)), QMessageBox::Ok);
        Save(&box, folder, "ApplyFailureBox");
    }
    return 0;
}
