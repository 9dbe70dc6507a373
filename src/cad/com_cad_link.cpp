#include "cad/com_cad_link.h"

#include <wrl/client.h>

#include <map>
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

CadResult<ComPtr<IDispatch>> dispatchResult(const CadResult<Variant>& result) {
    if (!result.ok()) return result.error();
    ComPtr<IDispatch> object;
    if (HRESULT hr = readDispatch(*result.value().get(), object); FAILED(hr)) return errorFromHresult(hr);
    return object;
}

// The object a property returns (ActiveDocument).
CadResult<ComPtr<IDispatch>> objectProperty(IDispatch* owner, const wchar_t* name) {
    if (!owner) return noObject();
    return dispatchResult(getProperty(owner, name));
}

CadResult<std::wstring> readText(const CadResult<Variant>& result) {
    if (!result.ok()) return result.error();
    const VARIANT* value = result.value().get();
    if (value->vt != VT_BSTR) return errorFromHresult(DISP_E_TYPEMISMATCH);
    return std::wstring(value->bstrVal, SysStringLen(value->bstrVal));
}

// The result as `type` (a CAD may answer a number or a flag in any numeric type).
CadResult<Variant> convertedTo(const CadResult<Variant>& result, VARTYPE type) {
    if (!result.ok()) return result.error();
    Variant converted;
    if (HRESULT hr = VariantChangeType(converted.get(), const_cast<VARIANT*>(result.value().get()), 0, type); FAILED(hr))
        return errorFromHresult(hr);
    return converted;
}

