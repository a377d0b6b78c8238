#pragma once

#include <QIcon>
#include <QObject>
#include <vector>

namespace quorv::app {

// Indexes of the main window's pictures; actions, menus and list rows name them by number.
enum ImageIndex : int {
    imgOpen = 0,
    imgSave = 1,
    imgApply = 2,
    imgAdd = 3,
    imgEdit = 4,
    imgDelete = 5,
    imgHelp = 6,
    imgAbout = 7,
    imgExit = 8,
    imgOptions = 9,
    imgQnA = 10,
    imgWired = 11,
    imgWireless = 12,
    imgOtherAdapter = 13,
    imgChangeIcon = 14,
    imgInformation = 15,
    imgLanguage = 16,
    imgKorea = 17,
    imgEnglish = 18,
    imgDonate = 19,
};

inline constexpr int kImageCount = 20;

// ImageList1: the twenty pictures, drawn as SVG so they stay sharp at any scale.
class TImageList : public QObject {
    Q_OBJECT
  public:
    explicit TImageList(QObject* parent = nullptr);

    int Count() const { return static_cast<int>(icons_.size()); }
    // A null icon for an index outside the list, as an empty image slot would be.
    QIcon Icon(int index) const;

  private:
    std::vector<QIcon> icons_;
};

}  // namespace quorv::app
