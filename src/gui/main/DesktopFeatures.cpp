#include "gui/main/DesktopFeatures.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QRegularExpression>
#include <QToolBar>

#include "core/LiveMatch.h"
#include "gui/dialogs/IPMapForm.h"
#include "gui/frame/ErrorBox.h"
#include "gui/main/Autostart.h"
#include "gui/main/MainForm.h"
#include "gui/widgets/SvgIcon.h"

namespace quorv::app {

namespace {

// Options kept with the window's placement, never in the data file.
constexpr const char* kTrayIconOption = "TrayIcon";
constexpr const char* kCloseToTrayOption = "CloseToTray";
constexpr const char* kStartHiddenOption = "StartHidden";

QIcon DesktopIcon(const char* name) {
    return widgets::SvgIcon(QStringLiteral(":/desktop/%1.svg").arg(QLatin1String(name)));
}

QAction* NewAction(QObject* owner, const char* name, const char* caption, bool checkable) {
    auto* action = new QAction(owner);
    action->setObjectName(name);
    action->setText(QString::fromUtf8(caption));
    // The hint without the access key, as the language files give it.
    action->setToolTip(
        QString::fromUtf8(caption).remove(QRegularExpression(QStringLiteral("\\(&.\\)"))));
    action->setCheckable(checkable);
    action->setMenuRole(QAction::NoRole);
    return action;
}

// Puts `action` right after the item named `after`, or at the end when there is none.
void InsertAfter(QWidget* widget, const char* after, QAction* action) {
    const QList<QAction*> items = widget->actions();
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i]->objectName() == QLatin1String(after)) {
            widget->insertAction(i + 1 < items.size() ? items[i + 1] : nullptr, action);
            return;
        }
    }
    widget->addAction(action);
}

QString AdapterAddresses(const inventory::LiveAdapter& adapter, const QString& none) {
    QStringList parts;
    if (adapter.dhcp) {
        parts << QStringLiteral("DHCP");
    }
    for (const auto& entry : adapter.addresses) {
        parts << QString::fromStdString(entry.address);
    }
    if (adapter.addresses.empty()) {
        parts << none;
    }
    return parts.join(u' ');
}

}  // namespace

TDesktopFeatures::TDesktopFeatures(TMainForm* form, bool watchLive)
    : QObject(form), form_(form), monitor_(new TLiveStateMonitor(this, watchLive)) {
    setObjectName("DesktopFeatures");
    CreateActions();
    PlaceActions();

    marks_.setSingleShot(true);
    marks_.setInterval(0);
    connect(&marks_, &QTimer::timeout, this, &TDesktopFeatures::MarkRows);
    connect(monitor_, &TLiveStateMonitor::Changed, this, [this] {
        ScheduleMarks();
        UpdateTray();
    });
    QAbstractItemModel* rows = form_->ListView1->model();
    connect(rows, &QAbstractItemModel::rowsInserted, this, &TDesktopFeatures::ScheduleMarks);
    connect(rows, &QAbstractItemModel::modelReset, this, &TDesktopFeatures::ScheduleMarks);
    connect(rows, &QAbstractItemModel::dataChanged, this, [this] {
        if (!marking_) {
            ScheduleMarks();
        }
    });

    form_->installEventFilter(this);
    UpdateTray();
    // Reading the adapters, the resolver and the printers can wait for the list's first paint.
    form_->AfterFirstPaint([this] { monitor_->Start(); });
}