CadResult<double> readNumber(const CadResult<Variant>& result) {
    CadResult<Variant> number = convertedTo(result, VT_R8);
    if (!number.ok()) return number.error();
    return V_R8(number.value().get());
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

// DISPIDs looked up once per command: by the kind of object (every point mark is a point, the
// drawing's utility is one object) or, for an entity being read, while that entity lives.
class MemberIds {
public:
    void clear() {
        byKind_.clear();
        entityIds_.clear();
        entity_.reset();
    }

    CadResult<Variant> call(IDispatch* object, const std::wstring& kind, const wchar_t* member, WORD flags,
                            std::initializer_list<const VARIANT*> args = {}) {
        return callWith(byKind_, object, kind + L"." + member, member, flags, args);
    }

    CadResult<Variant> callEntity(const EntityRef& entity, const wchar_t* member, WORD flags,
                                  std::initializer_list<const VARIANT*> args = {}) {
        if (!entity.object) return noObject();
        // Held weakly: a released entity's address may come back as another kind of object.
        if (entity_.lock() != entity.object) {
            entity_ = entity.object;
            entityIds_.clear();
        }
        return callWith(entityIds_, dispatchOf(entity.object), member, member, flags, args);
    }

private:
    static CadResult<Variant> callWith(std::map<std::wstring, DISPID>& ids, IDispatch* object, const std::wstring& key,
                                       const wchar_t* member, WORD flags, std::initializer_list<const VARIANT*> args) {
        if (!object) return noObject();
        auto known = ids.find(key);
        if (known == ids.end()) {
            CadResult<DISPID> id = lookUp(object, member);
            if (!id.ok()) return id.error();
            known = ids.emplace(key, id.value()).first;
        }
        return invoke(object, known->second, flags, args);
    }

    std::map<std::wstring, DISPID> byKind_;
    std::weak_ptr<void> entity_;
    std::map<std::wstring, DISPID> entityIds_;
};

constexpr WORD kMethod = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;

class ComCadLink final : public CadLink {
public:
    ComCadLink(HWND owner, std::wstring className) : owner_(owner), className_(std::move(className)) {}

    void connect() override {
        ids_.clear();
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
        auto utility = documentObject(L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(prompt); FAILED(hr)) return errorFromHresult(hr);
        CadResult<Variant> result =
            ids_.call(utility.value().Get(), L"Utility", L"GetPoint", kMethod, {Variant::omitted().get(), text.get()});
        if (!result.ok()) return result.error();
        Point3 point{};
        if (HRESULT hr = readPoint(*result.value().get(), point); FAILED(hr)) return errorFromHresult(hr);
        return point;
    }

    CadStatus initializeUserInput(std::int16_t bits, std::wstring_view keywords) override {
        auto utility = documentObject(L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(keywords); FAILED(hr)) return errorFromHresult(hr);
        return status(ids_.call(utility.value().Get(), L"Utility", L"InitializeUserInput", kMethod,
                                {Variant::fromI2(bits).get(), text.get()}));
    }

    CadResult<std::wstring> getInput() override {
        auto utility = documentObject(L"Utility");
        if (!utility.ok()) return utility.error();
        return readText(ids_.call(utility.value().Get(), L"Utility", L"GetInput", kMethod));
    }

    CadResult<Selection> getEntity(std::wstring_view prompt) override {
        auto utility = documentObject(L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(prompt); FAILED(hr)) return errorFromHresult(hr);
        // Both answers come back through the arguments, passed by reference as a VB client does.
        ComPtr<IDispatch> entity;
        Variant picked;
        Variant entityRef = Variant::refToDispatch(entity.ReleaseAndGetAddressOf());
        Variant pointRef = Variant::refToVariant(picked);
        CadResult<Variant> result = ids_.call(utility.value().Get(), L"Utility", L"GetEntity", kMethod,
                                              {entityRef.get(), pointRef.get(), text.get()});
        if (!result.ok()) return result.error();
        if (!entity) return errorFromHresult(DISP_E_TYPEMISMATCH);
        Selection selection;
        if (HRESULT hr = readPoint(*picked.get(), selection.at); FAILED(hr)) return errorFromHresult(hr);
        selection.entity = EntityRef{share(std::move(entity))};
        return selection;
    }

    CadStatus prompt(std::wstring_view line) override {
        auto utility = documentObject(L"Utility");
        if (!utility.ok()) return utility.error();
        Variant text;
        if (HRESULT hr = text.assignString(line); FAILED(hr)) return errorFromHresult(hr);
        return status(ids_.call(utility.value().Get(), L"Utility", L"Prompt", kMethod, {text.get()}));
    }

    Marks addPoints(std::span<const Point2> points, std::int16_t colourIndex) override {
        Marks marks;
        // One model space for the lot: an outline's marks are one use of it.
        auto modelSpace = documentObject(L"ModelSpace");
        if (!modelSpace.ok()) {
            marks.failure = modelSpace.error();
            return marks;
        }
        const Variant colour = Variant::fromI2(colourIndex);
        for (const Point2& point : points) {
            SafeArray coordinates;
            if (HRESULT hr = makePointArray(point.x, point.y, 0.0, coordinates); FAILED(hr)) {
                marks.failure = errorFromHresult(hr);
                break;
            }
            Variant byReference = Variant::refToArray(VT_R8, coordinates);
            CadResult<Variant> added =
                ids_.call(modelSpace.value().Get(), L"ModelSpace", L"AddPoint", kMethod, {byReference.get()});
            ComPtr<IDispatch> entity;
            HRESULT hr = added.ok() ? readDispatch(*added.value().get(), entity) : S_OK;
            if (!added.ok() || FAILED(hr)) {
                marks.failure = added.ok() ? errorFromHresult(hr) : added.error();
                break;
            }
            if (auto coloured = ids_.call(entity.Get(), L"Point", L"Color", kPut, {colour.get()}); !coloured.ok()) {
                marks.failure = coloured.error();
                break;
            }
            marks.made.push_back(EntityRef{share(std::move(entity))});
        }
        return marks;
    }

    CadStatus deleteEntity(const EntityRef& entity) override {
        if (!entity.object) return noObject();
        return status(ids_.call(dispatchOf(entity.object), L"Point", L"Delete", kMethod));
    }

    CadResult<std::wstring> objectName(const EntityRef& entity) override {
        return readText(ids_.callEntity(entity, L"ObjectName", kGet));
    }

    CadResult<std::vector<double>> coordinates(const EntityRef& entity) override {
        CadResult<Variant> result = ids_.callEntity(entity, L"Coordinates", kGet);
        if (!result.ok()) return result.error();
        std::vector<double> values;
        if (HRESULT hr = readDoubles(*result.value().get(), values); FAILED(hr)) return errorFromHresult(hr);
        return values;
    }

    CadResult<bool> closed(const EntityRef& entity) override {
        CadResult<Variant> flag = convertedTo(ids_.callEntity(entity, L"Closed", kGet), VT_BOOL);
        if (!flag.ok()) return flag.error();
        return V_BOOL(flag.value().get()) != VARIANT_FALSE;
    }

    CadResult<double> bulge(const EntityRef& entity, int index) override {
        return readNumber(ids_.callEntity(entity, L"GetBulge", kMethod, {Variant::fromI4(index).get()}));
    }

    CadResult<Point3> normal(const EntityRef& entity) override { return readVector(entity, L"Normal"); }
    CadResult<Point3> center(const EntityRef& entity) override { return readVector(entity, L"Center"); }
    CadResult<double> radius(const EntityRef& entity) override {
        return readNumber(ids_.callEntity(entity, L"Radius", kGet));
    }

    CadStatus setVariable(std::wstring_view name, std::int16_t value) override {
        if (!cadDoc_) return noObject();
        Variant nameText;
        if (HRESULT hr = nameText.assignString(name); FAILED(hr)) return errorFromHresult(hr);
        return status(ids_.call(cadDoc_.Get(), L"Document", L"SetVariable", kMethod,
                                {nameText.get(), Variant::fromI2(value).get()}));
    }

    CadResult<GroupRef> addGroup(std::wstring_view name) override {
        auto groups = documentObject(L"Groups");
        if (!groups.ok()) return groups.error();
        Bstr text;
        if (HRESULT hr = text.assign(name); FAILED(hr)) return errorFromHresult(hr);
        Variant byReference = Variant::refToString(text);
        CadResult<Variant> result = ids_.call(groups.value().Get(), L"Groups", L"Add", kMethod, {byReference.get()});
        if (!result.ok()) return result.error();
        ComPtr<IDispatch> group;
        if (HRESULT hr = readDispatch(*result.value().get(), group); FAILED(hr)) return errorFromHresult(hr);
        return GroupRef{share(std::move(group))};
    }

    CadResult<std::optional<GroupRef>> findGroup(std::wstring_view name) override {
        auto groups = documentObject(L"Groups");
        if (!groups.ok()) return groups.error();
        Variant text;
        if (HRESULT hr = text.assignString(name); FAILED(hr)) return errorFromHresult(hr);
        CadResult<Variant> result = ids_.call(groups.value().Get(), L"Groups", L"Item", kMethod, {text.get()});
        if (!result.ok()) {
            // Item fails for a name the drawing does not have; a CAD that is gone or still busy
            // has not answered the question.
            if (cadDidNotAnswer(result.error().number)) return result.error();
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
        return status(ids_.call(dispatchOf(group.object), L"Group", L"AppendItems", kMethod, {entityArray.get()}));
    }

private:
    // Utility, ModelSpace or Groups of the drawing, asked afresh at each use.
    CadResult<ComPtr<IDispatch>> documentObject(const wchar_t* name) {
        if (!cadDoc_) return noObject();
        return dispatchResult(ids_.call(cadDoc_.Get(), L"Document", name, kGet));
    }

    CadResult<Point3> readVector(const EntityRef& entity, const wchar_t* member) {
        CadResult<Variant> result = ids_.callEntity(entity, member, kGet);
        if (!result.ok()) return result.error();
        Point3 vector{};
        if (HRESULT hr = readPoint(*result.value().get(), vector); FAILED(hr)) return errorFromHresult(hr);
        return vector;
    }

    HWND owner_;
    std::wstring className_;
    ComPtr<IDispatch> cadApp_;  // the CAD application
    ComPtr<IDispatch> cadDoc_;  // its active drawing as of the last connect
    MemberIds ids_;
};

}  // namespace

std::unique_ptr<CadLink> makeComCadLink(HWND owner, std::wstring className) {
    return std::make_unique<ComCadLink>(owner, std::move(className));
}

}  // namespace cad
