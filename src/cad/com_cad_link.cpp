#include "cad/com_cad_link.h"

#include <wrl/client.h>

#include <string>
#include <vector>

#include "cad/com_values.h"
#include "cad/dispatch.h"
#include "cad/pick_commands.h"
#include "win/texts.h"
#include "win/window_ops.h"

namespace cad {
namespace {

using Microsoft::WRL::ComPtr;

// What a VB-style client reports when a call is made on an empty object reference.
CadError noObject() {
    return {91, L"Object variable or With block variable not set"};
}

CadError errorFromHresult(HRESULT hr) {
    return {static_cast<std::int32_t>(hr), describeHresult(hr)};
}

// Entities and groups travel through the plain commands as shared, opaque references.
std::shared_ptr<void> share(ComPtr<IDispatch> object) {
    IDispatch* raw = object.Detach();
    return std::shared_ptr<IDispatch>(raw, [](IDispatch* p) {
        if (p) p->Release();
    });
}

CadStatus status(const CadResult<Variant>& result) {
    if (!result.ok()) return result.error();
    return cadOk();
}

IDispatch* dispatchOf(const std::shared_ptr<void>& object) {
    return static_cast<IDispatch*>(object.get());
}

// The object a property returns (Utility, ModelSpace, Groups, ActiveDocument…).
CadResult<ComPtr<IDispatch>> objectProperty(IDispatch* owner, const wchar_t* name) {
    if (!owner) return noObject();
    CadResult<Variant> result = getProperty(owner, name);
    if (!result.ok()) return result.error();
    ComPtr<IDispatch> object;
    if (HRESULT hr = readDispatch(*result.value().get(), object); FAILED(hr)) return errorFromHresult(hr);
    return object;
}

// The top-level window whose title is the caption, else the first whose title begins with it.
HWND windowTitled(const std::wstring& caption) {
    struct Search {
        const std::wstring& caption;
        HWND exact = nullptr;
        HWND prefix = nullptr;

        // A named CALLBACK, not a lambda: 32-bit Windows calls it as stdcall.
        static BOOL CALLBACK visit(HWND hwnd, LPARAM param) {
            auto* s = reinterpret_cast<Search*>(param);
            if (!IsWindowVisible(hwnd)) return TRUE;
            const std::wstring title = win::windowText(hwnd);
            if (title == s->caption) {
                s->exact = hwnd;
                return FALSE;
            }
            if (!s->prefix && title.starts_with(s->caption)) s->prefix = hwnd;
            return TRUE;
        }
    } search{caption};
    EnumWindows(Search::visit, reinterpret_cast<LPARAM>(&search));
    return search.exact ? search.exact : search.prefix;
}

class ComCadLink final : public CadLink {
public:
    ComCadLink(HWND owner, std::wstring className) : owner_(owner), className_(std::move(className)) {}

    void connect() override {
        CLSID clsid{};
        HRESULT hr = CLSIDFromProgID(className_.c_str(), &clsid);
        // Attach to the running CAD first; start one only when none answers.
        ComPtr<IUnknown> running;
        if (SUCCEEDED(hr)) hr = GetActiveObject(clsid, nullptr, &running);
        ComPtr<IDispatch> app;
        if (SUCCEEDED(hr)) hr = running.As(&app);
        if (FAILED(hr)) {
            hr = CLSIDFromProgID(className_.c_str(), &clsid);
            if (SUCCEEDED(hr)) hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_PPV_ARGS(&app));
            if (FAILED(hr)) {
                MessageBoxW(owner_, describeHresult(hr).c_str(), win::kToolCaption, MB_OK);
                return;
            }
        }
        cadApp_ = app;

        // From here on a failing step is passed over; the commands meet it at their next call.
        (void)putProperty(cadApp_.Get(), L"Visible", {Variant::fromBool(true).get()});
        if (auto document = objectProperty(cadApp_.Get(), L"ActiveDocument"); document.ok())
            cadDoc_ = document.value();
        CadResult<Variant> caption = getProperty(cadApp_.Get(), L"Caption");
        if (caption.ok() && caption.value().type() == VT_BSTR && caption.value().get()->bstrVal) {
            const VARIANT* value = caption.value().get();
            const std::wstring title(value->bstrVal, SysStringLen(value->bstrVal));
            if (HWND window = windowTitled(title)) {
                if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
                SetForegroundWindow(window);
            }
        }
    }

    CadResult<Point3> getPoint(std::wstring_view prompt) override {
        auto utility = objectProperty(cadDoc_.Get(), L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(prompt); FAILED(hr)) return errorFromHresult(hr);
        CadResult<Variant> result = callMethod(utility.value().Get(), L"GetPoint", {Variant::omitted().get(), text.get()});
        if (!result.ok()) return result.error();
        Point3 point{};
        if (HRESULT hr = readPoint(*result.value().get(), point); FAILED(hr)) return errorFromHresult(hr);
        return point;
    }

    CadStatus initializeUserInput(std::int16_t bits, std::wstring_view keywords) override {
        auto utility = objectProperty(cadDoc_.Get(), L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(keywords); FAILED(hr)) return errorFromHresult(hr);
        return status(callMethod(utility.value().Get(), L"InitializeUserInput", {Variant::fromI2(bits).get(), text.get()}));
    }

