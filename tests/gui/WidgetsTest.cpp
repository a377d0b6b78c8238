#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "QtEnvironment.h"
#include "gui/dialogs/AboutForm.h"
#include "gui/frame/FormHost.h"
#include "gui/widgets/TQSpeedLabel.h"
#include "gui/widgets/TQURLImage.h"
#include "gui/widgets/TQURLLabel.h"

namespace quorv::widgets {
namespace {

// Catches the addresses the controls ask the desktop to open.
class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    UrlCatcher() {
        QDesktopServices::setUrlHandler("https", this, "Open");
        QDesktopServices::setUrlHandler("http", this, "Open");
    }
    ~UrlCatcher() override {
        QDesktopServices::unsetUrlHandler("https");
        QDesktopServices::unsetUrlHandler("http");
    }
    QList<QUrl> opened;
  public slots:
    void Open(const QUrl& url) { opened << url; }
};

void Enter(QWidget* w) {
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(w, &event);
}

void Leave(QWidget* w) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(w, &event);
}

TEST(SpeedLabel, ColourFollowsPointerAndButton) {
    TQSpeedLabel label;
    label.resize(80, 20);
    label.SetNormalColor(Qt::darkGreen);
    EXPECT_EQ(label.FontColor(), QColor(Qt::darkGreen));
    EXPECT_EQ(label.MouseDownColor(), QColor(Qt::red));
    EXPECT_EQ(label.MouseEnterColor(), QColor(Qt::blue));

    int enters = 0;
    QObject::connect(&label, &TQLabel::OnMouseEnter, [&](QObject* sender) {
        EXPECT_EQ(sender, &label);
        ++enters;
    });
    Enter(&label);
    EXPECT_EQ(label.FontColor(), QColor(Qt::blue));
    EXPECT_EQ(enters, 1);

    // Pressed, dragged out and released there: red while held outside, normal after.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(label.FontColor(), QColor(Qt::red));
    Leave(&label);
    EXPECT_EQ(label.FontColor(), QColor(Qt::red));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(label.FontColor(), QColor(Qt::darkGreen));

    // Other buttons change nothing.
    Enter(&label);
    QTest::mousePress(&label, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(label.FontColor(), QColor(Qt::blue));
    QTest::mouseRelease(&label, Qt::RightButton, {}, QPoint(5, 5));

    // Setting the other colours does not repaint the text.
    label.SetMouseEnterColor(Qt::yellow);
    EXPECT_EQ(label.FontColor(), QColor(Qt::blue));
}

TEST(UrlControls, OpenTheirAddressOnlyWhenTheyHaveOne) {
    UrlCatcher catcher;
    TQURLLabel label;
    label.resize(80, 20);
    int clicks = 0;
    QObject::connect(&label, &TQSpeedLabel::OnClick, [&] {
        // The ordinary click handling runs before the address is opened.
        EXPECT_TRUE(catcher.opened.isEmpty());
        ++clicks;
    });
    EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(catcher.opened.isEmpty());

    label.SetURL("https://example.org/a");
    EXPECT_EQ(label.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(catcher.opened.size(), 1);
    EXPECT_EQ(catcher.opened[0], QUrl("https://example.org/a"));
    // Released outside: no click.
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(300, 5));
    EXPECT_EQ(catcher.opened.size(), 1);
    label.SetURL("");
    EXPECT_EQ(label.cursor().shape(), Qt::ArrowCursor);

    TQURLImage image;
    image.resize(62, 31);
    image.SetURL("https://example.org/b");
    QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(3, 3));
    ASSERT_EQ(catcher.opened.size(), 2);
    EXPECT_EQ(catcher.opened[1], QUrl("https://example.org/b"));
}

QPixmap Filled(QColor color) {
    QPixmap p(8, 8);
    p.fill(color);
    return p;
}

QRgb ShownColour(const TQSpeedImage& image) {
    return image.ShownPicture().toImage().pixel(0, 0);
}

TEST(SpeedImage, ShowsEnterAndDownPictures) {
    TQSpeedImage image;
    image.resize(8, 8);
    image.SetPicture(Filled(Qt::white));
    image.SetMouseEnterPicture(QPixmap());  // ignored
    EXPECT_TRUE(image.MouseEnterPicture().isNull());
    image.SetMouseEnterPicture(Filled(Qt::blue));
    image.SetMouseDownPicture(Filled(Qt::red));

    Enter(&image);
    EXPECT_TRUE(image.Entered());
    EXPECT_EQ(ShownColour(image), QColor(Qt::blue).rgb());
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(ShownColour(image), QColor(Qt::red).rgb());
    Leave(&image);  // held: stays pressed
    EXPECT_EQ(ShownColour(image), QColor(Qt::red).rgb());
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(ShownColour(image), QColor(Qt::white).rgb());

    image.setEnabled(false);
    Enter(&image);
    EXPECT_EQ(ShownColour(image), QColor(Qt::white).rgb());
}

