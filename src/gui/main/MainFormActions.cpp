#include "gui/main/MainForm.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QShortcut>

#include "gui/frame/ErrorBox.h"

namespace quorv::app {

namespace {

struct ActionDef {
    QAction* TMainForm::*member;
    const char* name;
    const char* category;
    const char* caption;
    int image;
    const char* hint;  // nullptr: the caption
};

const char* const kFile = "파일";
const char* const kTool = "도구";
const char* const kHelp = "도움말";

// Captions carry their access keys as Korean programs show them, "(&X)" after the word;
// the hints are the plain words.
const ActionDef kActions[] = {
    {&TMainForm::acOpen, "acOpen", kFile, "파일에서 데이터 읽어오기(&I)...", imgOpen,
     "파일에서 데이터 읽어오기..."},
    {&TMainForm::acSave, "acSave", kFile, "파일로 데이터 저장하기(&E)...", imgSave,
     "파일로 데이터 저장하기..."},
    {&TMainForm::acExit, "acExit", kFile, "종료(&X)", imgExit, "종료"},
    {&TMainForm::acResult, "acResult", kTool, "IP 설정(&A)", imgApply, "IP 설정"},
    {&TMainForm::acInsert, "acInsert", kTool, "추가(&N)", imgAdd, "추가"},
    {&TMainForm::acUpdate, "acUpdate", kTool, "수정(&E)", imgEdit, "수정"},
    {&TMainForm::acDelete, "acDelete", kTool, "삭제(&D)", imgDelete, "삭제"},
    {&TMainForm::acHelp, "acHelp", kHelp, "도움말(&H)", imgHelp, "도움말"},
    // A doubled ampersand shows as one in a caption; the hint is plain text.
    {&TMainForm::acQnA, "acQnA", kHelp, "Q&&A 게시판(&Q)", imgQnA, "Q&A 게시판"},
    {&TMainForm::acDonate, "acDonate", kHelp, "&Donate", imgDonate, ""},
    {&TMainForm::acAbout, "acAbout", kHelp, "등록 정보(&A)", imgAbout, "등록 정보"},
    {&TMainForm::acIcon11, "acIcon11", kTool, "유선 네트워크 어뎁터(&W)", imgWired,
     "유선 네트워크 어뎁터"},
    {&TMainForm::acIcon12, "acIcon12", kTool, "무선 네트워크 어뎁터(&I)", imgWireless,
     "무선 네트워크 어뎁터"},
    {&TMainForm::acIcon13, "acIcon13", kTool, "기타 네트워크 어뎁터(&O)", imgOtherAdapter,
     "기타 네트워크 어뎁터"},
    {&TMainForm::acInfo, "acInfo", kTool, "IP 설정 정보 보기(&C)", imgInformation,
     "IP 설정 정보 보기"},
    // Each language by the name its readers know it by.
    {&TMainForm::acKorea, "acKorea", kTool, "한국어(&K)", imgKorea, "한국어"},
    {&TMainForm::acEnglish, "acEnglish", kTool, "&English", imgEnglish, "English"},
    {&TMainForm::acOption, "acOption", kTool, "환경 설정(&O)", imgOptions, "환경 설정"},
    {&TMainForm::acRefresh, "acRefresh", kTool, "목록 새로 고침(&R)", -1, "목록 새로 고침"},
};

// A menu item of its own name that shows and runs an action, so the language files can
// address every item while the action stays the one command.
QAction* AddItem(QMenu* menu, const char* name, QAction* action) {
    auto* item = new QAction(menu);
    item->setObjectName(name);
    auto sync = [item, action] {
        item->setText(action->text());
        item->setIcon(action->icon());
        item->setToolTip(action->toolTip());
        item->setEnabled(action->isEnabled());
        item->setVisible(action->isVisible());
        item->setCheckable(action->isCheckable());
        item->setChecked(action->isChecked());
        // Shown beside the item; only the action itself answers the keys, as two actions
        // with one shortcut would both be ambiguous and do nothing.
        item->setShortcut(action->shortcut());
    };
    item->setShortcutContext(Qt::WidgetShortcut);
    sync();
    QObject::connect(action, &QAction::changed, item, sync);
    QObject::connect(item, &QAction::triggered, action, [action] { action->trigger(); });
    menu->addAction(item);
    return item;
}

void AddSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(name);
}

QMenu* AddMenu(QWidget* parent, const char* name, const char* title, const QIcon& icon = {}) {
    auto* menu = new QMenu(QString::fromUtf8(title), parent);
    menu->setObjectName(name);
    menu->setIcon(icon);
    menu->menuAction()->setObjectName(QString(name) + "Item");
    return menu;
}

}  // namespace

