#include "gui/widgets/FontSubstitutes.h"

#include <QFont>
#include <QFontDatabase>
#include <QString>
#include <QStringList>

namespace quorv::widgets {

void InstallFontSubstitutes() {
    const QString sans = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    struct Substitute {
        const char* name;
        QStringList fonts;
    };
    const Substitute substitutes[] = {
        {"굴림", {"NanumGothic", sans}},
        {"Gulim", {"NanumGothic", sans}},
        {"MS Sans Serif", {sans, "NanumGothic"}},
        {"Comic Sans MS", {"NanumBarunGothic", "NanumGothic", sans}},
        {"Terminal", {"NanumGothicCoding", fixed}},
    };
    for (const Substitute& s : substitutes) {
        QFont::insertSubstitutions(QString::fromUtf8(s.name), s.fonts);
    }
}

}  // namespace quorv::widgets