void TDesktopFeatures::CreateActions() {
    QObject* list = form_->ActionList1;
    acCapture = NewAction(list, "acCapture", "현재 설정으로 새 프로필(&U)...", false);
    acCapture->setIcon(DesktopIcon("capture"));
    acCapture->setProperty("category", QStringLiteral("도구"));
    acShowWindow = NewAction(list, "acShowWindow", "창 보기(&S)", false);
    acShowWindow->setIcon(DesktopIcon("show-window"));
    acTrayIcon = NewAction(list, "acTrayIcon", "트레이 아이콘 표시(&T)", true);
    acCloseToTray = NewAction(list, "acCloseToTray", "닫으면 트레이로 숨기기(&C)", true);
    acAutostart = NewAction(list, "acAutostart", "로그인하면 시작(&D)", true);
    acStartHidden = NewAction(list, "acStartHidden", "트레이에 숨겨서 시작(&H)", true);

    const bool trayExists = QSystemTrayIcon::isSystemTrayAvailable();
    acTrayIcon->setChecked(Option(kTrayIconOption, trayExists));
    acCloseToTray->setChecked(Option(kCloseToTrayOption, false));
    acStartHidden->setChecked(Option(kStartHiddenOption, false));
    acAutostart->setChecked(AutostartEnabled());
    // Without a tray the tray's options would promise what cannot be.
    for (QAction* option : {acTrayIcon, acCloseToTray, acStartHidden}) {
        option->setVisible(trayExists);
    }

    connect(acCapture, &QAction::triggered, this, [this] {
        RunCommand(form_, [this] { acCaptureExecute(); });
        form_->UpdateActions();
    });
    connect(acShowWindow, &QAction::triggered, this, &TDesktopFeatures::ShowWindow);
    connect(acTrayIcon, &QAction::toggled, this, [this](bool on) {
        SetOption(kTrayIconOption, on);
        UpdateTray();
    });
    connect(acCloseToTray, &QAction::toggled, this,
            [this](bool on) { SetOption(kCloseToTrayOption, on); });
    connect(acStartHidden, &QAction::toggled, this,
            [this](bool on) { SetOption(kStartHiddenOption, on); });
    connect(acAutostart, &QAction::toggled, this, [this](bool on) {
        const bool done =
            RunCommand(form_, [on] { SetAutostart(on, QCoreApplication::applicationFilePath()); });
        if (!done) {
            QSignalBlocker block(acAutostart);
            acAutostart->setChecked(AutostartEnabled());
        }
    });
}

void TDesktopFeatures::PlaceActions() {
    if (auto* tool = form_->findChild<QMenu*>("mnTool")) {
        InsertAfter(tool, "N5", acCapture);
        auto* desktop = new QMenu(QStringLiteral("트레이와 시작(&S)"), tool);
        desktop->setObjectName("mnDesktop");
        desktop->menuAction()->setObjectName("mnDesktopItem");
        desktop->setIcon(DesktopIcon("tray"));
        desktop->addActions({acTrayIcon, acCloseToTray, acStartHidden, acAutostart});
        tool->addMenu(desktop);
    }
    InsertAfter(form_->PopupMenu1, "N14", acCapture);
    const QList<QAction*> bar = form_->ToolBar1->actions();
    const qsizetype insert = bar.indexOf(form_->acInsert);
    form_->ToolBar1->insertAction(
        insert >= 0 && insert + 1 < bar.size() ? bar[insert + 1] : nullptr, acCapture);
}

bool TDesktopFeatures::Option(const char* name, bool fallback) const {
    if (!form_->FormStorage1) {
        return fallback;
    }
    const std::optional<QString> value = form_->FormStorage1->Storage().Read(name);
    return value ? *value == QLatin1String("1") : fallback;
}

void TDesktopFeatures::SetOption(const char* name, bool on) {
    if (form_->FormStorage1) {
        RunCommand(form_, [&] {
            form_->FormStorage1->WritableStorage().Write(
                {{QString::fromLatin1(name), on ? QStringLiteral("1") : QStringLiteral("0")}});
        });
    }
}

void TDesktopFeatures::ScheduleMarks() {
    marks_.start();
}