void TMainForm::CreateActions() {
    for (const ActionDef& def : kActions) {
        auto* action = new QAction(ActionList1);
        action->setObjectName(def.name);
        action->setText(QString::fromUtf8(def.caption));
        action->setIconText(QString::fromUtf8(def.caption));
        action->setToolTip(QString::fromUtf8(def.hint ? def.hint : def.caption));
        if (def.image >= 0) {
            action->setIcon(ImageList1->Icon(def.image));
        }
        action->setProperty("category", QString::fromUtf8(def.category));
        action->setProperty("imageIndex", def.image);
        // Menus keep their shortcuts to the items' own accelerators only.
        action->setMenuRole(QAction::NoRole);
        this->*def.member = action;
        addAction(action);
    }
    acInsert->setShortcut(QKeySequence::New);
    acDelete->setShortcut(QKeySequence::Delete);
    acRefresh->setShortcut(QKeySequence::Refresh);
    auto* languages = new QActionGroup(ActionList1);
    for (QAction* language : {acKorea, acEnglish}) {
        language->setCheckable(true);
        languages->addAction(language);
    }
}

void TMainForm::CreateMenus() {
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName("MainMenu1");
    setMenuBar(MainMenu1);

    QMenu* file = AddMenu(MainMenu1, "mnFile", "파일(&F)");
    AddItem(file, "N29", acOpen);
    AddItem(file, "N30", acSave);
    AddSeparator(file, "N28");
    AddItem(file, "N2", acExit);

    QMenu* tool = AddMenu(MainMenu1, "mnTool", "도구(&T)");
    AddItem(tool, "IP1", acResult);
    AddSeparator(tool, "N13");
    AddItem(tool, "N5", acInsert);
    AddItem(tool, "N6", acUpdate);
    AddItem(tool, "N7", acDelete);
    AddSeparator(tool, "N24");
    QMenu* changeIcon =
        AddMenu(tool, "mnChangeIcon", "아이콘 변경(&I)", ImageList1->Icon(imgChangeIcon));
    AddItem(changeIcon, "N19", acIcon11);
    AddItem(changeIcon, "N20", acIcon12);
    AddItem(changeIcon, "N27", acIcon13);
    tool->addMenu(changeIcon);
    AddSeparator(tool, "N11");
    AddItem(tool, "IP3", acInfo);
    AddItem(tool, "N32", acRefresh);
    QMenu* language = AddMenu(tool, "mnLanguage", "&Language", ImageList1->Icon(imgLanguage));
    AddItem(language, "N31", acKorea);
    AddItem(language, "English1", acEnglish);
    tool->addMenu(language);
    AddItem(tool, "N12", acOption);

    QMenu* help = AddMenu(MainMenu1, "mnHelp", "도움말(&H)");
    AddItem(help, "N8", acHelp);
    AddItem(help, "QuorvUtility1", acQnA);
    AddSeparator(help, "N9");
    AddItem(help, "Donate1", acDonate);
    AddItem(help, "N10", acAbout);

    MainMenu1->addMenu(file);
    MainMenu1->addMenu(tool);
    MainMenu1->addMenu(help);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    AddItem(PopupMenu1, "IP2", acResult);
    AddSeparator(PopupMenu1, "N17");
    AddItem(PopupMenu1, "N14", acInsert);
    AddItem(PopupMenu1, "N15", acUpdate);
    AddItem(PopupMenu1, "N16", acDelete);
    AddSeparator(PopupMenu1, "N25");
    QMenu* popupIcon =
        AddMenu(PopupMenu1, "N21", "아이콘 변경(&I)", ImageList1->Icon(imgChangeIcon));
    AddItem(popupIcon, "N22", acIcon11);
    AddItem(popupIcon, "N23", acIcon12);
    AddItem(popupIcon, "N26", acIcon13);
    PopupMenu1->addMenu(popupIcon);

    // The enabling rules run before any menu shows.
    for (QMenu* menu : findChildren<QMenu*>()) {
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdateActions);
    }
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        PopupMenu1->popup(ListView1->viewport()->mapToGlobal(pos));
    });
}

