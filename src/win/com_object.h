// The IUnknown of every COM object the project implements: QueryInterface over the listed
// interfaces, one atomic reference count, and delete on the last Release. An object starts
// with one reference, which its creator owns (makeComObject).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <wrl/client.h>

#include <atomic>
#include <new>
#include <type_traits>
#include <utility>

namespace win {

template <class First, class... Rest>
class ComObject : public First, public Rest... {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) noexcept override {
        if (!out) return E_POINTER;
        void* found = iid == __uuidof(IUnknown) ? static_cast<First*>(this) : as<First>(iid);
        ((found = found ? found : as<Rest>(iid)), ...);
        *out = found ? found : otherInterface(iid);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

protected:
    ComObject() = default;
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() = default;

    // Interfaces not in the list: a base two listed interfaces share, an event interface
    // answered by IDispatch, a private id. Null for none.
    virtual void* otherInterface(REFIID) noexcept { return nullptr; }

private:
    template <class Interface>
    void* as(REFIID iid) noexcept {
        return iid == __uuidof(Interface) ? static_cast<Interface*>(this) : nullptr;
    }

    std::atomic<ULONG> refs_{1};
};

// Takes over a reference the caller owns already. MinGW-w64's ComPtr::Attach adds one of its
// own (its 10.x headers), which would keep the object for ever, so nothing here uses it.
template <class T>
void adopt(Microsoft::WRL::ComPtr<T>& to, std::type_identity_t<T>* owned) noexcept {
    *to.ReleaseAndGetAddressOf() = owned;
}

// A new object whose one reference the result holds; null when memory runs out.
template <class T, class... Args>
Microsoft::WRL::ComPtr<T> makeComObject(Args&&... args) noexcept(std::is_nothrow_constructible_v<T, Args...>) {
    Microsoft::WRL::ComPtr<T> object;
    adopt(object, new (std::nothrow) T(std::forward<Args>(args)...));
    return object;
}

}  // namespace win