    CadResult<std::wstring> getInput() override {
        auto utility = objectProperty(cadDoc_.Get(), L"Utility");
        if (!utility.ok()) return utility.error();
        CadResult<Variant> result = callMethod(utility.value().Get(), L"GetInput");
        if (!result.ok()) return result.error();
        const VARIANT* value = result.value().get();
        if (value->vt != VT_BSTR) return errorFromHresult(DISP_E_TYPEMISMATCH);
        return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
    }

    CadResult<EntityRef> addPoint(double x, double y, double z) override {
        auto modelSpace = objectProperty(cadDoc_.Get(), L"ModelSpace");
        if (!modelSpace.ok()) return modelSpace.error();
        SafeArray coordinates;
        if (HRESULT hr = makePointArray(x, y, z, coordinates); FAILED(hr)) return errorFromHresult(hr);
        Variant byReference = Variant::refToArray(VT_R8, coordinates);
        CadResult<Variant> result = callMethod(modelSpace.value().Get(), L"AddPoint", {byReference.get()});
        if (!result.ok()) return result.error();
        ComPtr<IDispatch> entity;
        if (HRESULT hr = readDispatch(*result.value().get(), entity); FAILED(hr)) return errorFromHresult(hr);
        return EntityRef{share(std::move(entity))};
    }

    CadStatus setColor(const EntityRef& entity, std::int16_t colourIndex) override {
        if (!entity.object) return noObject();
        return status(putProperty(dispatchOf(entity.object), L"Color", {Variant::fromI2(colourIndex).get()}));
    }

    CadStatus deleteEntity(const EntityRef& entity) override {
        if (!entity.object) return noObject();
        return status(callMethod(dispatchOf(entity.object), L"Delete"));
    }

    CadStatus setVariable(std::wstring_view name, std::int16_t value) override {
        if (!cadDoc_) return noObject();
        Variant nameText;
        if (HRESULT hr = nameText.assignString(name); FAILED(hr)) return errorFromHresult(hr);
        return status(callMethod(cadDoc_.Get(), L"SetVariable", {nameText.get(), Variant::fromI2(value).get()}));
    }

    CadResult<GroupRef> addGroup(std::wstring_view name) override {
        auto groups = objectProperty(cadDoc_.Get(), L"Groups");
        if (!groups.ok()) return groups.error();
        Bstr text;
        if (HRESULT hr = text.assign(name); FAILED(hr)) return errorFromHresult(hr);
        Variant byReference = Variant::refToString(text);
        CadResult<Variant> result = callMethod(groups.value().Get(), L"Add", {byReference.get()});
        if (!result.ok()) return result.error();
        ComPtr<IDispatch> group;
        if (HRESULT hr = readDispatch(*result.value().get(), group); FAILED(hr)) return errorFromHresult(hr);
        return GroupRef{share(std::move(group))};
    }

    CadResult<std::optional<GroupRef>> findGroup(std::wstring_view name) override {
        auto groups = objectProperty(cadDoc_.Get(), L"Groups");
        if (!groups.ok()) return groups.error();
        Variant text;
        if (HRESULT hr = text.assignString(name); FAILED(hr)) return errorFromHresult(hr);
        CadResult<Variant> result = callMethod(groups.value().Get(), L"Item", {text.get()});
        if (!result.ok()) {
            // Item fails for a name the drawing does not have; a CAD that is gone or still busy
            // has not answered the question.
            const auto number = static_cast<HRESULT>(result.error().number);
            if (cadStoppedAnswering(number) || isBusy(number))
                return result.error();
            return std::optional<GroupRef>();
        }
        ComPtr<IDispatch> group;
        if (HRESULT hr = readDispatch(*result.value().get(), group); FAILED(hr)) return errorFromHresult(hr);
        return std::optional(GroupRef{share(std::move(group))});
    }

    CadStatus appendItems(const GroupRef& group, std::span<const EntityRef> entities) override {
        if (!group.object) return noObject();
        std::vector<IDispatch*> members;
        members.reserve(entities.size());
        for (const EntityRef& entity : entities) members.push_back(dispatchOf(entity.object));
        SafeArray array;
        if (HRESULT hr = makeDispatchArray(members, array); FAILED(hr)) return errorFromHresult(hr);
        // By value: Wine's proxy corrupts a by-reference array of objects on the way back
        // (the tool crashed destroying it), and the CAD accepts either form.
        Variant entityArray = Variant::fromArray(VT_DISPATCH, std::move(array));
        return status(callMethod(dispatchOf(group.object), L"AppendItems", {entityArray.get()}));
    }

private:
    HWND owner_;
    std::wstring className_;
    ComPtr<IDispatch> cadApp_;  // the CAD application
    ComPtr<IDispatch> cadDoc_;  // its active drawing as of the last connect
};

}  // namespace

std::unique_ptr<CadLink> makeComCadLink(HWND owner, std::wstring className) {
    return std::make_unique<ComCadLink>(owner, std::move(className));
}

}  // namespace cad
