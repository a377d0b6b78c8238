#include "settings/FormHost.h"

#include <QApplication>
#include <QMessageBox>

namespace quorv::settings {

namespace {
IFormHost* gHost = nullptr;
}

void IFormHost::ShowException(const std::exception& error) {
    QString text = QString::fromUtf8(error.what());
    // As the runtime's own box does: a message gets a closing full stop.
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) {
        text += QLatin1Char('.');
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, QApplication::activeWindow());
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