void TDesktopFeatures::MarkRows() {
    TProfileListView* list = form_->ListView1;
    marking_ = true;
    QSignalBlocker block(list);
    const QIcon mark = DesktopIcon("in-force");
    const bool known = monitor_->HasState();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        // A row never marked looks as one not in force: only changes touch the rows, so a
        // long list is not redrawn row by row at start.
        const bool was = row->data(0, kInForceRole).toBool();
        if (!known && !was) {
            continue;
        }
        const apply::Profile profile = TProfileListView::RowValue(row);
        const bool inForce =
            known && apply::MatchLive(profile, monitor_->State()) == apply::LiveMismatch::None;
        if (was == inForce) {
            continue;
        }
        const QString tip =
            inForce ? form_->Text("msgInForce").arg(QString::fromStdString(profile.Interface))
                    : QString();
        for (int column = 0; column < list->columnCount(); ++column) {
            QFont font = row->font(column);
            font.setBold(inForce);
            row->setFont(column, font);
            row->setToolTip(column, tip);
        }
        row->setIcon(1, inForce ? mark : QIcon());
        row->setData(0, kInForceRole, inForce);
    }
    marking_ = false;
    list->viewport()->update();
    // Tray menus the desktop shows itself (over D-Bus) are taken when set, not when shown;
    // an open menu keeps its items and only moves its check.
    if (trayMenu_ != nullptr && !trayMenu_->isVisible()) {
        FillTrayMenu();
    } else if (trayMenu_ != nullptr) {
        for (QAction* item : trayMenu_->actions()) {
            if (QTreeWidgetItem* row = list->FindRow(item->data().toString());
                row != nullptr && item->isCheckable()) {
                item->setChecked(row->data(0, kInForceRole).toBool());
            }
        }
    }
}

void TDesktopFeatures::UpdateTray() {
    const bool wanted = QSystemTrayIcon::isSystemTrayAvailable() && acTrayIcon->isChecked();
    if (!wanted) {
        if (tray_ != nullptr) {
            tray_->hide();
            delete tray_;
            tray_ = nullptr;
            delete trayMenu_;
            trayMenu_ = nullptr;
            QApplication::setQuitOnLastWindowClosed(true);
        }
        return;
    }
    if (tray_ == nullptr) {
        trayMenu_ = new QMenu(form_);
        trayMenu_->setObjectName("TrayMenu");
        connect(trayMenu_, &QMenu::aboutToShow, this, &TDesktopFeatures::FillTrayMenu);
        FillTrayMenu();
        tray_ = new QSystemTrayIcon(DesktopIcon("quorv-ip-changer"), this);
        tray_->setObjectName("TrayIcon1");
        tray_->setContextMenu(trayMenu_);
        connect(tray_, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger) {
                        form_->isVisible() && !form_->isMinimized() ? form_->hide() : ShowWindow();
                    }
                });
        // The window may be hidden while the tray stays: closing a dialog then is no
        // reason to end the program.
        QApplication::setQuitOnLastWindowClosed(false);
        tray_->show();
    }
    tray_->setToolTip(TrayToolTip());
}

QString TDesktopFeatures::TrayToolTip() const {
    QStringList lines{form_->windowTitle()};
    if (monitor_->HasState()) {
        for (const inventory::LiveAdapter& adapter : monitor_->State().adapters) {
            lines << QString::fromStdString(adapter.name) + QStringLiteral(": ") +
                         AdapterAddresses(adapter, form_->Text("msgNoAddress"));
        }
    }
    return lines.join(u'\n');
}

void TDesktopFeatures::FillTrayMenu() {
    trayMenu_->clear();
    TProfileListView* list = form_->ListView1;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const QString name = row->text(0);
        // The name as it is: a "&" in it is no accelerator.
        QString caption = name;
        QAction* item =
            trayMenu_->addAction(row->icon(0), caption.replace(u'&', QStringLiteral("&&")));
        item->setObjectName(QStringLiteral("TrayProfile%1").arg(i));
        item->setData(name);
        item->setCheckable(true);
        item->setChecked(row->data(0, kInForceRole).toBool());
        connect(item, &QAction::triggered, this, [this, name] { ApplyFromTray(name); });
    }
    trayMenu_->addSeparator()->setObjectName("TraySeparator");
    trayMenu_->addAction(acShowWindow);
    trayMenu_->addAction(form_->acExit);
}

