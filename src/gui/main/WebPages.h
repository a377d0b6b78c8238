#pragma once

#include <QUrl>

class QWidget;

namespace quorv::app {

// The maker's pages: the help, the Q&A board and the donation page.
inline constexpr const char* kHelpPage = "/helper.php?program=quorvipchanger";
inline constexpr const char* kQnAPage = "/helper.php?go=qna&product=quorvipchanger";
inline constexpr const char* kDonatePage = "/helper.php?go=donate&product=quorvipchanger";

// The address of a page on the web host the build names.
QUrl WebPageUrl(const char* pathAndQuery);

// Opens an address in the desktop's browser. Where no browser opens it (no xdg-open, or
// xdg-open finds no browser), a message over owner gives the address to open by hand.
void OpenWebAddress(QWidget* owner, const QUrl& url);

}  // namespace quorv::app
