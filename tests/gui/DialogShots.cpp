// Saves a picture of every dialog, filled as a user would see it, for a look under a real
// X server: dialog_shots FOLDER [LANGUAGE-FILE] (run through xvfb-run).
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "TestHost.h"
#include "core/ApplyRun.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/ConfirmDialogs.h"
#include "gui/dialogs/ConnectionChoices.h"
#include "gui/dialogs/IPDetailForm.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/dialogs/KeepSettingsForm.h"
#include "gui/dialogs/OptionForm.h"
#include "gui/frame/Language.h"
#include "gui/frame/LanguageOps.h"
#include "gui/widgets/PlainText.h"

using namespace quorv;

namespace {

void Save(QWidget* window, const QString& folder, const QString& name) {
    window->show();
    QTest::qWait(300);
    window->grab().save(folder + "/" + name + ".png");
}

// The next message box the dialog opens, saved and closed.
void SaveNextBox(const QString& folder, const QString& name) {
    QTimer::singleShot(300, [folder, name] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            box->grab().save(folder + "/" + name + ".png");
            box->accept();
        }
    });
}

std::vector<inventory::NetInterface> Machine() {
    inventory::NetInterface wired;
    wired.index = 2;
    wired.name = "enp0s31f6";
    wired.busInfo = "0000:00:1f.6";
    wired.up = wired.carrier = true;
    wired.addresses = {{0xC0A80A14u, 24}};
    wired.gateways = {0xC0A80A01u};
    inventory::NetInterface wireless = wired;
    wireless.index = 3;
    wireless.name = "wlp2s0";
    wireless.carrier = false;
    wireless.addresses.clear();
    wireless.gateways.clear();
    inventory::NetInterface bridge;
    bridge.index = 5;
    bridge.name = "virbr0";
    bridge.kind = "bridge";
    bridge.up = true;
    bridge.addresses = {{0xC0A87A01u, 24}};
    return {wired, wireless, bridge};
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    testing::TestHost host;
    std::unique_ptr<settings::TQLanguage> language;
    if (argc > 2) {
        const QFileInfo file(QString::fromLocal8Bit(argv[2]));
        language = std::make_unique<settings::TQLanguage>(file.absolutePath());
        language->SetFileName(file.fileName());
        host.language = [&language](QWidget* form) { language->TranslateForm(form); };
        settings::LoadMessageTexts(*language, host.texts);
    }
    dialogs::SetConnectionReader([] { return Machine(); });
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
        form.Panel1->hide();
        form.ComboBox1->showPopup();
        QTest::qWait(300);
        // The list is a window of its own: the screen shows both.
        QGuiApplication::primaryScreen()->grabWindow(0).save(folder + "/IPMapForm-connections.png");
        form.ComboBox1->hidePopup();
        form.IPAddrEdit1->SetText("192.168.1.255");
        form.IPAddrEdit2->SetText("255.255.255.0");
        SaveNextBox(folder, "IPMapForm-refusal");
        form.btnOK->click();
        form.IPAddrEdit1->SetText({});
        form.IPAddrEdit1->Box(0)->setText("10");
        form.IPAddrEdit1->Box(1)->setText("0");
        SaveNextBox(folder, "IPMapForm-incomplete");
        form.btnOK->click();
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
        dialogs::TIPMapForm form(nullptr);
        form.Value = p;
        form.Value.Interface = "Local Area Connection";
        form.btnOK->setText(host.texts.Text("msgOK"));
        Save(&form, folder, "IPMapForm-foreign");
    }
    {
        widgets::TAboutForm about;
        Save(&about, folder, "AboutForm");
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
    {
        // After a safe apply, over the main window's place: one gateway and DNS server dead.
        using platform::ReachTarget;
        QWidget owner;
        owner.setObjectName("MainForm");
        owner.resize(728, 424);
        owner.show();
        // Placed by the window manager first, as a main window long shown is.
        if (!QTest::qWaitForWindowExposed(&owner)) {
            return 1;
        }
        QTest::qWait(300);
        const std::vector<platform::ReachResult> checks{
            {{ReachTarget::Kind::Gateway, "192.168.10.1"}, true},
            {{ReachTarget::Kind::Dns, "168.126.63.1"}, true},
            {{ReachTarget::Kind::Dns, "8.8.8.8"}, false}};
        settings::TKeepSettingsForm keep(&owner, checks, 30, true);
        Save(&keep, folder, "KeepSettingsForm");
        settings::TKeepSettingsForm plain(&owner, {checks[0]}, 9, false);
        Save(&plain, folder, "KeepSettingsForm-noscript");

        // What a restore brought back, and the option that asks for all this.
        apply::SafeTexts texts;
        for (auto [key, text] : apply::TextsByKey(texts)) {
            *text = host.texts.Text(key).toStdString();
        }
        apply::SafeOutcome restored;
        restored.kind = apply::SafeOutcome::Kind::Restored;
        restored.interface = "enp0s31f6";
        restored.restored = {"address", "gateway", "dns"};
        restored.printer = "Office";
        SaveNextBox(folder, "SafeOutcomeBox");
        apply::ShowSafeOutcome(&owner, restored, texts);
        settings::TOptionForm options(&owner);
        settings::LoadKeepOption(options, {true, 30});
        Save(&options, folder, "OptionForm");
    }
    return 0;
}
