#pragma once

#include <QAction>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

#include "gui/main/LiveStateMonitor.h"

class QTreeWidgetItem;

namespace quorv::app {

class TMainForm;

// A row's mark: true while its profile is what its adapter has now.
inline constexpr int kInForceRole = Qt::UserRole + 3;

// What the Linux desktop adds to the main window: the marks of the profiles in force, the
// capture of an adapter's present settings into a new profile, the tray icon with its menu,
// and the options for the tray and the desktop session. Kept beside the window's own commands,
// which it reaches through the window's actions and list.
class TDesktopFeatures : public QObject {
    Q_OBJECT
  public:
    // watchLive: false in tests, which hand states to Monitor() themselves.
    TDesktopFeatures(TMainForm* form, bool watchLive);

    TLiveStateMonitor* Monitor() const { return monitor_; }
    QSystemTrayIcon* Tray() const { return tray_; }
    QMenu* TrayMenu() const { return trayMenu_; }

    // The window's first showing, or a start hidden in the tray when that option is set and a
    // tray is there.
    void ShowAtStart();

    QAction* acCapture;
    QAction* acShowWindow;
    QAction* acTrayIcon;
    QAction* acCloseToTray;
    QAction* acAutostart;
    QAction* acStartHidden;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateActions();
    void PlaceActions();
    void MarkRows();
    void ScheduleMarks();
    void UpdateTray();
    void FillTrayMenu();
    void ApplyFromTray(const QString& name);
    void ShowWindow();
    void acCaptureExecute();
    void SetOption(const char* name, bool on);
    bool Option(const char* name, bool fallback) const;
    QString TrayToolTip() const;

    TMainForm* form_;
    TLiveStateMonitor* monitor_;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;
    QTimer marks_;
    bool marking_ = false;
};

}  // namespace quorv::app
