#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "QtEnvironment.h"
#include "TestFormHost.h"
#include "core/ProfileExchange.h"
#include "core/ProfileRecord.h"
#include "gui/dialogs/ConnectionMapForm.h"
#include "gui/dialogs/ExchangeDialogs.h"

namespace quorv::settings {
namespace {

using apply::Profile;
using quorv::testing::MakeProfile;
using quorv::testing::ReadFile;
using quorv::testing::TestFormHost;

// With QUORV_SCREENSHOT_DIR set, the windows the commands open are saved there as PNGs.
void Screenshot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("QUORV_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        window->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
    }
}

// Answers the message boxes the command opens, in order, and keeps what they said.
class BoxAnswers {
  public:
    explicit BoxAnswers(std::vector<QMessageBox::StandardButton> answers)
        : answers_(std::move(answers)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(5);
    }

    struct Seen {
        QString name, title, text;
        Qt::TextFormat format = Qt::AutoText;
    };
    std::vector<Seen> seen;

  private:
    void Poll() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || seen.size() >= answers_.size()) {
            return;
        }
        seen.push_back({box->objectName(), box->windowTitle(), box->text(), box->textFormat()});
        Screenshot(box, box->objectName());
        box->button(answers_[seen.size() - 1])->click();
    }

    std::vector<QMessageBox::StandardButton> answers_;
    QTimer timer_;
};

// Chooses `file` in whichever file dialog the command shows, and keeps the dialog's setup.
struct Chooser {
    QString file;
    QString objectName, filter, suffix;
    QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
    int shown = 0;

    explicit Chooser(QString chosen) : file(std::move(chosen)) {
        SetFileChooser([this](QFileDialog& dialog) {
            ++shown;
            objectName = dialog.objectName();
            filter = dialog.nameFilters().join(';');
            suffix = dialog.defaultSuffix();
            mode = dialog.acceptMode();
            if (!qEnvironmentVariable("QUORV_SCREENSHOT_DIR").isEmpty()) {
                dialog.setOption(QFileDialog::DontUseNativeDialog);
                dialog.resize(720, 460);
                dialog.show();
                QApplication::processEvents();
                Screenshot(&dialog, dialog.objectName());
                dialog.hide();
            }
            return file;
        });
    }
    ~Chooser() { SetFileChooser({}); }
};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

