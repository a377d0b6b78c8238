#pragma once

#include <QDialog>
#include <QLabel>
#include <QString>
#include <QTimer>
#include <functional>

#include "core/ApplyRun.h"
#include "gui/widgets/BusyAnimation.h"
#include "gui/widgets/FirstActivation.h"

namespace quorv::apply {

// The small progress window of an apply run. One second after it is first activated it
// runs its job on the GUI thread, showing the progress texts, and then closes itself.
// The user cannot close it meanwhile.
class TResultForm : public QDialog {
    Q_OBJECT
  public:
    // The work done on the first timer tick; it reports progress through the callback.
    using Job = std::function<ApplyResult(const ProgressCallback& progress)>;

    explicit TResultForm(QWidget* parent = nullptr);

    void SetJob(Job job) { job_ = std::move(job); }
    const ApplyResult& Result() const { return result_; }
    bool Finished() const { return finished_; }

    QLabel* Label1;
    TBusyAnimation* Animate1;
    QTimer* Timer1;

  public slots:
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void FormActivate();
    void Timer1Timer();

    Job job_;
    ApplyResult result_;
    bool finished_ = false;
    dialogs::TFirstActivation* activation_;
};

// Shows the progress window for one profile modally: caption "IP 변경 - [name]", the
// run, and afterwards, when anything failed, one warning box listing the failures.
ApplyResult ApplyWithProgress(QWidget* parent, const QString& profileName, const Profile& profile,
                              bool showScriptWindow, ApplyServices& services,
                              const ProgressTexts& texts = {});

// The warning box after a run; nothing is shown when every step succeeded.
void ShowApplyFailures(QWidget* parent, const ApplyResult& result, const FailureTexts& texts = {});

}  // namespace quorv::apply
