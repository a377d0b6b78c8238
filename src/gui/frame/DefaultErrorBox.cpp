#include <QApplication>
#include <QMessageBox>

#include "gui/frame/FormHost.h"
#include "gui/widgets/PlainText.h"

namespace quorv::settings {

void IFormHost::ShowException(const std::exception& error) {
    widgets::TPlainMessageBox box(QMessageBox::Critical, QStringLiteral("Quorv IP Changer"),
                                  QString::fromUtf8(error.what()), QMessageBox::Ok,
                                  QApplication::activeWindow());
    box.setObjectName("ErrorBox");
    box.exec();
}

}  // namespace quorv::settings
