#include "gui/widgets/IPAddrEdit.h"
#include "gui/widgets/PlainText.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <memory>
#include <utility>

namespace quorv::dialogs {

namespace {

constexpr int kBoxWidth = 21;
constexpr int kDotWidth = 3;

bool IsDigitKey(int key) {
    return key >= Qt::Key_0 && key <= Qt::Key_9;
}

bool AllDigits(const QString& text) {
    for (QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

// Where a Windows edit box's SelStart would stand: the start of the selection, if any.
int SelStart(const QLineEdit* box) {
    return box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
}

}  // namespace

TIPAddrEdit::TIPAddrEdit(QWidget* parent) : QWidget(parent), panel_(new TSimplePanel(this)) {
    panel_->setObjectName("SimplePanel");
    panel_->SingleBorder = true;
    panel_->setCursor(Qt::IBeamCursor);
    panel_->installEventFilter(this);

    // Digits only, three at most, whichever way text arrives: typed, pasted, dropped.
    const QRegularExpression octet(QStringLiteral("[0-9]{0,3}"));
    for (int k = 0; k < kBoxes; ++k) {
        auto* box = new QLineEdit(panel_);
        box->setObjectName(QStringLiteral("Box%1").arg(k));
        box->setProperty("tag", k);
        box->setFrame(false);
        box->setAlignment(Qt::AlignCenter);
        box->setMaxLength(3);
        box->setValidator(new QRegularExpressionValidator(octet, box));
        box->setAttribute(Qt::WA_InputMethodEnabled, false);
        box->setFocusPolicy(k == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        box->installEventFilter(this);
        box->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(box, &QLineEdit::customContextMenuRequested, this,
                [this, k](const QPoint& pos) { BoxContextMenu(k, pos); });
        connect(box, &QLineEdit::textChanged, this, [this, k] { BoxChange(k); });
        boxes_[static_cast<size_t>(k)] = box;
    }
    for (int k = 0; k < kBoxes - 1; ++k) {
        auto* dot = new QLabel(QStringLiteral("."), panel_);
        dot->setObjectName(QStringLiteral("Dot%1").arg(k));
        dot->setProperty("tag", k);
        dot->setAlignment(Qt::AlignCenter);
        dot->setAutoFillBackground(false);
        dot->installEventFilter(this);
        dots_[static_cast<size_t>(k)] = dot;
    }
    // The control hands its focus to box 0, which is its only tab stop.
    setFocusPolicy(Qt::NoFocus);
    setFocusProxy(boxes_[0]);
    setMinimumWidth(sizeHint().width());
    resize(sizeHint());
    PlaceParts();
    ApplyColors();
}

void TIPAddrEdit::resizeEvent(QResizeEvent*) {
    PlaceParts();
}

// Also called from the constructor: a hidden control gets its resize event only when shown.
void TIPAddrEdit::PlaceParts() {
    panel_->setGeometry(rect());
    const int h = std::max(1, height() - 2);
    const int w = BoxWidth();
    const int pitch = w + kDotWidth;
    for (int k = 0; k < kBoxes; ++k) {
        boxes_[static_cast<size_t>(k)]->setGeometry(1 + pitch * k, 1, w, h);
    }
    for (int k = 0; k < kBoxes - 1; ++k) {
        dots_[static_cast<size_t>(k)]->setGeometry(1 + w + pitch * k, 1, kDotWidth, h);
    }
}

int TIPAddrEdit::BoxWidth() const {
    // 21 pixels hold three digits of the classic small dialog font; larger fonts need
    // wider boxes or the octets are cut off.
    return std::max(kBoxWidth, fontMetrics().horizontalAdvance(QStringLiteral("888")) + 4);
}

QSize TIPAddrEdit::sizeHint() const {
    return {std::max(100, 4 * BoxWidth() + 3 * kDotWidth + 3), 21};
}

QString TIPAddrEdit::Text() const {
    bool allEmpty = true;
    QStringList octets;
    for (const QLineEdit* box : boxes_) {
        const QString text = box->text();
        allEmpty = allEmpty && text.isEmpty();
        // The validator keeps the boxes to digits; anything else still reads as 0.
        octets << QString::number(text.toInt());
    }
    return allEmpty ? QString() : octets.join(u'.');
}

void TIPAddrEdit::CheckText(const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    if (text.size() > 15 || text.count(u'.') != 3) {
        throw EIPAddrError();
    }
    for (const QString& piece : text.split(u'.')) {
        if (piece.isEmpty() || piece.size() > 3) {
            throw EIPAddrError();
        }
    }
    for (const QString& piece : text.split(u'.')) {
        if (piece.size() > 1 && piece.startsWith(u'0')) {
            throw EIPAddrError();
        }
    }
    for (const QString& piece : text.split(u'.')) {
        if (!AllDigits(piece) || piece.toInt() > 255) {
            throw EIPAddrError();
        }
    }
}

bool TIPAddrEdit::IsValidText(const QString& text) {
    try {
        CheckText(text);
        return true;
    } catch (const EIPAddrError&) {
        return false;
    }
}

void TIPAddrEdit::SetText(const QString& text) {
    CheckText(text);
    QScopedValueRollback quiet(quiet_, true);
    if (text.isEmpty()) {
        for (QLineEdit* box : boxes_) {
            box->clear();
        }
        return;
    }
    const QStringList pieces = text.split(u'.');
    for (int k = 0; k < kBoxes; ++k) {
        boxes_[static_cast<size_t>(k)]->setText(QString::number(pieces[k].toInt()));
    }
    boxes_[0]->selectAll();
}

bool TIPAddrEdit::IsPartial() const {
    int filled = 0;
    for (const QLineEdit* box : boxes_) {
        filled += box->text().isEmpty() ? 0 : 1;
    }
    return filled > 0 && filled < kBoxes;
}

bool TIPAddrEdit::PasteAddress(const QString& text) {
    const QString address = text.trimmed();
    if (address.isEmpty() || !IsValidText(address)) {
        return false;
    }
    SetText(address);
    FocusBox(kBoxes - 1, -1);
    emit OnChange(boxes_[static_cast<size_t>(kBoxes - 1)]);
    return true;
}

// Only a whole address is pasted, into all four boxes; anything else, a lone octet too,
// is dropped, as the keys drop what is not typed digit by digit.
void TIPAddrEdit::PasteClipboard() {
    PasteAddress(QApplication::clipboard()->text());
}

void TIPAddrEdit::BoxContextMenu(int b, const QPoint& pos) {
    QLineEdit* box = boxes_[static_cast<size_t>(b)];
    std::unique_ptr<QMenu> menu(box->createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        // Named in newer Qt versions; older ones are known by the caption they give it.
        if (action->objectName() == QLatin1String("edit-paste") ||
            action->text().startsWith(QCoreApplication::translate("QLineEdit", "&Paste"))) {
            // The box's own paste would refuse a whole address outright.
            QObject::disconnect(action, &QAction::triggered, nullptr, nullptr);
            connect(action, &QAction::triggered, this, [this] { PasteClipboard(); });
        }
    }
    menu->exec(box->mapToGlobal(pos));
}

int TIPAddrEdit::BoxIndex(QObject* object) const {
    for (int k = 0; k < kBoxes; ++k) {
        if (boxes_[static_cast<size_t>(k)] == object) {
            return k;
        }
    }
    return -1;
}

void TIPAddrEdit::FocusBox(int b, int caret) {
    QLineEdit* box = boxes_[static_cast<size_t>(b)];
    {
        QScopedValueRollback internal(internalFocus_, true);
        box->setFocus(Qt::OtherFocusReason);
    }
    if (caret < 0) {
        box->setCursorPosition(static_cast<int>(box->text().size()));
    } else {
        box->setCursorPosition(caret);
    }
}

void TIPAddrEdit::SetBoxesEditable() {
    for (QLineEdit* box : boxes_) {
        box->setReadOnly(false);
    }
}

bool TIPAddrEdit::BoxKeyPress(int b, QKeyEvent* event) {
    int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers();
    if (key == Qt::Key_Shift || key == Qt::Key_Control) {
        return false;
    }
    // The advance by a full box stands for the separator only until the next key.
    const int advancedInto = std::exchange(advancedInto_, -1);
    if (event->matches(QKeySequence::Paste)) {
        PasteClipboard();
        return true;
    }
    // Focus keys never insert anything and are the dialog's business.
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return ||
        key == Qt::Key_Enter || key == Qt::Key_Escape) {
        return false;
    }
    // Keypad digits already arrive as digit keys; the keypad's decimal key may carry the
    // locale's separator.
    if ((mods & Qt::KeypadModifier) && (key == Qt::Key_Period || key == Qt::Key_Comma)) {
        key = Qt::Key_Period;
    }
    QLineEdit* box = boxes_[static_cast<size_t>(b)];
    const int caret = SelStart(box);
    if (key == Qt::Key_Right && b < 3 && caret == box->text().size()) {
        FocusBox(b + 1, 0);
    } else if (key == Qt::Key_Left && b > 0 && caret == 0) {
        FocusBox(b - 1, -1);
    } else if (key == Qt::Key_Backspace && b > 0 && caret == 0) {
        QLineEdit* previous = boxes_[static_cast<size_t>(b - 1)];
        FocusBox(b - 1, -1);
        if (!previous->text().isEmpty()) {
            previous->setText(previous->text().chopped(1));
        }
        previous->setCursorPosition(static_cast<int>(previous->text().size()));
    } else if (key == Qt::Key_Period || key == Qt::Key_Space) {
        if (!box->text().isEmpty() && b < 3 && advancedInto != b) {
            FocusBox(b + 1, 0);
            boxes_[static_cast<size_t>(b + 1)]->selectAll();
        }
    }
    const bool held = (mods & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier)) ||
                      (QApplication::mouseButtons() & Qt::LeftButton);
    if (held || !(IsDigitKey(key) || key == Qt::Key_Backspace || key == Qt::Key_Delete)) {
        // Read-only until the key is released: caret keys still move, nothing is inserted.
        box->setReadOnly(true);
    }
    return false;
}

void TIPAddrEdit::BoxChange(int b) {
    QLineEdit* box = boxes_[static_cast<size_t>(b)];
    const QString text = box->text();
    if (!text.isEmpty() && text.toInt() > 255) {
        {
            QScopedValueRollback quiet(quiet_, true);
            box->setText(QStringLiteral("255"));
        }
        box->selectAll();
        widgets::TPlainMessageBox error(
            QMessageBox::Critical, QStringLiteral("Error"),
            text +
                " is not a valid entry. Please specify a value between 0 and 255 "
                "for this field.",
            QMessageBox::Ok, window());
        error.setObjectName("IPAddrErrorBox");
        error.exec();
        return;
    }
    if (!quiet_ && b < 3 && text.size() == 3 && box->cursorPosition() == 3) {
        // Selected, so that digits typed on replace a value already there (a mask the
        // dialog filled in), and the separator the user types next is taken as done.
        FocusBox(b + 1, 0);
        boxes_[static_cast<size_t>(b + 1)]->selectAll();
        advancedInto_ = b + 1;
    }
    emit OnChange(box);
}

bool TIPAddrEdit::eventFilter(QObject* watched, QEvent* event) {
    const int b = BoxIndex(watched);
    if (b >= 0) {
        QLineEdit* box = boxes_[static_cast<size_t>(b)];
        switch (event->type()) {
            case QEvent::KeyPress:
                return BoxKeyPress(b, static_cast<QKeyEvent*>(event));
            case QEvent::KeyRelease:
                SetBoxesEditable();
                break;
            case QEvent::InputMethod: {
                // Input methods are off, but a commit can still be sent; it obeys the same rule.
                const auto* im = static_cast<QInputMethodEvent*>(event);
                if (!AllDigits(im->commitString()) || !im->preeditString().isEmpty()) {
                    return true;
                }
                break;
            }
            case QEvent::FocusIn: {
                // A released key can land elsewhere after focus moved; never stay read-only.
                SetBoxesEditable();
                ShowSelection(box, true);
                const auto reason = static_cast<QFocusEvent*>(event)->reason();
                if (b == 0 && !internalFocus_ && reason != Qt::MouseFocusReason) {
                    static_cast<QObject*>(box)->event(event);
                    box->selectAll();
                    return true;
                }
                break;
            }
            case QEvent::FocusOut:
                SetBoxesEditable();
                ShowSelection(box, false);
                if (!isAncestorOf(QApplication::focusWidget())) {
                    boxes_[0]->selectAll();
                    // Another window or a menu taking the focus is no move of the user's.
                    const auto reason = static_cast<QFocusEvent*>(event)->reason();
                    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
                        emit Left();
                    }
                }
                break;
            default:
                break;
        }
        return false;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        for (int k = 0; k < kBoxes - 1; ++k) {
            if (watched == dots_[static_cast<size_t>(k)]) {
                FocusBox(k, -1);
                return true;
            }
        }
        if (watched == panel_) {
            FocusBox(3, -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TIPAddrEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        ApplyColors();
    } else if (event->type() == QEvent::FontChange) {
        setMinimumWidth(sizeHint().width());
        updateGeometry();
        PlaceParts();
    }
    QWidget::changeEvent(event);
}

// A selection stays (the next digit replaces it) but is drawn only in the focused box, so
// a dialog full of address controls does not show a highlight in each.
void TIPAddrEdit::ShowSelection(QLineEdit* box, bool shown) {
    QPalette pal = box->palette();
    const QPalette base = QApplication::palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(
            group, QPalette::Highlight,
            shown ? base.color(group, QPalette::Highlight) : pal.color(group, QPalette::Base));
        pal.setColor(group, QPalette::HighlightedText,
                     shown ? base.color(group, QPalette::HighlightedText)
                           : pal.color(group, QPalette::Text));
    }
    box->setPalette(pal);
}

void TIPAddrEdit::ApplyColors() {
    const QPalette base = QApplication::palette();
    const QColor color = isEnabled() ? base.color(QPalette::Active, QPalette::Base)
                                     : base.color(QPalette::Active, QPalette::Button);
    QPalette pal = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, color);
        pal.setColor(group, QPalette::Window, color);
    }
    for (QLineEdit* box : boxes_) {
        box->setPalette(pal);
        ShowSelection(box, box->hasFocus());
        box->update();
    }
    for (QLabel* dot : dots_) {
        dot->setPalette(pal);
        dot->update();
    }
    panel_->setPalette(pal);
    panel_->SetColor(color);
}

}  // namespace quorv::dialogs
