#include "gui/main/MainForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "core/DataFile.h"
#include "core/DataLocation.h"
#include "gui/frame/ErrorBox.h"
#include "gui/frame/LanguageOps.h"
#include "gui/frame/PlacementStorage.h"
#include "gui/frame/WindowFit.h"
#include "gui/main/DesktopFeatures.h"
#include "gui/widgets/FirstPaint.h"
#include "gui/widgets/PlainText.h"
#include "gui/widgets/SvgIcon.h"

namespace quorv::app {

namespace {

// An X server without a window manager may never activate the window; the start-up
// work must not wait for that forever.
constexpr int kActivationFallbackMs = 1000;

// How long the window waits for the window manager to tell its frame: 20 x 100 ms.
constexpr int kFrameChecks = 20;
constexpr int kFrameCheckMs = 100;

}  // namespace

TMainForm::TMainForm(const std::string& dataFile, TMainFormServices* services,
                     const QString& languageFolder)
    : services_(services), dataFile_(dataFile) {
    if (services_ == nullptr) {
        ownServices_ = std::make_unique<TMainFormServices>();
        services_ = ownServices_.get();
    }
    setObjectName("MainForm");
    setWindowTitle(QStringLiteral("Quorv IP Changer"));
    setWindowIcon(widgets::SvgIcon(QStringLiteral(":/desktop/quorv-ip-changer.svg")));
    resize(728, 424);
    settings::SetFormHost(this);
    QLanguage = std::make_unique<settings::TQLanguage>(
        languageFolder.isEmpty() ? settings::TQLanguage::DefaultFolder() : languageFolder);
    CreateComponents();
    firstPaint_ = new widgets::TFirstPaint(ListView1->viewport(), this);
    RunCommand(this, [this] { FormCreate(); });
    Desktop = new TDesktopFeatures(this, services_->WatchLiveState());
    UpdateActions();
}

TMainForm::~TMainForm() {
    if (settings::FormHost() == this) {
        settings::SetFormHost(nullptr);
    }
}

void TMainForm::CreateComponents() {
    ImageList1 = new TImageList(this);
    ActionList1 = new QObject(this);
    ActionList1->setObjectName("ActionList1");
    CreateActions();

    ListView1 = new TProfileListView(ImageList1, this);
    setCentralWidget(ListView1);
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setFixedHeight(19);
    StatusBar1->setSizeGripEnabled(false);
    setStatusBar(StatusBar1);

    Panel1 = new QLabel(QStringLiteral("Waiting..."), this);
    Panel1->setObjectName("Panel1");
    Panel1->setTextFormat(Qt::PlainText);
    Panel1->setFixedSize(253, 57);
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setAutoFillBackground(true);
    Panel1->hide();

    CreateMenus();
    CreateToolBar();
    ConnectCommands();
}

void TMainForm::ApplyLanguage(QWidget* form) {
    if (!FormStorage1) {
        return;
    }
    settings::ApplyLanguage(FormStorage1->Language, *QLanguage, form);
}

void TMainForm::LoadProfileList() {
    ListView1->Load(StoreTable1);
    UpdateActions();
}

void TMainForm::ShowException(const std::exception& error) {
    ShowErrorBox(this, QString::fromUtf8(error.what()));
}

void TMainForm::FormCreate() {
    const std::string folder = dataFile_.substr(0, dataFile_.rfind('/') + 1);
    FormStorage1 = std::make_unique<settings::TFormStorage>(
        settings::ChoosePlacementStorage(QString::fromStdString(folder + kSettingsFileName)));
    inventory_ = {};
    inventory_.DefaultPrinterIndex = 0;
    OpenDataFile(dataFile_);
    WatchDataFile();
}

void TMainForm::OpenDataFile(const std::string& path) {
    // Failures opening the tables leave that cursor closed; the commands then report the
    // store's messages when they use it.
    damagedProfiles_ = app::OpenDataFile(path, StoreTable1, StoreTable2, [this] {
                           ListView1->Load(StoreTable1);
                       }).damagedProfiles;
}

void TMainForm::AfterFirstPaint(std::function<void()> work) {
    firstPaint_->Then(std::move(work));
}

bool TMainForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && !activated_) {
        // The window is painted, and the activation done, before the start-up work
        // paints again and blocks.
        AfterFirstPaint([this] { FormActivate(); });
    }
    return QMainWindow::event(event);
}

void TMainForm::setVisible(bool visible) {
    // Placed, and in the user's language, before the first layout measures the texts and
    // before the first paint shows them.
    if (visible) {
        PrepareFirstShow();
    }
    QMainWindow::setVisible(visible);
}

