#include "gui/dialogs/IPMapForm.h"

#include <QApplication>

#include "core/AddressLists.h"
#include "core/CommaText.h"
#include "core/ProfileChecks.h"
#include "gui/dialogs/ConnectionChoices.h"
#include "gui/dialogs/DialogBoxes.h"
#include "gui/dialogs/DialogFrame.h"
#include "gui/dialogs/FormControls.h"
#include "gui/dialogs/IPDetailForm.h"
#include "gui/frame/FormHost.h"
#include "gui/frame/WindowFrame.h"
#include "system/Inventory.h"

namespace quorv::dialogs {

namespace {

void ReadSystemPrinters(inventory::TInventoryLists& lists) {
    inventory::ReadPrinters(lists.PrinterNames, lists.PrinterCaptions, lists.DefaultPrinterIndex,
                            lists.PrintersRead);
}

TIPMapForm::PrinterReader& Reader() {
    static TIPMapForm::PrinterReader reader = ReadSystemPrinters;
    return reader;
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

int ComboIndexOf(const QComboBox* combo, const QString& name) {
    for (int i = 0; i < combo->count(); ++i) {
        if (combo->itemData(i).toString() == name) {
            return i;
        }
    }
    return -1;
}

int IndexIgnoringCase(const QStringList& list, const QString& text) {
    for (int i = 0; i < list.size(); ++i) {
        if (list[i].compare(text, Qt::CaseInsensitive) == 0) {
            return i;
        }
    }
    return -1;
}

// Restores the normal cursor however the start work ends.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// A radio button or check box standing on a group's top edge as its caption.
void PlaceOnEdge(QAbstractButton* button, int x, int y) {
    button->setAutoFillBackground(true);
    button->adjustSize();
    button->move(x, y);
    button->raise();
}

}  // namespace

void TIPMapForm::SetPrinterReader(PrinterReader reader) {
    Reader() = reader ? std::move(reader) : ReadSystemPrinters;
}

TIPMapForm::TIPMapForm(QWidget* owner) : QDialog(owner) {
    setObjectName("IPMapForm");
    setWindowTitle(QStringLiteral("IP 설정"));
    settings::SetFixedDialogFrame(*this, 460, 448);
    CreateControls();
    ApplyLanguage(this);
    KeepInsertCaption(btnOK);
    PlaceAddressesAgain(this);
    // Captions may have changed length with the language.
    PlaceOnEdge(rbCustomIP, 10, 22);
    PlaceOnEdge(rbCustomDNS, 10, 22);
    PlaceOnEdge(cbDefaultPrinter, 18, 306);
    Activation = new TFirstActivation(this, [this] { FormActivate(); });
}

void TIPMapForm::CreateControls() {
    TabControl1 = new QFrame(this);
    TabControl1->setObjectName("TabControl1");
    TabControl1->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    TabControl1->setGeometry(8, 8, 444, 398);

    lblInterface = NewLabel(QStringLiteral("인터페이스"), "lblInterface", TabControl1);
    QFont bold = lblInterface->font();
    bold.setBold(true);
    lblInterface->setFont(bold);
    lblInterface->setGeometry(16, 8, 412, 20);
    ComboBox1 = new QComboBox(TabControl1);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setGeometry(16, 28, 412, 24);

    Panel0 = new QWidget(TabControl1);
    Panel0->setObjectName("Panel0");
    Panel0->setGeometry(8, 58, 428, 132);
    rbDHCP = new QRadioButton(QStringLiteral("자동으로 IP 주소 받기 "), Panel0);
    rbDHCP->setObjectName("rbDHCP");
    rbDHCP->setGeometry(10, 0, 408, 20);
    GroupBox1 = new QGroupBox(Panel0);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(0, 32, 428, 100);
    rbCustomIP = new QRadioButton(QStringLiteral("다음 IP 주소 사용"), Panel0);
    rbCustomIP->setObjectName("rbCustomIP");
    rbCustomIP->setChecked(true);
    lblIP = NewLabel(QStringLiteral("IP 주소 : "), "lblIP", GroupBox1);
    lblIP->setGeometry(16, 20, 280, 21);
    IPAddrEdit1 = NewAddress("IPAddrEdit1", GroupBox1);
    PlaceAddress(IPAddrEdit1, 308, 20);
    lblMask = NewLabel(QStringLiteral("서브넷 마스크 : "), "lblMask", GroupBox1);
    lblMask->setGeometry(16, 46, 280, 21);
    IPAddrEdit2 = NewAddress("IPAddrEdit2", GroupBox1);
    PlaceAddress(IPAddrEdit2, 308, 46);
    lblGateway = NewLabel(QStringLiteral("기본 게이트웨이 : "), "lblGateway", GroupBox1);
    lblGateway->setGeometry(16, 72, 280, 21);
    IPAddrEdit3 = NewAddress("IPAddrEdit3", GroupBox1);
    PlaceAddress(IPAddrEdit3, 308, 72);

    Panel2 = new QWidget(TabControl1);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(8, 194, 428, 106);
    rbAutoDNS = new QRadioButton(QStringLiteral("자동으로 DNS 서버 주소 받기 "), Panel2);
    rbAutoDNS->setObjectName("rbAutoDNS");
    rbAutoDNS->setGeometry(10, 0, 408, 20);
    rbAutoDNS->setEnabled(false);
    GroupBox2 = new QGroupBox(Panel2);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setGeometry(0, 32, 428, 74);
    rbCustomDNS = new QRadioButton(QStringLiteral("다음 DNS 서버 주소 사용"), Panel2);
    rbCustomDNS->setObjectName("rbCustomDNS");
    rbCustomDNS->setChecked(true);
    lblDNS1 = NewLabel(QStringLiteral("기본 설정 DNS 서버 : "), "lblDNS1", GroupBox2);
    lblDNS1->setGeometry(16, 20, 280, 21);
    IPAddrEdit4 = NewAddress("IPAddrEdit4", GroupBox2);
    PlaceAddress(IPAddrEdit4, 308, 20);
    lblDNS2 = NewLabel(QStringLiteral("보조 DNS 서버 : "), "lblDNS2", GroupBox2);
    lblDNS2->setGeometry(16, 46, 280, 21);
    IPAddrEdit5 = NewAddress("IPAddrEdit5", GroupBox2);
    PlaceAddress(IPAddrEdit5, 308, 46);

    GroupBox3 = new QGroupBox(TabControl1);
    GroupBox3->setObjectName("GroupBox3");
    GroupBox3->setGeometry(8, 316, 428, 46);
    cbDefaultPrinter = new QCheckBox(QStringLiteral("기본 프린터 선택"), TabControl1);
    cbDefaultPrinter->setObjectName("cbDefaultPrinter");
    cbDefaultPrinter->setChecked(true);
    lblPrinter = NewLabel(QStringLiteral("프린터 목록 : "), "lblPrinter", GroupBox3);
    lblPrinter->setGeometry(16, 15, 110, 24);
    ComboBox2 = new QComboBox(GroupBox3);
    ComboBox2->setObjectName("ComboBox2");
    ComboBox2->setGeometry(130, 15, 282, 24);

    btnDetail = NewButton(QStringLiteral("고급(&V)..."), "btnDetail", TabControl1);
    btnDetail->setGeometry(338, 367, 90, 25);

    btnOK = NewButton(QStringLiteral("추가"), "btnOK", this);
    btnOK->setGeometry(284, 414, 80, 26);
    btnCancel = NewButton(QStringLiteral("취소"), "btnCancel", this);
    btnCancel->setGeometry(372, 414, 80, 26);

    Panel1 = new TSimplePanel(this);
    Panel1->setObjectName("Panel1");
    Panel1->BevelOuter = TSimplePanel::Bevel::Raised;
    Panel1->SingleBorder = true;
    Panel1->SetCaption(QStringLiteral("시스템에 설치된 프린터 정보 읽는 중..."));
    Panel1->setGeometry(105, 204, 249, 41);
    Panel1->hide();

    // Top to bottom, as the dialog reads.
    const QList<QWidget*> order{ComboBox1,        rbDHCP,    rbCustomIP,  IPAddrEdit1, IPAddrEdit2,
                                IPAddrEdit3,      rbAutoDNS, rbCustomDNS, IPAddrEdit4, IPAddrEdit5,
                                cbDefaultPrinter, ComboBox2, btnDetail,   btnOK,       btnCancel};
    for (int i = 1; i < order.size(); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }
    lblIP->setBuddy(IPAddrEdit1);
    lblMask->setBuddy(IPAddrEdit2);
    lblGateway->setBuddy(IPAddrEdit3);
    lblDNS1->setBuddy(IPAddrEdit4);
    lblDNS2->setBuddy(IPAddrEdit5);
    UseAsDefault(this, btnOK);
    FillMaskOnLeave(IPAddrEdit1, IPAddrEdit2);

    connect(rbDHCP, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            rbDHCPClick();
        }
    });
    connect(rbCustomIP, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            rbCustomIPClick();
        }
    });
    connect(rbAutoDNS, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            rbAutoDNSClick();
        }
    });
    connect(rbCustomDNS, &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            rbCustomDNSClick();
        }
    });
    connect(cbDefaultPrinter, &QCheckBox::toggled, this, [this] { cbDefaultPrinterClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnDetail, &QPushButton::clicked, this, [this] { btnDetailClick(); });
}

void TIPMapForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!Activation->Done()) {
        settings::CenterOnScreen(*this);
    }
}

bool TIPMapForm::EditMode() const {
    return btnOK->text() == Message("msgOK");
}

void TIPMapForm::rbDHCPClick() {
    rbDHCP->setChecked(true);
    GroupBox1->setEnabled(false);
    rbAutoDNS->setEnabled(true);
    btnDetail->setEnabled(false);
}

void TIPMapForm::rbCustomIPClick() {
    rbCustomIP->setChecked(true);
    GroupBox1->setEnabled(true);
    rbAutoDNS->setEnabled(false);
    rbCustomDNSClick();
    btnDetail->setEnabled(true);
}

void TIPMapForm::rbAutoDNSClick() {
    rbAutoDNS->setChecked(true);
    GroupBox2->setEnabled(false);
}

void TIPMapForm::rbCustomDNSClick() {
    rbCustomDNS->setChecked(true);
    GroupBox2->setEnabled(true);
}

void TIPMapForm::cbDefaultPrinterClick() {
    ComboBox2->setEnabled(cbDefaultPrinter->isChecked());
}

void TIPMapForm::FormActivate() {
    WaitCursor wait;
    RunGuarded(this, [this] {
        inventory::TInventoryLists& lists = Host().Inventory();
        if (!lists.PrintersRead) {
            Panel1->SetCaption(Message("msgReadPrinter"));
            Panel1->show();
            Panel1->raise();
            repaint();
            Reader()(lists);
            Panel1->hide();
        }
        FillConnections();
        ComboBox2->clear();
        for (int i = 0; i < lists.PrinterNames.size(); ++i) {
            ComboBox2->addItem(lists.PrinterNames[i] + "(" + lists.PrinterCaptions.value(i) + ")");
        }
        const int printer = lists.DefaultPrinterIndex;
        ComboBox2->setCurrentIndex(printer >= 0 && printer < ComboBox2->count() ? printer : -1);
        if (EditMode()) {
            FillFromProfile();
        }
        return true;
    });
}