void TMainForm::CreateToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setFixedHeight(29);
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, ToolBar1);
    setContextMenuPolicy(Qt::NoContextMenu);

    ToolBar1->addSeparator();
    ToolBar1->addActions({acOpen, acSave});
    ToolBar1->addSeparator();
    ToolBar1->addAction(acResult);
    ToolBar1->addSeparator();
    ToolBar1->addActions({acInsert, acUpdate, acDelete});
    ToolBar1->addSeparator();
    ToolBar1->addActions({acInfo, acOption});
    ToolBar1->addSeparator();
    ToolBar1->addActions({acHelp, acQnA, acAbout});
}

void TMainForm::ConnectCommands() {
    auto on = [this](QAction* action, void (TMainForm::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { Command(handler); });
    };
    on(acResult, &TMainForm::acResultExecute);
    on(acInsert, &TMainForm::acInsertExecute);
    on(acUpdate, &TMainForm::acUpdateExecute);
    on(acDelete, &TMainForm::acDeleteExecute);
    on(acExit, &TMainForm::acExitExecute);
    on(acOpen, &TMainForm::acOpenExecute);
    on(acSave, &TMainForm::acSaveExecute);
    on(acInfo, &TMainForm::acInfoExecute);
    on(acOption, &TMainForm::acOptionExecute);
    on(acAbout, &TMainForm::acAboutExecute);
    for (QAction* language : {acKorea, acEnglish}) {
        connect(language, &QAction::triggered, this, [this, language] {
            RunCommand(this, [this, language] { acLanguageExecute(language); });
            UpdateActions();
        });
    }
    on(acHelp, &TMainForm::acHelpExecute);
    on(acQnA, &TMainForm::acQnAExecute);
    on(acDonate, &TMainForm::acDonateExecute);
    on(acRefresh, &TMainForm::acRefreshExecute);
    // Enter on the list does what a double-click does; not while a name is being edited,
    // where Enter confirms the name.
    for (const QKeySequence& key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(key, ListView1, nullptr, nullptr, Qt::WidgetShortcut);
        connect(enter, &QShortcut::activated, this,
                [this] { Command(&TMainForm::ListView1DblClick); });
    }
    for (QAction* icon : {acIcon11, acIcon12, acIcon13}) {
        connect(icon, &QAction::triggered, this, [this, icon] {
            RunCommand(this, [this, icon] { acIconExecute(icon); });
            UpdateActions();
        });
    }
    ListView1->SetEditedHandler(
        [this](QTreeWidgetItem* item, QString& name) { ListView1Edited(item, name); });
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this,
            [this] { Command(&TMainForm::ListView1DblClick); });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TMainForm::UpdateActions);
    // And whenever the application goes idle, as action lists do.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                &TMainForm::UpdateActions);
    }
}

void TMainForm::Command(void (TMainForm::*handler)()) {
    RunCommand(this, [this, handler] { (this->*handler)(); });
    UpdateActions();
}

void TMainForm::UpdateActions() {
    const bool selected = ListView1->Selected() != nullptr;
    for (QAction* action : {acResult, acUpdate, acDelete, acIcon11, acIcon12, acIcon13}) {
        action->setEnabled(selected);
    }
}

void TMainForm::Execute(QAction* action) {
    UpdateActions();
    if (action->isEnabled()) {
        action->trigger();
    }
}

}  // namespace quorv::app
