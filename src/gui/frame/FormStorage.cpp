#include "gui/frame/FormStorage.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStringList>
#include <QWidget>
#include <array>
#include <cmath>
#include <optional>

#include "gui/frame/WindowFit.h"

namespace quorv::settings {

namespace {

const QString kFormVersion = QStringLiteral("FormVersion");
const QString kLanguage = QStringLiteral("Language");
const QString kFlags = QStringLiteral("Flags");
const QString kPixelsPerInch = QStringLiteral("PixelsPerInch");
const QString kMinMaxPos = QStringLiteral("MinMaxPos");
const QString kNormPos = QStringLiteral("NormPos");
const QString kColumnWidths = QStringLiteral("ColumnWidths");

bool IsWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// The value under the current screen size's name, else under the plain one.
std::optional<QString> ReadPerScreen(const IPlacementStorage& storage, const QString& name) {
    if (auto value = storage.Read(name + ScreenSizeSuffix()))
        return value;
    return storage.Read(name);
}

// Four whole numbers joined by commas, or nothing.
std::optional<std::array<int, 4>> ParseRect(const QString& text) {
    const QStringList items = text.split(QLatin1Char(','));
    if (items.size() != 4)
        return std::nullopt;
    std::array<int, 4> numbers{};
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        numbers[i] = items[i].trimmed().toInt(&ok);
        if (!ok)
            return std::nullopt;
    }
    return numbers;
}

QString RectText(int a, int b, int c, int d) {
    return QString::asprintf("%d,%d,%d,%d", a, b, c, d);
}

}  // namespace

QString ScreenSizeSuffix() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize size = screen ? screen->size() : QSize();
    return QStringLiteral("(%1x%2)").arg(size.width()).arg(size.height());
}

int CurrentPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInch())) : 96;
}

TFormStorage::TFormStorage(std::unique_ptr<IPlacementStorage> storage)
    : storage_(std::move(storage)) {}

bool TFormStorage::Restore(QWidget* window) {
    bool placed = false;
    const int version = storage_->Read(kFormVersion).value_or(QStringLiteral("0")).toInt();
    if (version >= 0) {
        // Minimised and maximised positions are the window manager's business here, so
        // MinMaxPos is read back only to keep the stored set complete.
        const std::optional<QString> minMax = ReadPerScreen(*storage_, kMinMaxPos);
        const std::optional<QString> norm = ReadPerScreen(*storage_, kNormPos);
        if (minMax || norm) {
            bool ok = false;
            const int ppi = storage_->Read(kPixelsPerInch)
                                .value_or(QString::number(CurrentPixelsPerInch()))
                                .toInt(&ok);
            const auto rect = norm ? ParseRect(*norm) : std::nullopt;
            if (ok && ppi == CurrentPixelsPerInch() && rect && (*rect)[0] < (*rect)[2] &&
                (*rect)[1] < (*rect)[3]) {
                const QRect stored(QPoint((*rect)[0], (*rect)[1]),
                                   QPoint((*rect)[2] - 1, (*rect)[3] - 1));
                if (IsWayland()) {
                    const QScreen* screen = QGuiApplication::primaryScreen();
                    window->resize(screen
                                       ? stored.size().boundedTo(screen->availableGeometry().size())
                                       : stored.size());
                } else {
                    // The client rectangle, as Save took it: stored and restored rectangles
                    // of different kinds made the window creep by its frame at each start.
                    // One inside the screen is taken as it is, since the window manager
                    // placed it there; any other is fitted with the frame the window will
                    // likely get.
                    const QScreen* screen = ScreenShowing(stored);
                    const QRect area = screen ? screen->availableGeometry() : stored;
                    window->setGeometry(area.contains(stored)
                                            ? stored
                                            : FitClientRect(stored, area, FrameMargins(window)));
                }
                placed = true;
            }
        }
    }
    ColumnWidths = storage_->Read(kColumnWidths).value_or(QString());
    if (auto language = storage_->Read(kLanguage)) {
        Language = *language;
        LanguageChosen = Language == QLatin1String("Korea") || Language == QLatin1String("English");
    }
    return placed;
}

void TFormStorage::Save(QWidget* window) {
    // A maximised window is remembered by its normal rectangle; both are client
    // rectangles, as Restore applies them.
    QRect normal = window->isMaximized() || window->isFullScreen() ? window->normalGeometry()
                                                                   : window->geometry();
    if (IsWayland())
        normal.moveTopLeft(QPoint(0, 0));
    const QString normPos = RectText(normal.left(), normal.top(), normal.left() + normal.width(),
                                     normal.top() + normal.height());
    const QString minMaxPos = RectText(-1, -1, -1, -1);
    const QString suffix = ScreenSizeSuffix();
    IPlacementStorage::Values values{
        {kFormVersion, 0},
        {kLanguage, LanguageChosen ? Language : QString()},
        {kFlags, 0},
        {kPixelsPerInch, CurrentPixelsPerInch()},
        {kMinMaxPos, minMaxPos},
        {kMinMaxPos + suffix, minMaxPos},
        {kNormPos, normPos},
        {kNormPos + suffix, normPos},
    };
    if (!ColumnWidths.isEmpty())
        values.emplace_back(kColumnWidths, ColumnWidths);
    storage_->Write(values);
}

}  // namespace quorv::settings
