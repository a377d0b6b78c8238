#pragma once

#include <QRect>
#include <QString>
#include <memory>

#include "gui/frame/PlacementStorage.h"

class QWidget;

namespace quorv::settings {

// FormStorage1: the main window's size and position between runs, and the one stored
// value Language. On Wayland, where a window cannot learn or choose its position, only
// the size is restored.
class TFormStorage {
  public:
    explicit TFormStorage(std::unique_ptr<IPlacementStorage> storage);

    // The stored value Language: "Korea", "English" or empty.
    QString Language;
    // Whether the user chose Language (now or at an earlier run). Until then it is settled
    // from the locale at each start and stored as empty, so a later change of the locale
    // still counts.
    bool LanguageChosen = false;
    // The widths of the list's columns, joined by commas; a setting of this program alone,
    // kept beside the placement. Empty when none are stored.
    QString ColumnWidths;

    // Restores the placement and Language. True when the window was placed; false leaves
    // it where it is (the caller centres it at its designed size). A rectangle is put on
    // the screen that shows most of it, moved and shrunk to lie inside its available area
    // with the window's frame; one whose numbers are not numbers is not restored.
    bool Restore(QWidget* window);
    // Writes FormVersion, Language, Flags, PixelsPerInch and the position texts under
    // both names. Throws quorv::Exception when the values cannot be stored.
    void Save(QWidget* window);

    const IPlacementStorage& Storage() const { return *storage_; }
    // For the other per-user settings kept beside the placement.
    IPlacementStorage& WritableStorage() { return *storage_; }

  private:
    std::unique_ptr<IPlacementStorage> storage_;
};

// "(1024x768)": the suffix of the names kept per screen size.
QString ScreenSizeSuffix();
// The screen's logical pixels per inch, as stored.
int CurrentPixelsPerInch();

}  // namespace quorv::settings
