// Window class and control ids of the About window, shared with the end-to-end test driver.
#pragma once

namespace about {

inline constexpr wchar_t kAboutWindowClass[] = L"PontiroAboutWindow";

// None of them is IDOK (1) or IDCANCEL (2): Enter and Esc must not reach a control.
enum AboutControlId : int {
    IdHeaderStrip = 601, IdHeaderIcon = 602, IdHeaderText = 603,  // the white strip, the key, bold text
    IdAuthorLabel = 610, IdAuthorName = 611,
    IdOrganisationLabel = 612, IdOrganisationLink = 613,
    IdMailLabel = 614, IdMailLink = 615,
    IdDownloadLabel = 616, IdHomePageLink = 617,
    IdOkButton = 620,
};

}  // namespace about