TEST(ExchangeCommands, SaveWritesTheChosenFileWithItsExtension) {
    TestFormHost host;
    host.Data().Add(MakeProfile("Office", "ipconfig /renew"));
    host.Data().Add(MakeProfile("Home"));
    const std::string dir = host.Data().Folder().path();
    {
        Chooser cancel(QString{});
        acSaveExecute(nullptr);
        EXPECT_EQ(cancel.shown, 1);
        EXPECT_EQ(cancel.objectName, "SaveDialog1");
        EXPECT_EQ(cancel.filter, "Quorv IP Changer Data (*.qic)");
        EXPECT_EQ(cancel.suffix, "qic");
        EXPECT_EQ(cancel.mode, QFileDialog::AcceptSave);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // the data file

    {
        Chooser choose(Q(dir + "list"));
        acSaveExecute(nullptr);
    }
    const std::string exported = ReadFile(dir + "list.qic");
    EXPECT_NE(exported.find("[Record_2]\r\nName=Home\r\n"), std::string::npos) << exported;

    // list.txt becomes list.txt.qic: replacing that file is asked about here.
    std::ofstream(dir + "list.txt.qic") << "keep me";
    {
        Chooser choose(Q(dir + "list.txt"));
        BoxAnswers no({QMessageBox::No});
        acSaveExecute(nullptr);
        ASSERT_EQ(no.seen.size(), 1u);
        EXPECT_EQ(no.seen[0].name, "ExportReplaceBox");
        EXPECT_TRUE(no.seen[0].text.startsWith("list.txt.qic already exists"))
            << no.seen[0].text.toStdString();
    }
    EXPECT_EQ(ReadFile(dir + "list.txt.qic"), "keep me");
    {
        Chooser choose(Q(dir + "list.txt"));
        BoxAnswers yes({QMessageBox::Yes});
        acSaveExecute(nullptr);
    }
    EXPECT_EQ(ReadFile(dir + "list.txt.qic"), exported);
}

TEST(ExchangeCommands, AFailedSaveIsShownAndKeepsNothingHalfWritten) {
    TestFormHost host;
    host.Data().Add(MakeProfile("Office"));
    const std::string dir = host.Data().Folder().path();
    std::filesystem::create_directory(dir + "taken.qic");
    Chooser choose(Q(dir + "taken.qic"));
    BoxAnswers ok({QMessageBox::Ok});
    acSaveExecute(nullptr);
    ASSERT_EQ(ok.seen.size(), 1u);
    EXPECT_EQ(ok.seen[0].name, "ExportFailureBox");
    EXPECT_EQ(ok.seen[0].title, "Quorv IP Changer");
    EXPECT_TRUE(ok.seen[0].text.startsWith("Cannot write \"" + Q(dir) + "taken.qic\""))
        << ok.seen[0].text.toStdString();
    EXPECT_TRUE(std::filesystem::is_directory(dir + "taken.qic"));
}

TEST(ExchangeCommands, OpenAsksPerConflictAndRefillsTheList) {
    TestFormHost host;
    host.Data().Add(MakeProfile("Office", "old\r\n"));
    host.Data().Add(MakeProfile("Lab"));
    host.LoadProfileList();
    const std::string file = host.Data().Folder() / "in.qic";
    std::ofstream(file) << "[Record_1]\r\nName=Office\r\nIP=DHCP\r\nInterface=x\r\n"
                           "[Record_2]\r\nName=Lab\r\nIP=DHCP\r\nInterface=y\r\n"
                           "[Record_3]\r\nName=New\r\nIP=DHCP\r\nInterface=z\r\nIcon=0x0D\r\n";
    {
        Chooser cancel(QString{});
        acOpenExecute(nullptr);
        EXPECT_EQ(cancel.objectName, "OpenDialog1");
        EXPECT_EQ(cancel.filter, "Quorv IP Changer Data (*.qic)");
        EXPECT_EQ(cancel.mode, QFileDialog::AcceptOpen);
        EXPECT_EQ(host.refills, 1);
    }

    Chooser choose(Q(file));
    BoxAnswers answers({QMessageBox::Yes, QMessageBox::No});
    acOpenExecute(nullptr);
    ASSERT_EQ(answers.seen.size(), 2u);
    EXPECT_EQ(answers.seen[0].name, "ImportConflictBox");
    EXPECT_EQ(answers.seen[0].text, "'Office' " + host.MessageTexts().Text("msgAlreadyUpdate"));
    EXPECT_EQ(answers.seen[1].text, "'Lab' " + host.MessageTexts().Text("msgAlreadyUpdate"));
    EXPECT_EQ(host.refills, 2);
    EXPECT_EQ(host.Rows(), (QStringList{"Office", "Lab", "New"}));
    const std::vector<Profile> all = host.Data().All();
    EXPECT_EQ(all[0].Interface, "x");
    EXPECT_EQ(all[0].Script, "");
    EXPECT_EQ(all[1], MakeProfile("Lab"));
    EXPECT_EQ(all[2].Icon, 13);

    // A name from the file is shown as it is, never as rich text that loads a picture.
    std::ofstream(file) << "[Record_1]\r\nName=<img src=/dev/zero>\r\nIP=DHCP\r\nInterface=x\r\n";
    host.Data().Add(MakeProfile("<img src=/dev/zero>"));
    BoxAnswers plain({QMessageBox::No});
    acOpenExecute(nullptr);
    ASSERT_EQ(plain.seen.size(), 1u);
    EXPECT_EQ(plain.seen[0].format, Qt::PlainText);
    EXPECT_TRUE(plain.seen[0].text.startsWith("'<img src=/dev/zero>' "));
}

TEST(ExchangeCommands, AFailedOpenChangesNothingButStillRefills) {
    TestFormHost host;
    host.Data().Add(MakeProfile("Office"));
    const std::string file = host.Data().Folder() / "orphan.qic";
    std::ofstream(file) << "Name=Loose\r\n[Record_1]\r\nName=Other\r\n";
    Chooser choose(Q(file));
    try {
        acOpenExecute(nullptr);
        ADD_FAILURE() << "the file was taken";
    } catch (const EExchangeError& e) {
        EXPECT_NE(std::string(e.what()).find("keys before its first section"), std::string::npos);
    }
    EXPECT_EQ(host.refills, 1);
    EXPECT_EQ(host.Rows(), QStringList{"Office"});

    // A store failure on the way: the pending record is dropped and the list agrees.
    std::ofstream(file) << "[Record_1]\r\nName=Other\r\nIP=DHCP\r\nInterface=eth0\r\n";
    store::TStoreTable& table = host.ProfileTable();
    table.Close();
    table.SetReadOnly(true);
    table.Open();
    EXPECT_ANY_THROW(acOpenExecute(nullptr));
    EXPECT_EQ(table.State(), store::TDataSetState::dsBrowse);
    EXPECT_EQ(host.refills, 2);
    EXPECT_EQ(host.Rows(), QStringList{"Office"});
}

TEST(ExchangeCommands, SaveThenOpenIntoAFreshDataFileGivesEveryProfile) {
    std::vector<Profile> original;
    quorv::testing::TempFolder keep;
    {
        TestFormHost host;
        Profile wireless = MakeProfile("무선", "ipconfig /release\r\nipconfig /renew\r\n");
        wireless.SetDhcp();
        wireless.Icon = 12;
        wireless.Printer = "Front desk";
        host.Data().Add(wireless);
        host.Data().Add(MakeProfile("Office", "a,b\r\n"));  // a comma comes back as a break
        original = host.Data().All();
        Chooser choose(Q(keep / "trip"));
        BoxAnswers told({QMessageBox::Ok});
        acSaveExecute(nullptr);
        // The user hears at export that the comma will not come back as it is.
        ASSERT_EQ(told.seen.size(), 1u);
        EXPECT_EQ(told.seen[0].name, "ExportCommaBox");
        EXPECT_TRUE(told.seen[0].text.endsWith("\n\nOffice")) << told.seen[0].text.toStdString();
    }
    TestFormHost fresh;
    Chooser choose(Q(keep / "trip.qic"));
    acOpenExecute(nullptr);
    original[1].Script = "a\r\nb\r\n";
    EXPECT_EQ(fresh.Data().All(), original);
    EXPECT_EQ(fresh.Rows(), (QStringList{"무선", "Office"}));
}

// Calls `act` with the first modal dialog of type T that opens, once.
template <typename T>
class DialogAnswer {
  public:
    explicit DialogAnswer(std::function<void(T&)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
            if (dialog != nullptr && dialog->isVisible() && !done) {
                done = true;
                Screenshot(dialog, dialog->objectName());
                act_(*dialog);
            }
        });
        timer_.start(5);
    }
    bool done = false;

  private:
    std::function<void(T&)> act_;
    QTimer timer_;
};

