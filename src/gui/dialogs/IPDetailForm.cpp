#include "gui/dialogs/IPDetailForm.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <QTimer>
#include <optional>

#include "core/AddressLists.h"
#include "core/CommaText.h"
#include "core/ProfileChecks.h"
#include "gui/dialogs/AddIPForm.h"
#include "gui/dialogs/DialogBoxes.h"
#include "gui/dialogs/DialogFrame.h"
#include "gui/dialogs/FormControls.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/frame/WindowFrame.h"

namespace quorv::dialogs {

namespace {

// An in-place edit of an address is taken only when the shared checks take the address;
// otherwise the user is told why and the edit opens again with the refused text, so the
// list never holds what OK would refuse and nothing is reverted silently.
class AddressDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (index.column() != 0) {
            return nullptr;
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (line != nullptr && refused_) {
            line->setText(*refused_);
            refused_.reset();
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        auto* line = qobject_cast<QLineEdit*>(editor);
        auto* view = qobject_cast<QAbstractItemView*>(parent());
        if (line == nullptr || view == nullptr) {
            return;
        }
        const QString text = line->text().trimmed();
        if (text == index.data().toString()) {
            return;
        }
        try {
            apply::CheckHostAddress(text.toStdString(), "IP address");
            model->setData(index, text);
        } catch (apply::RefusedValue& refused) {
            refused.Column = "IP";
            // The editor is closing now; the box and the new edit follow once it has.
            QTimer::singleShot(0, view,
                               [this, view, row = QPersistentModelIndex(index), text,
                                reason = std::string(refused.what())] {
                                   apply::RefusedValue again(reason);
                                   again.Column = "IP";
                                   ShowRefusal(view->window(), again, view);
                                   if (row.isValid()) {
                                       refused_ = text;
                                       view->setCurrentIndex(row);
                                       view->edit(row);
                                   }
                               });
        }
    }

  private:
    mutable std::optional<QString> refused_;
};

// The memo shows LF; the record keeps CR LF between lines.
std::string ScriptFromMemo(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    lines.replace(u'\n', QStringLiteral("\r\n"));
    return std::string(apply::TrimBlanks(lines.toStdString()));
}

QString MemoFromScript(const std::string& script) {
    QString text = QString::fromStdString(script);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\r', u'\n');
    return text;
}

}  // namespace

TIPDetailForm::TIPDetailForm(TIPMapForm* owner)
    : QDialog(owner), Value(owner->Value), owner_(owner) {
    setObjectName("IPDetailForm");
    setWindowTitle(QStringLiteral("고급 설정"));
    settings::SetFixedDialogFrame(*this, 449, 397);
    CreateControls();
    FormCreate();
}

void TIPDetailForm::CreateControls() {
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setGeometry(8, 8, 433, 348);
    TabSheet1 = new TTabSheet;
    TabSheet1->setObjectName("TabSheet1");
    PageControl1->addTab(TabSheet1, QStringLiteral("IP 설정"));

    gbIP = new QGroupBox(QStringLiteral("IP 주소"), TabSheet1);
    gbIP->setObjectName("gbIP");
    gbIP->setGeometry(8, 6, 411, 176);
    ListView1 = new QTreeWidget(gbIP);
    ListView1->setObjectName("ListView1");
    ListView1->setGeometry(12, 22, 387, 112);
    ListView1->setColumnCount(2);
    ListView1->setHeaderLabels({QStringLiteral("IP Address"), QStringLiteral("Subnetmask")});
    ListView1->setColumnWidth(0, 175);
    ListView1->setColumnWidth(1, 175);
    ListView1->setRootIsDecorated(false);
    ListView1->setSortingEnabled(false);
    ListView1->header()->setSectionsMovable(false);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setEditTriggers(QAbstractItemView::SelectedClicked |
                               QAbstractItemView::EditKeyPressed);
    ListView1->setItemDelegate(new AddressDelegate(ListView1));

    btnAdd = NewButton(QStringLiteral("추가(&A)..."), "btnAdd", gbIP);
    btnAdd->setGeometry(156, 142, 78, 26);
    btnEdit = NewButton(QStringLiteral("편집(&E)..."), "btnEdit", gbIP);
    btnEdit->setGeometry(239, 142, 78, 26);
    btnEdit->setEnabled(false);
    btnDelete = NewButton(QStringLiteral("제거(&R)"), "btnDelete", gbIP);
    btnDelete->setGeometry(322, 142, 78, 26);
    btnDelete->setEnabled(false);

    gbScript = new QGroupBox(QStringLiteral("스크립트 명령"), TabSheet1);
    gbScript->setObjectName("gbScript");
    gbScript->setGeometry(8, 188, 411, 122);
    Memo1 = new QPlainTextEdit(gbScript);
    Memo1->setObjectName("Memo1");
    Memo1->setGeometry(12, 22, 387, 90);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);

