// Names of the promotion windows shared with the end-to-end test driver.
#pragma once

namespace promo {

inline constexpr wchar_t kPromoWindowClass[] = L"PontiroPromoWindow";
inline constexpr wchar_t kPromoTitle[] = L"休息一下，马上回来！";

enum PromoControlId : int {
    IdBrowserPane = 501,  // WebBrowser1's container
    IdImage2 = 502,       // close glyph
    IdImage1 = 503,       // minimise glyph
    IdLabel1 = 504,       // double-click closes this window
};

// Test query, registered by name: the window answers with a global atom holding its pane's
// LocationURL (the caller reads and deletes it), or 0 when it has no pane. Nothing visible.
inline constexpr wchar_t kLocationQueryMessage[] = L"Pontiro.Promo.LocationUrl";

}  // namespace promo