TEST(ExchangeCommands, WindowsConnectionNamesAreMappedOnceAndTheRestListed) {
    TestFormHost host;
    host.Inventory().ConnectionIDs = {"enp3s0", "wlan0"};
    host.Inventory().AdapterNames = {"Intel I219", "Atheros"};
    const std::string file = host.Data().Folder() / "win.qic";
    std::ofstream(file) << "[Record_1]\r\nName=Office\r\nIP=DHCP\r\nInterface=Local Area "
                           "Connection\r\n"
                           "[Record_2]\r\nName=Home\r\nIP=DHCP\r\nInterface=이더넷\r\n"
                           "[Record_3]\r\nName=Cafe\r\nIP=DHCP\r\nInterface=Local Area "
                           "Connection\r\n"
                           "[Record_4]\r\nName=Bad\r\nIP=10.0.0.300\r\nMask=255.0.0.0\r\n"
                           "Interface=enp3s0\r\n"
                           "[Record_5]\r\nName=Here\r\nIP=DHCP\r\nInterface=wlan0\r\n";
    Chooser choose(Q(file));
    std::vector<QString> rows;
    DialogAnswer<TConnectionMapForm> map([&](TConnectionMapForm& form) {
        for (QComboBox* combo : form.Adapters) {
            rows.push_back(
                form.findChild<QLabel*>(QStringLiteral("lblConnection%1").arg(rows.size() + 1))
                    ->text() +
                QLatin1Char('=') + combo->itemText(1));
        }
        form.Adapters[0]->setCurrentIndex(1);  // Local Area Connection -> enp3s0
        form.accept();
    });
    BoxAnswers result({QMessageBox::Ok});
    acOpenExecute(nullptr);
    EXPECT_TRUE(map.done);
    // Each unknown name once, the adapters to choose from with their descriptions.
    EXPECT_EQ(rows, (std::vector<QString>{"\"Local Area Connection\"=enp3s0 (Intel I219)",
                                          "\"이더넷\"=enp3s0 (Intel I219)"}));
    const std::vector<Profile> all = host.Data().All();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].Interface, "enp3s0");
    EXPECT_EQ(all[1].Interface, "이더넷");
    EXPECT_EQ(all[2].Interface, "enp3s0");
    EXPECT_EQ(all[3].Interface, "wlan0");
    // One box: the section left out with its reason, the profile still to point somewhere.
    ASSERT_EQ(result.seen.size(), 1u);
    EXPECT_EQ(result.seen[0].name, "ImportResultBox");
    const QString text = result.seen[0].text;
    EXPECT_TRUE(text.contains("[Record_4] \"Bad\": IP address \"10.0.0.300\""))
        << text.toStdString();
    EXPECT_TRUE(
        text.contains(host.MessageTexts().Text("msgImportAttention") + "\n\"이더넷\": \"Home\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\"enp3s0\", \"wlan0\"")) << text.toStdString();
}