void TMainForm::PrepareFirstShow() {
    if (!placed_) {
        placed_ = true;
        // Without a stored choice the locale's language counts as chosen, so on a Korean
        // system the built-in texts stay as they are.
        if (FormStorage1 && FormStorage1->Language.isEmpty()) {
            FormStorage1->Language = settings::SystemLanguage();
        }
        if (!FormStorage1 || !FormStorage1->Restore(this)) {
            // The designed size is in device-independent pixels; at a large scale factor
            // it may not fit the screen, whose menu and title bar must stay reachable.
            setGeometry(settings::CentredClientRect(
                QSize(728, 424), QGuiApplication::primaryScreen(), settings::FrameMargins(this)));
        }
        // What could not be read is said at the first activation.
        RunCommand(this, [this] {
            if (FormStorage1) {
                settings::StartLanguage(FormStorage1->Language, *QLanguage, this, texts_);
                ShowLanguageChoice();
            }
        });
        RestoreColumnWidths();
    }
}

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!activated_) {
        QTimer::singleShot(kActivationFallbackMs, this, [this] { FormActivate(); });
    }
}

void TMainForm::FormActivate() {
    if (activated_) {
        return;
    }
    activated_ = true;
    // With the frame the window manager drew, which the one assumed before the window
    // showed may have underestimated.
    KeepOnScreenOnceFramed(kFrameChecks);
    RunCommand(this, [this] {
        repaint();
        Panel1->move(width() / 2 - Panel1->width() / 2,
                     height() / 2 - Panel1->height() / 2 - ListView1->y());
        Panel1->setText(Text("msgReadInterface"));
        Panel1->show();
        Panel1->raise();
        Panel1->repaint();
        services_->ReadNetworkConnections(inventory_);
        Panel1->hide();
    });
    QStringList problems;
    if (FormStorage1 && !FormStorage1->Storage().Problem().empty()) {
        problems << QString::fromStdString(FormStorage1->Storage().Problem()) +
                        QStringLiteral(
                            "\nThe window opens at its designed place, and its "
                            "place is not saved to that file.");
    }
    ShowLanguageProblem(problems);
    // Said once the texts are in the user's language: some profiles are not in the list.
    if (damagedProfiles_ > 0) {
        widgets::TPlainMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                                      Text("msgDamagedProfiles").arg(damagedProfiles_),
                                      QMessageBox::Ok, this);
        box.setObjectName("DamagedProfilesBox");
        box.exec();
    }
}

void TMainForm::KeepOnScreenOnceFramed(int tries) {
    if (!settings::KeepOnScreen(this) && tries > 1) {
        QTimer::singleShot(kFrameCheckMs, this,
                           [this, tries] { KeepOnScreenOnceFramed(tries - 1); });
    }
}

void TMainForm::ShowLanguageChoice() {
    const QString language = FormStorage1 ? FormStorage1->Language : QString();
    acKorea->setChecked(language == QLatin1String("Korea"));
    acEnglish->setChecked(language == QLatin1String("English"));
}

void TMainForm::ShowLanguageProblem(QStringList problems) {
    if (const QString problem = QLanguage->TakeProblem(); !problem.isEmpty()) {
        problems << problem + QStringLiteral("\nThe built-in Korean texts are shown instead.");
    }
    if (problems.isEmpty()) {
        return;
    }
    widgets::TPlainMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"),
                                  problems.join(QStringLiteral("\n\n")), QMessageBox::Ok, this);
    box.setObjectName("SettingsProblemBox");
    box.exec();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    QMainWindow::closeEvent(event);
}

void TMainForm::FormClose() {
    if (FormStorage1) {
        KeepColumnWidths();
        RunCommand(this, [this] { FormStorage1->Save(this); });
    }
    inventory_.ConnectionIDs.clear();
    inventory_.AdapterNames.clear();
    inventory_.PrinterNames.clear();
    inventory_.PrinterCaptions.clear();
}

apply::SafeTexts TMainForm::SafeTexts() const {
    apply::SafeTexts texts;
    for (auto [key, text] : apply::TextsByKey(texts)) {
        *text = Text(key).toStdString();
    }
    return texts;
}

settings::IPlacementStorage* TMainForm::UserSettings() {
    return FormStorage1 ? &FormStorage1->WritableStorage() : nullptr;
}

apply::ProgressTexts TMainForm::ProgressTexts() const {
    apply::ProgressTexts texts;
    for (auto [key, text] : apply::TextsByKey(texts)) {
        *text = Text(key).toStdString();
    }
    return texts;
}

}  // namespace quorv::app