    btnOK = NewButton(QStringLiteral("확인"), "btnOK", this);
    btnOK->setGeometry(275, 364, 80, 26);
    btnCancel = NewButton(QStringLiteral("취소"), "btnCancel", this);
    btnCancel->setGeometry(361, 364, 80, 26);

    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, [this] { ListView1SelectItem(); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { btnAddClick(btnAdd); });
    connect(btnEdit, &QPushButton::clicked, this, [this] { btnAddClick(btnEdit); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { btnDeleteClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

QTreeWidgetItem* TIPDetailForm::AddRow(const QString& address, const QString& mask) {
    auto* row = new QTreeWidgetItem(QStringList{address, mask});
    row->setFlags(row->flags() | Qt::ItemIsEditable);
    ListView1->addTopLevelItem(row);
    return row;
}

void TIPDetailForm::FormCreate() {
    ApplyLanguage(this);
    // The script is shown whatever the addresses are: OK writes the memo back, and an
    // empty memo would wipe a stored script.
    Memo1->setPlainText(MemoFromScript(Value.Script));
    const std::vector<TAddressRow> rows = AddressRows(Value.IP, Value.Mask);
    // The first pair is what the IP dialog shows now, typed or loaded, never an older
    // stored one that its OK would put back.
    AddRow(owner_->IPAddrEdit1->Text(), owner_->IPAddrEdit2->Text());
    for (size_t i = 1; i < rows.size(); ++i) {
        AddRow(QString::fromStdString(rows[i].first), QString::fromStdString(rows[i].second));
    }
}

void TIPDetailForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!centred_) {
        centred_ = true;
        settings::CenterOnScreen(*this);
    }
}

void TIPDetailForm::ListView1SelectItem() {
    const bool selected = !ListView1->selectedItems().isEmpty();
    btnEdit->setEnabled(selected);
    btnDelete->setEnabled(selected);
}

void TIPDetailForm::btnAddClick(QPushButton* sender) {
    TAddIPForm form(ListView1, this);
    if (sender == btnEdit) {
        QTreeWidgetItem* row = ListView1->currentItem();
        if (row == nullptr || !row->isSelected()) {
            return;
        }
        FillAddress(form.IPAddrEdit1, row->text(0));
        FillAddress(form.IPAddrEdit2, row->text(1));
        form.btnOK->setText(Message("msgOK"));
    }
    form.exec();
}

void TIPDetailForm::btnDeleteClick() {
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (!selected.isEmpty()) {
        delete selected.first();
    }
    ListView1SelectItem();
}

void TIPDetailForm::btnOKClick() {
    if (RunGuarded(this, [this] { return WriteValue(); })) {
        accept();
    }
}

bool TIPDetailForm::WriteValue() {
    const int count = ListView1->topLevelItemCount();
    if (count == 0) {
        ShowWarning(this, Message("msgEmptyIP"));
        return false;
    }
    std::vector<TAddressRow> rows;
    for (int i = 0; i < count; ++i) {
        const QTreeWidgetItem* row = ListView1->topLevelItem(i);
        rows.emplace_back(row->text(0).toStdString(), row->text(1).toStdString());
    }
    const TAddressLists lists = JoinAddressRows(rows);
    if (!lists.FitColumns()) {
        ShowWarning(this, Message("msgIPListTooLong"));
        ListView1->setFocus();
        return false;
    }
    const std::string script = ScriptFromMemo(Memo1->toPlainText());
    // Every row and the script as qic and import judge them; the gateway and the DNS
    // servers are the IP dialog's, judged again by its OK.
    apply::Profile checked;
    checked.IP = lists.IP;
    checked.Mask = lists.Mask;
    checked.Script = script;
    try {
        apply::CheckProfileSettings(checked);
        apply::CheckMaskPerAddress(checked);
    } catch (const apply::RefusedValue& refused) {
        QWidget* field = Memo1;
        if (refused.Column == "IP" || refused.Column == "Mask") {
            field = ListView1;
            if (refused.Item >= 0 && refused.Item < count) {
                ListView1->setCurrentItem(ListView1->topLevelItem(refused.Item));
            }
        }
        ShowRefusal(this, refused, field);
        return false;
    }
    // Both checked before either is set, so a refused pair changes nothing.
    const QString first = QString::fromStdString(rows[0].first);
    const QString firstMask = QString::fromStdString(rows[0].second);
    TIPAddrEdit::CheckText(first);
    TIPAddrEdit::CheckText(firstMask);
    owner_->IPAddrEdit1->SetText(first);
    owner_->IPAddrEdit2->SetText(firstMask);
    Value.IP = lists.IP;
    Value.Mask = lists.Mask;
    Value.Script = script;
    return true;
}

}  // namespace quorv::dialogs