TEST(ExchangeCommands, ConflictQuestionOffersToAllAndCancel) {
    TestFormHost host;
    for (const char* name : {"a", "b", "c", "d"}) {
        host.Data().Add(MakeProfile(name));
    }
    const std::string file = host.Data().Folder() / "in.qic";
    std::ofstream(file) << "[1]\nName=a\nIP=DHCP\nInterface=n\n[2]\nName=b\nIP=DHCP\nInterface=n\n"
                           "[3]\nName=c\nIP=DHCP\nInterface=n\n[4]\nName=d\nIP=DHCP\nInterface=n\n";
    Chooser choose(Q(file));
    auto interfaces = [&] {
        std::string s;
        for (const Profile& p : host.Data().All()) {
            s += p.Interface == "n" ? 'n' : 'o';
        }
        return s;
    };
    {
        BoxAnswers answers({QMessageBox::No, QMessageBox::YesToAll});
        acOpenExecute(nullptr);
        EXPECT_EQ(answers.seen.size(), 2u);  // the last two are not asked
        EXPECT_EQ(interfaces(), "onnn");
    }
    for (const char* name : {"a", "b", "c", "d"}) {
        ASSERT_TRUE(app::FindProfile(host.ProfileTable(), name));
        app::SaveProfile(host.ProfileTable(), MakeProfile(name), true);
    }
    {
        BoxAnswers answers({QMessageBox::Yes, QMessageBox::NoToAll});
        acOpenExecute(nullptr);
        EXPECT_EQ(answers.seen.size(), 2u);
        EXPECT_EQ(interfaces(), "nooo");
    }
    {
        // Cancel stops before the next profile; what came before stays.
        BoxAnswers answers({QMessageBox::Yes, QMessageBox::Cancel});
        acOpenExecute(nullptr);
        EXPECT_EQ(answers.seen.size(), 2u);
        EXPECT_EQ(interfaces(), "nooo");
    }
}

}  // namespace
}  // namespace quorv::settings
