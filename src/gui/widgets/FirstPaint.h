#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

class QWidget;

namespace quorv::widgets {

// Start-up work that can wait until a widget is on screen: it runs right after the
// widget's first paint, in the order it was given, each piece from the event loop, so
// the painted picture reaches the screen before the first piece blocks. Work given after
// that paint is queued at once.
class TFirstPaint : public QObject {
    Q_OBJECT
  public:
    // Watches `widget`; owned by `owner`.
    TFirstPaint(QWidget* widget, QObject* owner);

    bool Painted() const { return painted_; }
    void Then(std::function<void()> work);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPointer<QWidget> widget_;
    std::vector<std::function<void()>> pending_;
    bool painted_ = false;
};

}  // namespace quorv::widgets
