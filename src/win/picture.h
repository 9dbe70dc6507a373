// A JPEG picture stored as an RCDATA resource, drawn stretched to a rectangle.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <wrl/client.h>

namespace win {

class Picture {
public:
    // Loads the resource; a picture that cannot be loaded draws nothing.
    bool load(HINSTANCE instance, int resourceId);
    void drawStretched(HDC dc, const RECT& target) const;
    bool loaded() const { return picture_ != nullptr; }

private:
    Microsoft::WRL::ComPtr<IPicture> picture_;
};

}  // namespace win
