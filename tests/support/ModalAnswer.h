#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorv::testing {

// Answers modal windows as they open: each answer is given the window that became modal,
// in order. What was shown is recorded, so a test can also check that nothing came up.
class ModalAnswers {
  public:
    using Answer = std::function<void(QWidget*)>;

    ModalAnswers() {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start();
    }

    ModalAnswers& Then(Answer answer) {
        answers_.push_back(std::move(answer));
        return *this;
    }
    // A message box answered with one of its standard buttons.
    ModalAnswers& Press(QMessageBox::StandardButton button) {
        return Then([button](QWidget* w) {
            if (auto* box = qobject_cast<QMessageBox*>(w)) {
                box->button(button)->click();
            }
        });
    }

    // Names and texts of the modal windows seen, in order.
    const std::vector<std::string>& Seen() const { return seen_; }
    size_t Pending() const { return answers_.size() - next_; }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal->property("answered").toBool()) {
            return;
        }
        modal->setProperty("answered", true);
        std::string entry = modal->objectName().toStdString();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            entry += ": " + box->text().toStdString();
        }
        seen_.push_back(entry);
        if (next_ < answers_.size()) {
            answers_[next_++](modal);
        } else {
            // Unexpected: close it so the test fails instead of hanging.
            modal->close();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                dialog->reject();
            }
        }
    }

    QTimer timer_;
    std::vector<Answer> answers_;
    size_t next_ = 0;
    std::vector<std::string> seen_;
};

}  // namespace quorv::testing
