#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "gui/frame/FormHost.h"
#include "gui/frame/FormStorage.h"
#include "gui/frame/Language.h"
#include "gui/frame/MessageTexts.h"
#include "gui/main/ImageList.h"
#include "gui/main/MainFormServices.h"
#include "gui/main/ProfileListView.h"
#include "store/StoreTable.h"
#include "system/InventoryLists.h"

namespace quorv::dialogs {
class TIPMapForm;
}
namespace quorv::widgets {
class TFirstPaint;
}

namespace quorv::app {

class TDesktopFeatures;

// The main window: the profile list and every command on it. It owns the two table cursors
// for the whole run and lends them, with its lists and texts, to the windows it opens.
class TMainForm : public QMainWindow, public settings::IFormHost {
    Q_OBJECT
  public:
    // dataFile: the data file to open (created when missing); QuorvIPChanger.ini beside
    // it switches the placement to that file. services: nullptr for the real ones;
    // otherwise kept by the caller for the window's lifetime. languageFolder: empty for
    // the Language folder beside the program.
    explicit TMainForm(const std::string& dataFile, TMainFormServices* services = nullptr,
                       const QString& languageFolder = {});
    ~TMainForm() override;

    // settings::IFormHost
    void ApplyLanguage(QWidget* form) override;
    const settings::TMessageTexts& MessageTexts() const override { return texts_; }
    inventory::TInventoryLists& Inventory() override { return inventory_; }
    store::TStoreTable& ProfileTable() override { return StoreTable1; }
    store::TStoreTable& OptionTable() override { return StoreTable2; }
    void LoadProfileList() override;
    void ShowException(const std::exception& error) override;
    QString Language() const override { return FormStorage1 ? FormStorage1->Language : QString(); }
    settings::IPlacementStorage* UserSettings() override;

    // Runs the enabling rules of the actions now.
    void UpdateActions();
    // Runs an action the way a menu click does: its enabling rule first.
    void Execute(QAction* action);
    bool Activated() const { return activated_; }
    void setVisible(bool visible) override;
    // Start-up work that can wait: it runs right after the list's first paint, in the
    // order given, before the first activation's work when given before the window shows.
    void AfterFirstPaint(std::function<void()> work);

    // Components.
    TImageList* ImageList1;
    QObject* ActionList1;
    QMenuBar* MainMenu1;
    QMenu* PopupMenu1;
    QToolBar* ToolBar1;
    TProfileListView* ListView1;
    QStatusBar* StatusBar1;
    QLabel* Panel1;
    store::TStoreTable StoreTable1;
    store::TStoreTable StoreTable2;
    std::unique_ptr<settings::TQLanguage> QLanguage;
    std::unique_ptr<settings::TFormStorage> FormStorage1;
    // The live marks, the capture command, the tray and its options.
    TDesktopFeatures* Desktop = nullptr;

    QAction* acOpen;
    QAction* acSave;
    QAction* acExit;
    QAction* acResult;
    QAction* acInsert;
    QAction* acUpdate;
    QAction* acDelete;
    QAction* acHelp;
    QAction* acQnA;
    QAction* acDonate;
    QAction* acAbout;
    QAction* acIcon11;
    QAction* acIcon12;
    QAction* acIcon13;
    QAction* acInfo;
    QAction* acKorea;
    QAction* acEnglish;
    QAction* acOption;
    // F5: reads the list again from the data file.
    QAction* acRefresh;

  protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    friend class TDesktopFeatures;
    void CreateComponents();
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void ConnectCommands();

    void FormCreate();
    void OpenDataFile(const std::string& path);
    void FormActivate();
    // Placement and language, once: before the first show, or for a start hidden in the tray.
    void PrepareFirstShow();
    void FormClose();
    // One warning box with the settings problems given and a language file that could
    // not be read; nothing when there are none.
    void ShowLanguageProblem(QStringList problems);
    // Keeps the window on the screen with its real frame, asking again while the window
    // manager has not told it.
    void KeepOnScreenOnceFramed(int tries);
    // Checks the Language menu's item of the language in use.
    void ShowLanguageChoice();

    void acOpenExecute();
    void acSaveExecute();
    void acInsertExecute();
    // The name box of a new profile, asked again while the name is taken; false when the
    // user cancels.
    bool AskNewProfileName(QString& name);
    void acUpdateExecute();
    void acDeleteExecute();
    void acResultExecute();
    void acInfoExecute();
    void acOptionExecute();
    void acLanguageExecute(QAction* sender);
    void acAboutExecute();
    void acExitExecute();
    void acHelpExecute();
    void acQnAExecute();
    void acDonateExecute();
    void acIconExecute(QAction* sender);
    void acRefreshExecute();

    // MainFormWatch.cpp: the list follows the data file, keeping the selected profile.
    void WatchDataFile();
    void DataFileChanged();
    void ReloadList();
    void RestoreColumnWidths();
    void KeepColumnWidths();
    void ListView1Edited(QTreeWidgetItem* item, QString& name);
    void ListView1DblClick();

    // A command of this window: failures go to the error box, the enabling rules run after.
    void Command(void (TMainForm::*handler)());
    // Posts StoreTable1; a failed post is cancelled before the failure goes on.

    // Shows the IP dialog and saves the profile it returns, with its row: a new one when
    // storedName is nullopt, else over the profile of that name.
    void ExecProfileDialog(dialogs::TIPMapForm& form, const std::optional<apply::Profile>& before);
    // Positions StoreTable1 on the record a row shows: by its name when that record is
    // still the row's, else by the record's Num. False when it is gone.
    bool FindRowRecord(QTreeWidgetItem* row);
    // The stored profile a row shows; nullopt, after saying so and reading the list
    // again, when another program renamed or deleted it meanwhile.
    std::optional<apply::Profile> RowProfile(QTreeWidgetItem* row);
    void TellStaleRow(const QString& name);
    // Whether this machine has the profile's connection; when not, says so and which
    // adapters it has, before anything is applied.
    bool ConnectionPresent(const apply::Profile& profile);
    QString Text(const char* key) const { return texts_.Text(key); }
    QMessageBox::StandardButton Ask(QMessageBox::Icon icon, const QString& text,
                                    QMessageBox::StandardButtons buttons);
    apply::ProgressTexts ProgressTexts() const;
    apply::SafeTexts SafeTexts() const;

    std::unique_ptr<TMainFormServices> ownServices_;
    TMainFormServices* services_;
    std::string dataFile_;
    settings::TMessageTexts texts_;
    inventory::TInventoryLists inventory_;
    widgets::TFirstPaint* firstPaint_ = nullptr;
    bool activated_ = false;
    bool placed_ = false;
    int damagedProfiles_ = 0;
    QTimer reloadRetry_;
};

}  // namespace quorv::app
