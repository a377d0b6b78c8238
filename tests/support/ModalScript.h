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
// counts as coming up again. Steps added while a step runs come before the steps that
// were waiting, so a step can script the windows its own clicks open. Message boxes
// with no step left are noted and closed with OK, so an unexpected box never hangs.
class ModalScript {
  public:
    using Step = std::function<void(QWidget* modal)>;

    ModalScript() { Poll(); }
    ~ModalScript() { *alive_ = false; }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& Then(Step step) {
        size_t at = 0;
        for (size_t i = 0; i < steps_.size(); ++i) {
            if (steps_[i].first == running_) {
                at = i + 1;
            }
        }
        steps_.insert(steps_.begin() + static_cast<std::ptrdiff_t>(at),
                      {running_, std::move(step)});
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
            Step step = std::move(steps_.front().second);
            steps_.erase(steps_.begin());
            const int outer = running_;
            running_ = ++invocations_;
            step(modal);
            running_ = outer;
        } else if (box != nullptr) {
            box->button(QMessageBox::Ok)->click();
        }
    }

    // Each step with the invocation that added it (0: the test itself).
    std::vector<std::pair<int, Step>> steps_;
    int running_ = 0;
    int invocations_ = 0;
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
