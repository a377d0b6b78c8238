#pragma once

#include <QUrl>

namespace quorv::app {

// The maker's pages: the help, the Q&A board and the donation page.
inline constexpr const char* kHelpPage = "/helper.php?program=quorvipchanger";
inline constexpr const char* kQnAPage = "/helper.php?go=qna&product=quorvipchanger";
inline constexpr const char* kDonatePage = "/helper.php?go=donate&product=quorvipchanger";

// The address of a page on the web host the build names.
QUrl WebPageUrl(const char* pathAndQuery);

// Opens a page in the desktop's browser; whether that worked is not our concern.
void OpenWebPage(const char* pathAndQuery);

}  // namespace quorv::app
