#pragma once

#include <QDialog>

#include <vector>

#include "system/Reachability.h"

class QLabel;
class QShowEvent;
class QPushButton;
class QTimer;

namespace quorv::settings {

// "Keep these settings?" after a safe apply: what the check found, a countdown, "Keep" and
// "Restore now". The focus and the default button are "Restore now", so that a stray Enter
// never keeps settings that cut the machine off; the countdown running out answers "Restore
// now" as well, and so does closing the window.
class TKeepSettingsForm : public QDialog {
    Q_OBJECT

  public:
    enum class Answer { Keep, Restore, TimedOut };

    // hasScript: the profile ran script lines, which a restore does not undo; the form says so.
    // seconds below 1 count as 1: the question is always shown for a moment.
    TKeepSettingsForm(QWidget* owner, const std::vector<platform::ReachResult>& checks, int seconds,
                      bool hasScript);

    Answer Result() const { return answer_; }
    int SecondsLeft() const { return secondsLeft_; }

    QLabel* lblKeepText;    // "Keep these settings?"
    QLabel* lblChecks;      // one line per check: "Gateway 10.0.0.1 answers"
    QLabel* lblCountdown;   // the seconds left
    QLabel* lblScriptNote;  // shown only with script lines
    QPushButton* btnKeep;
    QPushButton* btnRestore;
    QTimer* tmrCountdown;

  protected:
    // The countdown starts with the first show, and the window comes up over its owner.
    void showEvent(QShowEvent* event) override;

  private:
    void Tick();
    void ShowSecondsLeft();
    void PlaceOverOwner();

    Answer answer_ = Answer::Restore;
    int secondsLeft_ = 0;
    bool shown_ = false;
};

}  // namespace quorv::settings
