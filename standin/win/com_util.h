// Small owning wrappers for the Win32 and COM values the stand-in handles: VARIANT, BSTR,
// kernel handles and GDI objects. Copy is deleted; moving hands over ownership.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <utility>

namespace standin {

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    // Hands the value over to a caller-owned VARIANT (e.g. Invoke's result).
    void detachTo(VARIANT* out) {
        *out = v_;
        VariantInit(&v_);
    }

private:
    VARIANT v_;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR release() { return std::exchange(b_, nullptr); }

private:
    BSTR b_ = nullptr;
};

class Handle {
public:
    Handle() = default;
    explicit Handle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }
    void reset() {
        if (h_) CloseHandle(h_);
        h_ = nullptr;
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_ = nullptr;
};

// A GDI object (pen, brush, font, bitmap) deleted with DeleteObject.
template <typename T>
class GdiObject {
public:
    explicit GdiObject(T object) : object_(object) {}
    ~GdiObject() {
        if (object_) DeleteObject(object_);
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    T get() const { return object_; }

private:
    T object_;
};

// Selects an object into a DC for one scope.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

std::wstring widen(const std::string& utf8);

}  // namespace standin
