// Names of the promotion windows shared with the end-to-end test driver.
#pragma once

namespace promo {

inline constexpr wchar_t kPromoWindowClass[] = L"PontiroPromoWindow";
inline constexpr wchar_t kPromoTitle[] = L"休息一下，马上回来！";

enum PromoControlId : int {
    IdBrowserPane = 501,  // the browser control's container
    IdCloseGlyph = 502,
    IdMinimiseGlyph = 503,
    IdCloseLabel = 504,  // a double click closes the window
};

// Test query, registered by name: the window answers with a global atom holding its pane's
// LocationURL (the caller reads and deletes it), or 0 when it has no pane. Nothing visible.
inline constexpr wchar_t kLocationQueryMessage[] = L"Pontiro.Promo.LocationUrl";

// Test probe of the pane, registered by name: wParam says what, the answer is 0 without a pane.
// Only the event probes do anything, and only what the control's own event would do.
inline constexpr wchar_t kPaneProbeMessage[] = L"Pontiro.Promo.PaneProbe";
enum PaneProbe : int {
    ProbeSilent = 1,       // 1 when the control is silent
    ProbeDownloadControl,  // the site's answer for the ambient download control
    ProbeFailedAddress,    // a global atom as above: the address whose failure the blank page covers
    ProbeNewWindow3,       // lParam: an atom (the address) | the NWMF flags << 16; 1 when cancelled
    ProbeNewWindow2,       // 1 when the new window was cancelled
    ProbeFileDownload,     // lParam: ActiveDocument; 1 when the download was cancelled
};

}  // namespace promo