TEST(SpeedImage, WithoutEnterOrDownPicturesNeverChanges) {
    TQURLImage image;
    image.resize(8, 8);
    image.SetPicture(Filled(Qt::green));
    Enter(&image);
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(2, 2));
    Leave(&image);
    EXPECT_EQ(ShownColour(image), QColor(Qt::green).rgb());
}

class LanguageHost : public settings::IFormHost {
  public:
    explicit LanguageHost(QString language) : language_(std::move(language)) {}
    void ApplyLanguage(QWidget* form) override { translated << form->objectName(); }
    const settings::TMessageTexts& MessageTexts() const override { std::abort(); }
    inventory::TInventoryLists& Inventory() override { return lists_; }
    store::TStoreTable& ProfileTable() override { std::abort(); }
    store::TStoreTable& OptionTable() override { std::abort(); }
    void LoadProfileList() override {}
    QString Language() const override { return language_; }
    QStringList translated;

  private:
    QString language_;
    inventory::TInventoryLists lists_;
};

TEST(AboutForm, TextFollowsStoredLanguage) {
    const QString english = AboutText("English");
    EXPECT_TRUE(english.startsWith("At first, we started"));
    // Four paragraphs, each one line that the memo wraps to its width.
    EXPECT_EQ(english.count("\r\n"), 6);
    EXPECT_TRUE(english.contains("As the number of utilities"));
    EXPECT_EQ(AboutText(""), english);
    EXPECT_EQ(AboutText("korea"), english);
    const QString korean = AboutText("Korea");
    EXPECT_TRUE(korean.startsWith("www.quorv.example 에서는"));
    EXPECT_EQ(korean.count("\r\n"), 14);

    {
        LanguageHost host("Korea");
        settings::SetFormHost(&host);
        TAboutForm form;
        settings::SetFormHost(nullptr);
        EXPECT_EQ(host.translated, QStringList{"AboutForm"});
        // The memo shows lines, not CR characters.
        EXPECT_EQ(form.Memo1->toPlainText(), QString(korean).replace("\r\n", "\n"));
    }
    LanguageHost host("English");
    settings::SetFormHost(&host);
    TAboutForm form;
    settings::SetFormHost(nullptr);
    EXPECT_EQ(form.Memo1->toPlainText(), QString(english).replace("\r\n", "\n"));
    // It fits the memo's width: no scrolling sideways.
    form.show();
    QApplication::processEvents();
    EXPECT_FALSE(form.Memo1->horizontalScrollBar()->isVisible());
}

TEST(AboutForm, ControlsAndLinks) {
    UrlCatcher catcher;
    TAboutForm form;
    EXPECT_EQ(form.windowTitle(), QString("등록 정보"));
    EXPECT_EQ(form.size(), QSize(529, 266));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    for (const char* name : {"Panel2", "Image1", "Label1", "Label2", "Label3", "QURLLabel2",
                             "Memo1", "QURLImage1", "btnOK"}) {
        EXPECT_NE(form.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_EQ(form.Label1->text(), QString("Quorv IP Changer"));
    EXPECT_EQ(form.Label2->text(), QString("v" QUORV_VERSION_SHORT));
    EXPECT_TRUE(form.Memo1->isReadOnly());
    EXPECT_EQ(form.QURLImage1->size(), QSize(62, 31));
    EXPECT_EQ(form.QURLImage1->toolTip(), QString("Support Quorv Utility donating with PayPal"));
    EXPECT_EQ(form.btnOK->focusPolicy(), Qt::ClickFocus);
    EXPECT_EQ(form.QURLLabel2->FontColor(), QColor(0, 0, 128));

    QTest::mouseClick(form.QURLLabel2, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(form.QURLImage1, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(catcher.opened.size(), 2);
    EXPECT_EQ(catcher.opened[0], QUrl("https://www.quorv.example"));
    EXPECT_EQ(catcher.opened[1],
              QUrl("https://www.quorv.example/helper.php?go=donate&product=quorvipchanger"));

    QTest::mouseClick(form.btnOK, Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace quorv::widgets

#include "WidgetsTest.moc"
