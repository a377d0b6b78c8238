#pragma once

namespace quorv::widgets {

// Maps the font names the windows are designed with to fonts this system has: the
// Korean ones to NanumGothic, the console one to NanumGothicCoding. Call once, before
// the first window is made.
void InstallFontSubstitutes();

}  // namespace quorv::widgets
