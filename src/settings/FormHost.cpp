#include "settings/FormHost.h"

#include <QApplication>
#include <QMessageBox>

namespace quorv::settings {

namespace {
IFormHost* gHost = nullptr;
}

void IFormHost::ShowException(const std::exception& error) {
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quorv IP Changer"),
                    QString::fromUtf8(error.what()), QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName("ErrorBox");
    box.exec();
}

IFormHost* FormHost() {
    return gHost;
}

void SetFormHost(IFormHost* host) {
    gHost = host;
}

}  // namespace quorv::settings
