#include "gui/dialogs/AboutForm.h"

#include <QGuiApplication>
#include <QScreen>

#include "gui/dialogs/AboutPictures.h"
#include "gui/frame/FormHost.h"
#include "gui/widgets/WebHost.h"

namespace quorv::widgets {

namespace {

constexpr const char* kDonatePath = "/helper.php?go=donate&product=quorvipchanger";

// One line per paragraph: the memo wraps them to its width.
const char* const kEnglishLines[] = {
    "At first, we started to make several utilities with acquaintances to use Windows "
    "environment more conveniently. As the number of utilities increases, we have "
    "accumulated quite large number of various utilities even they are not perfect in "
    "functions.",
    "",
    "In order to provide and arrange each utility, we have made this site and made pages "
    "for simple manuals and downloads.",
    "",
    "We will continually put our efforts to develop free utilities that are necessary and "
    "for users whom have difficulties in purchasing charged utilities.",
    "",
    "Try each utility and leave us feedback on Q&A board when you encounter inconveniences "
    "or questions.",
};

// The first line follows the web host directly.
const char* const kKoreanLines[] = {
    " 에서는 사용자의 편의를 위한 다양한 유틸리티를",
    "만들어서 무료로 배포하고 있습니다.",
    "",
    "처음에는 지인들과 함께 좀더 편리하게 윈도우 환경을 사용 하려고",
    "몇몇 유틸리티를 만들어 사용하다가 하나 하나 추가하다보니 성능",
    "면에선 아직 많이 부족하지만 이런저런 잡다한 유틸리티들이 재법",
    "많이 쌓이게 되었고 사용자들도 제법 많아진듯 합니다.",
    "",
    "보다 많은 사용자에게 배포하기 위해 각각의 유틸리티를 하나 하나",
    "정리해서 본 사이트를 만들어 각각의 유틸리티에 대한 간단한 사용법",
    "및 다운로드 페이지를 만들었습니다.",
    "",
    "앞으로도 꾸준히 가려운 곳을 긁어줄 수 있는 다양한 유틸리티들을",
    "만들어 무료 배포하며 보다 많은 사용자들과 함께 지금보다 성능이",
    "좋은 유틸리티들을 만드는데 노력 하겠습니다.",
};

template <size_t N>
QString JoinLines(const char* const (&lines)[N]) {
    QStringList list;
    for (const char* line : lines)
        list << QString::fromUtf8(line);
    return list.join(QStringLiteral("\r\n"));
}

QFont PixelFont(const char* family, int pixels, bool bold = false) {
    QFont font(QString::fromUtf8(family));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace

QString AboutText(const QString& language) {
    if (language == QLatin1String("Korea")) {
        return WebHostName() + JoinLines(kKoreanLines);
    }
    return JoinLines(kEnglishLines);
}

TAboutForm::TAboutForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint) {
    setObjectName("AboutForm");
    setWindowTitle(QStringLiteral("등록 정보"));
    setFixedSize(529, 266);
    setFont(PixelFont("굴림", 12));

    Panel2 = new QFrame(this);
    Panel2->setObjectName("Panel2");
    Panel2->setGeometry(4, 4, 522, 226);
    Panel2->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel2->setLineWidth(2);

    Image1 = new TQImage(Panel2);
    Image1->setObjectName("Image1");
    Image1->setGeometry(8, 8, 100, 200);
    Image1->setPixmap(ProductPicture());

    // Positions are the window's client coordinates; the panel sits at (4, 4).
    auto place = [](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(x - 4, y - 4, width, height);
    };
    place(Image1, 12, 12, 100, 200);

    Label1 = new TQLabel(Panel2);
    Label1->setObjectName("Label1");
    Label1->setText(QStringLiteral("Quorv IP Changer"));
    QFont title = PixelFont("Comic Sans MS", 29, true);
    title.setItalic(true);
    Label1->setFont(title);
    QPalette red = Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label1->setPalette(red);
    place(Label1, 118, 7, 267, 40);

    Label2 = new TQLabel(Panel2);
    Label2->setObjectName("Label2");
    Label2->setText(QStringLiteral("v" QUORV_VERSION_SHORT));
    Label2->setFont(PixelFont("MS Sans Serif", 13, true));
    place(Label2, 386, 26, 60, 16);

    Label3 = new TQLabel(Panel2);
    Label3->setObjectName("Label3");
    Label3->setText(QStringLiteral("Free software by Quorv Utility"));
    Label3->setFont(PixelFont("MS Sans Serif", 13));
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(Label3, 207, 183, 219, 16);

    QURLLabel2 = new TQURLLabel(Panel2);
    QURLLabel2->setObjectName("QURLLabel2");
    QURLLabel2->setText(WebHostName());
    QURLLabel2->SetURL(WebHost());
    QFont link = PixelFont("MS Sans Serif", 11, true);
    link.setUnderline(true);
    QURLLabel2->setFont(link);
    QURLLabel2->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QURLLabel2->SetNormalColor(QColor(0, 0, 128));
    QURLLabel2->SetMouseDownColor(Qt::red);
    QURLLabel2->SetMouseEnterColor(Qt::blue);
    place(QURLLabel2, 248, 200, 137, 15);

    Memo1 = new QPlainTextEdit(Panel2);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    place(Memo1, 120, 47, 393, 131);

    QURLImage1 = new TQURLImage(this);
    QURLImage1->setObjectName("QURLImage1");
    QURLImage1->SetPicture(DonatePicture());
    QURLImage1->setGeometry(4, 232, 62, 31);
    QURLImage1->setToolTip(QStringLiteral("Support Quorv Utility donating with PayPal"));
    QURLImage1->SetURL(WebAddress(kDonatePath));

    btnOK = new QPushButton(QStringLiteral("확인"), this);
    btnOK->setObjectName("btnOK");
    btnOK->setGeometry(454, 237, 72, 26);
    btnOK->setFocusPolicy(Qt::ClickFocus);
    // Enter closes the box as OK, wherever the focus is.
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    FormCreate();
}

void TAboutForm::FormCreate() {
    QString language;
    if (settings::IFormHost* host = settings::FormHost()) {
        host->ApplyLanguage(this);
        language = host->Language();
    }
    // Set after the translation, which must not reach it. The English text is wrapped to
    // the memo's width; the Korean one keeps its designed lines.
    Memo1->setLineWrapMode(language == QLatin1String("Korea") ? QPlainTextEdit::NoWrap
                                                              : QPlainTextEdit::WidgetWidth);
    Memo1->setPlainText(AboutText(language));
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

}  // namespace quorv::widgets