void TIPMapForm::FillConnections() {
    const TConnectionChoices choices = ConnectionChoices(ReadConnections(), Host().Inventory());
    ComboBox1->clear();
    for (const TConnectionChoice& choice : choices.Entries) {
        ComboBox1->addItem(choice.Label, choice.Name);
    }
    // A stored name (or one a caller filled in) stays what it is, here or not: a profile
    // made on another machine keeps its connection unless the user picks another.
    const QString stored = Text(Value.Interface);
    if (EditMode() || !stored.isEmpty()) {
        int index = ComboIndexOf(ComboBox1, stored);
        if (index < 0) {
            ComboBox1->insertItem(0, AbsentConnectionLabel(stored), stored);
            index = 0;
        }
        ComboBox1->setCurrentIndex(index);
        return;
    }
    const int preferred = choices.DefaultRoute >= 0 ? choices.DefaultRoute : 0;
    ComboBox1->setCurrentIndex(preferred < ComboBox1->count() ? preferred : -1);
}

void TIPMapForm::FillFromProfile() {
    const QString address = Text(apply::CommaTextItem(Value.IP, 0));
    if (address != QLatin1String(apply::kDhcp)) {
        rbCustomIPClick();
        FillAddress(IPAddrEdit1, address);
        FillAddress(IPAddrEdit2, Text(apply::CommaTextItem(Value.Mask, 0)));
        FillAddress(IPAddrEdit3, Text(Value.Gateway));
    } else {
        rbDHCPClick();
    }
    if (Value.DNS1.empty() && Value.DNS2.empty()) {
        rbAutoDNSClick();
    } else {
        rbCustomDNSClick();
        FillAddress(IPAddrEdit4, Text(Value.DNS1));
        FillAddress(IPAddrEdit5, Text(Value.DNS2));
    }
    if (!rbAutoDNS->isEnabled()) {
        rbCustomDNSClick();
    }
    const inventory::TInventoryLists& lists = Host().Inventory();
    if (!Value.Printer.empty()) {
        const int index = IndexIgnoringCase(lists.PrinterNames, Text(Value.Printer));
        if (index >= 0) {
            ComboBox2->setCurrentIndex(index);
        }
    } else {
        cbDefaultPrinter->setChecked(false);
        cbDefaultPrinterClick();
    }
}