void TDesktopFeatures::ApplyFromTray(const QString& name) {
    TProfileListView* list = form_->ListView1;
    QTreeWidgetItem* row = list->FindRow(name);
    if (row == nullptr) {
        return;
    }
    list->setCurrentItem(row);
    row->setSelected(true);
    form_->Execute(form_->acResult);
    // Whatever the apply did, the marks follow what the system has now.
    monitor_->Refresh();
}

void TDesktopFeatures::ShowWindow() {
    form_->show();
    form_->setWindowState(form_->windowState() & ~Qt::WindowMinimized);
    form_->raise();
    form_->activateWindow();
}

void TDesktopFeatures::ShowAtStart() {
    if (tray_ != nullptr && acStartHidden->isChecked()) {
        // The start-up work that the first show and activation would do, without the window;
        // the tray's texts are then in the user's language.
        form_->PrepareFirstShow();
        monitor_->Start();
        QTimer::singleShot(0, form_, [this] { form_->FormActivate(); });
        return;
    }
    form_->show();
}

bool TDesktopFeatures::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_ && event->type() == QEvent::Close) {
        // Only the window manager's close goes to the tray; Exit and Quit end the program.
        if (event->spontaneous() && tray_ != nullptr && acCloseToTray->isChecked()) {
            event->ignore();
            form_->hide();
            return true;
        }
        if (tray_ != nullptr) {
            tray_->hide();
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TDesktopFeatures::acCaptureExecute() {
    inventory::LiveState live =
        monitor_->HasState() ? monitor_->State() : inventory::ReadLiveState();
    QStringList items;
    std::vector<const inventory::LiveAdapter*> adapters;
    int preselect = -1;
    for (const inventory::LiveAdapter& adapter : live.adapters) {
        if (!adapter.dhcp && adapter.addresses.empty()) {
            continue;
        }
        if (preselect < 0 && adapter.carrier) {
            preselect = static_cast<int>(adapters.size());
        }
        adapters.push_back(&adapter);
        items << QString::fromStdString(adapter.name) + QStringLiteral(" (") +
                     AdapterAddresses(adapter, form_->Text("msgNoAddress")) + u')';
    }
    if (adapters.empty()) {
        form_->Ask(QMessageBox::Warning, form_->Text("msgNoCaptureAdapter"), QMessageBox::Ok);
        return;
    }
    QInputDialog box(form_);
    box.setObjectName("CaptureAdapterBox");
    box.setWindowTitle(acCapture->text().remove(u'&').remove(QStringLiteral("...")));
    box.setLabelText(form_->Text("msgCaptureAdapter"));
    box.setComboBoxItems(items);
    box.setComboBoxEditable(false);
    box.setTextValue(items[preselect < 0 ? 0 : preselect]);
    if (box.exec() != QDialog::Accepted) {
        return;
    }
    const qsizetype chosen = items.indexOf(box.textValue());
    if (chosen < 0) {
        return;
    }
    QString name;
    if (!form_->AskNewProfileName(name)) {
        return;
    }
    apply::Profile profile = apply::CaptureProfile(*adapters[static_cast<size_t>(chosen)],
                                                   live.defaultPrinter.value_or(""));
    profile.Name = name.toStdString();
    dialogs::TIPMapForm dialog(form_);
    dialog.Value = profile;
    dialog.setWindowTitle(dialog.windowTitle() + " - [" + name + "]");
    // The dialog shows a given profile in its edit mode; saved, it is a new one all the same.
    dialog.btnOK->setText(form_->Text("msgOK"));
    form_->ExecProfileDialog(dialog, std::nullopt);
}

}  // namespace quorv::app
