#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QStyle>
#include <QStyleOption>
#include <fstream>

#include "QtEnvironment.h"
#include "TempFolder.h"
#include "gui/widgets/LazyExtensionStyle.h"
#include "gui/widgets/SvgIcon.h"

namespace quorv::widgets {
namespace {

using quorv::testing::TempFolder;

// Twice as wide as high, red, so proportions and the styled modes show.
const char* const kWideSvg =
    R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="10" viewBox="0 0 20 10">)"
    R"(<rect width="20" height="10" fill="#ff0000"/></svg>)";

TEST(SvgIcon, DrawsOnDemandKeepingProportionsAndModes) {
    TempFolder tmp;
    const std::string file = tmp / "wide.svg";
    std::ofstream(file) << kWideSvg;
    const QIcon icon = SvgIcon(QString::fromStdString(file));
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.actualSize(QSize(16, 16)), QSize(16, 8));
    const QImage normal = icon.pixmap(QSize(16, 16), 1.0).toImage();
    EXPECT_EQ(normal.size(), QSize(16, 8));
    EXPECT_EQ(QColor(normal.pixel(8, 4)), QColor(Qt::red));
    // Disabled is the style's greyed picture, not the normal one again.
    const QImage disabled = icon.pixmap(QSize(16, 16), 1.0, QIcon::Disabled).toImage();
    EXPECT_EQ(disabled.size(), QSize(16, 8));
    EXPECT_NE(QColor(disabled.pixel(8, 4)), QColor(Qt::red));
    // Asked again, the same picture.
    EXPECT_EQ(icon.pixmap(QSize(16, 16), 1.0).toImage(), normal);
}

TEST(SvgIcon, AFileThatIsNoPictureGivesANullIcon) {
    TempFolder tmp;
    const std::string file = tmp / "broken.svg";
    std::ofstream(file) << "not a picture";
    EXPECT_TRUE(SvgIcon(QString::fromStdString(file)).isNull());
    EXPECT_TRUE(SvgIcon(QString::fromStdString(tmp / "missing.svg")).pixmap(16, 16).isNull());
}

// The extension buttons' pictures are the wrapped style's own once drawn, in either
// direction; every other picture comes straight from the wrapped style.
TEST(LazyExtensionStyle, GivesTheWrappedStylesPictures) {
    TLazyExtensionStyle lazy(QApplication::style()->name());
    QStyle* base = lazy.baseStyle();
    for (QStyle::StandardPixmap which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_DialogOkButton}) {
        for (Qt::LayoutDirection direction : {Qt::LeftToRight, Qt::RightToLeft}) {
            QStyleOption option;
            option.direction = direction;
            const QIcon ours = lazy.standardIcon(which, &option, nullptr);
            const QIcon theirs = base->standardIcon(which, &option, nullptr);
            EXPECT_EQ(ours.isNull(), theirs.isNull()) << which;
            EXPECT_EQ(ours.pixmap(QSize(16, 16), 1.0).toImage(),
                      theirs.pixmap(QSize(16, 16), 1.0).toImage())
                << which << " " << direction;
            EXPECT_EQ(ours.actualSize(QSize(64, 64)), theirs.actualSize(QSize(64, 64))) << which;
        }
    }
}

}  // namespace
}  // namespace quorv::widgets
