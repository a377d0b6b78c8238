#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

namespace quorv::testing {

// Answers modal windows as they come up, each by the next step of a script, in order.
// A window that becomes the active modal one again after a box on top of it closed
// counts as coming up again. Message boxes with no step left are noted and closed with
// OK, so an unexpected box never hangs a test.
class ModalScript {
  public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript() { Poll(); }
    ~ModalScript() { *alive_ = false; }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& Then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    size_t StepsLeft() const { return steps_.size(); }

    // The texts of the message boxes that came up, in order.
    QStringList boxes;

  private:
    void Poll() {
        QTimer::singleShot(10, [this, alive = alive_] {
            if (!*alive) {
                return;
            }
            // Rescheduled first: a step may open a nested modal loop.
            Poll();
            // A window is answered once it has stayed on top for a whole poll, so the
            // work queued at its showing has run.
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || modal != candidate_) {
                candidate_ = modal;
                return;
            }
            if (modal != last_) {
                last_ = modal;
                Handle(modal);
            }
        });
    }

    void Handle(QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box != nullptr) {
            boxes << box->text();
        }
        if (!steps_.empty()) {
            Step step = std::move(steps_.front());
            steps_.erase(steps_.begin());
            step(modal);
        } else if (box != nullptr) {
            box->button(QMessageBox::Ok)->click();
        }
    }

    std::vector<Step> steps_;
    QPointer<QWidget> last_;
    QPointer<QWidget> candidate_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// A step that closes a message box with OK.
inline void PressOk(QWidget* modal) {
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        box->button(QMessageBox::Ok)->click();
    }
}

}  // namespace quorv::testing
