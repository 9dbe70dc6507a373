// Window class and control ids of the About window, shared with the end-to-end test driver.
#pragma once

namespace about {

inline constexpr wchar_t kAboutWindowClass[] = L"PontiroAboutWindow";

// None of them is IDOK (1) or IDCANCEL (2): Enter and Esc must not reach a control.
enum AboutControlId : int {
    IdPicBGHead = 601,      // white header strip
    IdPicBGHeadIcon = 602,  // key icon in the header
    IdLblBGHeadInfo1 = 603, // bold header text
    IdLabel2 = 610,         // "作 者："
    IdLabel7 = 611,         // author's name
    IdLabel3 = 612,         // "单 位："
    IdLabel9 = 613,         // organisation's name, link
    IdLabel5 = 614,         // "E-mail："
    IdLblHomepage = 615,    // e-mail address, link
    IdLabel6 = 616,         // "软件下载："
    IdLabel4 = 617,         // home page address, link
    IdCommand1 = 620,       // OK
};

}  // namespace about
