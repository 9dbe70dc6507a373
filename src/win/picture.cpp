#include "win/picture.h"

#include <olectl.h>

#include "win/handle_owners.h"
#include "win/window_ops.h"

namespace win {

using Microsoft::WRL::ComPtr;

bool Picture::load(HINSTANCE instance, int resourceId) {
    picture_.Reset();
    if (!useOle()) return false;  // the decoder is a COM object
    HRSRC info = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    if (!info) return false;
    const DWORD size = SizeofResource(instance, info);
    HGLOBAL loaded = LoadResource(instance, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return false;

    // OleLoadPicture reads from a stream; the stream owns (and frees) this copy.
    win::GlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE, size));
    void* dest = copy.get() ? GlobalLock(copy.get()) : nullptr;
    if (!dest) return false;
    memcpy(dest, bytes, size);
    GlobalUnlock(copy.get());
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(copy.get(), TRUE, &stream))) return false;
    copy.release();
    return SUCCEEDED(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                    reinterpret_cast<void**>(picture_.GetAddressOf())));
}

void Picture::drawStretched(HDC dc, const RECT& target) const {
    if (!picture_) return;
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture_->get_Width(&width);
    picture_->get_Height(&height);
    // HIMETRIC runs bottom-up: start at the picture's top and go down by a negative height.
    (void)picture_->Render(dc, target.left, target.top, target.right - target.left,
                           target.bottom - target.top, 0, height, width, -height, nullptr);
}

}  // namespace win