void TIPMapForm::btnOKClick() {
    if (RunGuarded(this, [this] { return WriteValue(); })) {
        accept();
    }
}

bool TIPMapForm::WriteValue() {
    apply::Profile profile = Value;
    if (rbDHCP->isChecked()) {
        profile.SetDhcp();
    } else {
        if (!CheckAddressPair(this, IPAddrEdit1, IPAddrEdit2) ||
            !CheckComplete(this, IPAddrEdit3)) {
            return false;
        }
        const TAddressLists lists =
            ReplaceFirstAddress(profile.IP, profile.Mask, IPAddrEdit1->Text().toStdString(),
                                IPAddrEdit2->Text().toStdString());
        if (!lists.FitColumns()) {
            ShowWarning(this, Message("msgIPListTooLong"));
            IPAddrEdit1->setFocus();
            return false;
        }
        profile.IP = lists.IP;
        profile.Mask = lists.Mask;
        profile.Gateway = IPAddrEdit3->Text().toStdString();
    }
    if (rbAutoDNS->isChecked()) {
        profile.SetAutomaticDns();
    } else {
        if (!CheckComplete(this, IPAddrEdit4) || !CheckComplete(this, IPAddrEdit5)) {
            return false;
        }
        profile.DNS1 = IPAddrEdit4->Text().toStdString();
        profile.DNS2 = IPAddrEdit5->Text().toStdString();
    }
    const inventory::TInventoryLists& lists = Host().Inventory();
    if (ComboBox1->currentIndex() >= 0) {
        profile.Interface = ComboBox1->currentData().toString().toStdString();
    }
    const int printer = ComboBox2->currentIndex();
    const bool choosesPrinter = printer >= 0 && printer < lists.PrinterNames.size();
    profile.Printer = choosesPrinter && cbDefaultPrinter->isChecked()
                          ? lists.PrinterNames[printer].toStdString()
                          : std::string();
    // The rules qic and import apply, so the window never stores what they would refuse.
    // The connection is not judged: a profile made elsewhere keeps its name.
    try {
        apply::CheckProfileSettings(profile);
        apply::CheckMaskPerAddress(profile);
    } catch (const apply::RefusedValue& refused) {
        ShowRefusal(this, refused, FieldOf(refused));
        return false;
    }
    // The value then reads as the file will keep it, and the list shows that.
    profile.FitToColumns();
    Value = std::move(profile);
    return true;
}

QWidget* TIPMapForm::FieldOf(const apply::RefusedValue& refused) const {
    const bool first = refused.Item <= 0;
    if (refused.Column == "IP") {
        return first ? static_cast<QWidget*>(IPAddrEdit1) : btnDetail;
    }
    if (refused.Column == "Mask") {
        return first ? static_cast<QWidget*>(IPAddrEdit2) : btnDetail;
    }
    if (refused.Column == "Gateway") {
        return IPAddrEdit3;
    }
    if (refused.Column == "DNS1") {
        return IPAddrEdit4;
    }
    if (refused.Column == "DNS2") {
        return IPAddrEdit5;
    }
    return btnDetail;
}

void TIPMapForm::btnDetailClick() {
    TIPDetailForm detail(this);
    if (detail.exec() == QDialog::Accepted) {
        Value = detail.Value;
    }
}

}  // namespace quorv::dialogs
