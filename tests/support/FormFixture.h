#pragma once

#include <gtest/gtest.h>

#include <QTest>
#include <functional>
#include <optional>

#include "ModalScript.h"
#include "TestHost.h"
#include "core/ProfileRecord.h"
#include "gui/dialogs/ConnectionChoices.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/widgets/IPAddrEdit.h"

namespace quorv::testing {

// A list row's caption and five cells.
inline QStringList Cells(QTreeWidgetItem* row) {
    QStringList cells;
    for (int i = 0; i < 6; ++i) {
        cells << row->text(i);
    }
    return cells;
}

// Two physical adapters as the kernel reports them: eth0 connected with an address and the
// default route, wlan0 up without a link.
inline std::vector<inventory::NetInterface> TwoAdapters() {
    inventory::NetInterface eth0;
    eth0.index = 2;
    eth0.name = "eth0";
    eth0.busInfo = "0000:00:1f.6";
    eth0.up = eth0.carrier = true;
    eth0.addresses = {{0xC0000202u, 24}};  // 192.0.2.2/24
    eth0.gateways = {0xC0000201u};
    inventory::NetInterface wlan0;
    wlan0.index = 3;
    wlan0.name = "wlan0";
    wlan0.busInfo = "0000:02:00.0";
    wlan0.up = true;
    return {eth0, wlan0};
}

// Dialog tests against a test host with two connections and two printers (the second
// the default), already read.
class FormFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        dialogs::SetConnectionReader([this] { return connections; });
        host.inventory.ConnectionIDs = {"eth0", "wlan0"};
        host.inventory.AdapterNames = {"Intel Ethernet", "Intel Wireless"};
        host.inventory.PrinterNames = {"Office", "Home"};
        host.inventory.PrinterCaptions = {"Office Laser", "Home Inkjet"};
        host.inventory.DefaultPrinterIndex = 1;
        host.inventory.PrintersRead = true;
    }
    void TearDown() override { dialogs::SetConnectionReader({}); }

    // What the IP dialog reads as the machine's interfaces; nothing: they cannot be read.
    std::optional<std::vector<inventory::NetInterface>> connections = TwoAdapters();

    // Opens the IP dialog as the main window's insert command does: a new profile of that
    // name, the caption, a modal run and, on OK, the profile saved. `steps` answer the
    // modal windows.
    int Insert(const QString& name) {
        dialogs::TIPMapForm form(nullptr);
        form.Value.Name = name.toStdString();
        form.setWindowTitle(form.windowTitle() + " - [" + name + "]");
        return Finish(form, std::nullopt);
    }

    // The edit command: the stored profile, btnOK reading msgOK.
    int Edit(const QString& name) {
        EXPECT_TRUE(app::FindProfile(host.profiles, name.toStdString()));
        dialogs::TIPMapForm form(nullptr);
        form.Value = app::ReadProfile(host.profiles);
        form.btnOK->setText(host.texts.Text("msgOK"));
        return Finish(form, name.toStdString());
    }

    int Finish(dialogs::TIPMapForm& form, const std::optional<std::string>& storedName) {
        const int result = form.exec();
        if (result == QDialog::Accepted) {
            host.Save(form.Value, storedName);
        }
        EXPECT_EQ(script.StepsLeft(), 0u);
        return result;
    }

    // Types a dotted quad key by key into the control, starting at its box 0.
    static void Type(dialogs::TIPAddrEdit* edit, const QString& text) {
        edit->setFocus();
        for (QChar c : text) {
            // The window's focus child, which follows the box changes even while another
            // window is the active one.
            QWidget* focused = edit->window()->focusWidget();
            QTest::keyClick(focused ? focused : edit->Box(0), c.toLatin1());
        }
    }

    // Adds a step for the next modal window, which must be of type T.
    template <typename T>
    void On(std::function<void(T&)> step) {
        script.Then([step](QWidget* modal) {
            T* form = qobject_cast<T*>(modal);
            if (form == nullptr) {
                ADD_FAILURE() << "unexpected window " << modal->metaObject()->className();
                Close(modal);
                return;
            }
            step(*form);
        });
    }
    // Expects a message box with this text (or, `prefix`, starting with it) and closes it.
    void Box(const QString& text, bool prefix = false) {
        script.Then([text, prefix](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            if (box == nullptr) {
                ADD_FAILURE() << "expected the box " << text.toStdString() << ", got "
                              << modal->metaObject()->className();
                Close(modal);
                return;
            }
            if (prefix) {
                EXPECT_TRUE(box->text().startsWith(text)) << box->text().toStdString();
            } else {
                EXPECT_EQ(box->text(), text);
            }
            box->button(QMessageBox::Ok)->click();
        });
    }
    static void Close(QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        }
    }
    QString Msg(const char* key) const { return host.texts.Text(key); }

    TestHost host;
    ModalScript script;
};

}  // namespace quorv::testing
