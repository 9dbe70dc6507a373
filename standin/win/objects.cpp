#include "win/objects.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "rules/text.h"
#include "rules/view.h"
#include "win/cad_window.h"
#include "win/com_util.h"
#include "win/entities.h"
#include "win/session.h"

namespace standin {
namespace {

void redraw() {
    if (CadWindow* window = session().window()) window->redrawSoon();
}

// The entities of an AppendItems argument: VT_ARRAY of VT_DISPATCH or of VARIANTs holding
// VT_DISPATCH, by value or by reference. Empty with `why` set when the shape is wrong.
std::optional<std::vector<ComPtr<IDispatch>>> readObjectArray(const VARIANT& v, std::wstring& why) {
    const VARTYPE vt = V_VT(&v);
    const VARTYPE element = vt & VT_TYPEMASK;
    if ((vt & VT_ARRAY) == 0 || (element != VT_DISPATCH && element != VT_VARIANT && element != VT_UNKNOWN)) {
        why = L"Invalid argument: AppendItems needs an array of entities";
        return std::nullopt;
    }
    SAFEARRAY* array = (vt & VT_BYREF) ? (V_ARRAYREF(&v) ? *V_ARRAYREF(&v) : nullptr) : V_ARRAY(&v);
    if (!array || SafeArrayGetDim(array) != 1) {
        why = L"Invalid argument: AppendItems needs a one-dimensional array";
        return std::nullopt;
    }
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    std::vector<ComPtr<IDispatch>> objects;
    for (LONG i = low; i <= high; ++i) {
        ComPtr<IDispatch> object;
        if (element == VT_VARIANT) {
            Variant item;
            if (FAILED(SafeArrayGetElement(array, &i, item.get()))) break;
            VARIANT* inner = item.get();
            if (V_VT(inner) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(inner)) inner = V_VARIANTREF(inner);
            if (V_VT(inner) == VT_DISPATCH) object = V_DISPATCH(inner);
            else if (V_VT(inner) == (VT_DISPATCH | VT_BYREF) && V_DISPATCHREF(inner)) object = *V_DISPATCHREF(inner);
            else if (V_VT(inner) == VT_UNKNOWN && V_UNKNOWN(inner))
                (void)V_UNKNOWN(inner)->QueryInterface(IID_PPV_ARGS(&object));
        } else if (element == VT_DISPATCH) {
            IDispatch* raw = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, &raw))) win::adopt(object, raw);
        } else {
            IUnknown* raw = nullptr;
            if (SUCCEEDED(SafeArrayGetElement(array, &i, &raw)) && raw) {
                (void)raw->QueryInterface(IID_PPV_ARGS(&object));
                raw->Release();
            }
        }
        if (!object) {
            why = L"Invalid argument: item " + std::to_wstring(i) + L" is not an object";
            return std::nullopt;
        }
        objects.push_back(object);
    }
    return objects;
}

}  // namespace

// ---- drawing ownership ----

bool PointEntity::inClosedDrawing() const { return owner_->closed(); }
bool Group::inClosedDrawing() const { return owner_->closed(); }
bool Utility::inClosedDrawing() const { return owner_->closed(); }
bool ModelSpace::inClosedDrawing() const { return owner_->closed(); }
bool Groups::inClosedDrawing() const { return owner_->closed(); }

// ---- Application ----

namespace {
enum AppMember : DISPID { kAppVisible = 1, kAppActiveDocument, kAppCaption, kAppQuit, kAppName };
constexpr std::array kAppMembers = {
    MemberName{L"Visible", kAppVisible}, MemberName{L"ActiveDocument", kAppActiveDocument},
    MemberName{L"Caption", kAppCaption}, MemberName{L"Quit", kAppQuit}, MemberName{L"Name", kAppName}};
}  // namespace

Application::Application() : DispatchObject(L"Application", kAppMembers) {}

HRESULT Application::invokeMember(DISPID id, Call& call) {
    CadWindow* window = session().window();
    switch (id) {
    case kAppVisible:
        if (call.isPut()) {
            const VARIANT* value = call.putValue();
            Variant flag;
            if (!value || FAILED(VariantChangeType(flag.get(), const_cast<VARIANT*>(value), 0, VT_BOOL)))
                return DISP_E_TYPEMISMATCH;
            if (window) window->setVisible(V_BOOL(flag.get()) != VARIANT_FALSE);
            return S_OK;
        }
        return returnBool(call, window && window->visible());
    case kAppActiveDocument:
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        if (Document* document = session().activeDocument()) return returnObject(call, document);
        return call.fail(kErrNoDocument, L"No drawing is open");
    case kAppCaption:
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        return returnText(call, window ? window->caption() : std::wstring());
    case kAppName:
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        return returnText(call, L"Stand-in CAD");
    case kAppQuit:
        session().quit();
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- PointEntity ----

namespace {
enum EntityMember : DISPID { kEntColor = 1, kEntCoordinates, kEntHandle, kEntDelete, kEntObjectName };
constexpr std::array kEntityMembers = {
    MemberName{L"Color", kEntColor}, MemberName{L"Coordinates", kEntCoordinates},
    MemberName{L"Handle", kEntHandle}, MemberName{L"Delete", kEntDelete},
    MemberName{L"ObjectName", kEntObjectName}};
}  // namespace

PointEntity::PointEntity(Document* owner, std::uint64_t handle, double x, double y, double z)
    : DispatchObject(L"Point", kEntityMembers), owner_(owner), handle_(handle), x_(x), y_(y), z_(z) {}

std::string PointEntity::describe() const {
    return "{\"object\":\"Point\",\"handle\":" + jsonString(toUtf8(hexHandle(handle_))) + "}";
}

HRESULT PointEntity::invokeMember(DISPID id, Call& call) {
    if (erased_ && id != kEntHandle && id != kEntObjectName) return call.fail(kErrErased, L"Object was erased");
    switch (id) {
    case kEntColor:
        if (call.isPut()) {
            const VARIANT* value = call.putValue();
            const auto color = value ? readInteger(*value) : std::nullopt;
            if (!color) return DISP_E_TYPEMISMATCH;
            if (*color < 0 || *color > 256) return call.fail(kErrInvalidValue, L"Colour index out of range (0 to 256)");
            color_ = static_cast<int>(*color);
            redraw();
            return S_OK;
        }
        return returnLong(call, color_);
    case kEntCoordinates:
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        return call.result() ? makeDoubleArray({x_, y_, z_}, call.result()) : S_OK;
    case kEntHandle:
        return returnText(call, hexHandle(handle_));
    case kEntObjectName:
        return returnText(call, L"AcDbPoint");
    case kEntDelete:
        erased_ = true;
        redraw();
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- Group ----

namespace {
enum GroupMember : DISPID { kGroupAppendItems = 1, kGroupName, kGroupCount, kGroupDelete };
constexpr std::array kGroupMembers = {
    MemberName{L"AppendItems", kGroupAppendItems}, MemberName{L"Name", kGroupName},
    MemberName{L"Count", kGroupCount}, MemberName{L"Delete", kGroupDelete}};
}  // namespace

Group::Group(Document* owner, std::wstring name)
    : DispatchObject(L"Group", kGroupMembers), owner_(owner), name_(std::move(name)) {}

std::string Group::describe() const {
    return "{\"object\":\"Group\",\"name\":" + jsonString(toUtf8(name_)) + "}";
}

HRESULT Group::invokeMember(DISPID id, Call& call) {
    if (erased_) return call.fail(kErrErased, L"Object was erased: group " + name_);
    switch (id) {
    case kGroupAppendItems: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        if (owner_ != session().activeDocument())
            return call.fail(kErrOtherDrawing, L"The group's drawing is not the active drawing");
        std::wstring why;
        const auto objects = readObjectArray(call.arg(0), why);
        if (!objects) return call.fail(kErrInvalidArgument, why);
        std::vector<ComPtr<PointEntity>> entities;
        // All items are checked before any is added: a failed call changes nothing.
        for (const ComPtr<IDispatch>& object : *objects) {
            auto* entity = dynamic_cast<PointEntity*>(ownObject(object.Get()));
            if (!entity) return call.fail(kErrInvalidArgument, L"Invalid argument: not an entity of this drawing");
            if (entity->owner() != owner_) return call.fail(kErrOtherDrawing, L"Entity belongs to another drawing");
            if (entity->erased()) return call.fail(kErrErased, L"Object was erased");
            entities.push_back(entity);
        }
        for (const ComPtr<PointEntity>& entity : entities) {
            bool present = false;
            for (const ComPtr<PointEntity>& item : items_) present = present || item.Get() == entity.Get();
            if (!present) items_.push_back(entity);
        }
        return S_OK;
    }
    case kGroupName:
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        return returnText(call, name_);
    case kGroupCount:
        return returnLong(call, static_cast<long>(items_.size()));
    case kGroupDelete:
        erased_ = true;
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- Utility ----

namespace {
enum UtilityMember : DISPID { kUtilGetPoint = 1, kUtilInitializeUserInput, kUtilGetInput, kUtilGetEntity, kUtilPrompt };
constexpr std::array kUtilityMembers = {MemberName{L"GetPoint", kUtilGetPoint},
                                        MemberName{L"InitializeUserInput", kUtilInitializeUserInput},
                                        MemberName{L"GetInput", kUtilGetInput}, MemberName{L"GetEntity", kUtilGetEntity},
                                        MemberName{L"Prompt", kUtilPrompt}};
}  // namespace

Utility::Utility(Document* owner) : DispatchObject(L"Utility", kUtilityMembers), owner_(owner) {}

HRESULT Utility::invokeMember(DISPID id, Call& call) {
    switch (id) {
    case kUtilGetPoint:
        return getPoint(call);
    case kUtilGetEntity:
        return getEntity(call);
    case kUtilPrompt: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        const auto text = readText(call.arg(0));
        if (!text) return call.fail(kErrInvalidArgument, L"Invalid argument: prompt");
        if (CadWindow* window = session().window()) window->showMessage(*text);
        return S_OK;
    }
    case kUtilInitializeUserInput: {
        // The bits (no null input and the like) are journalled only: the keywords are what
        // the stand-in acts on.
        if (call.count() < 1 || call.count() > 2) return DISP_E_BADPARAMCOUNT;
        if (!readInteger(call.arg(0))) return call.fail(kErrInvalidArgument, L"Invalid argument: input bits");
        const auto list = promptText(call, 1);
        if (!list) return call.fail(kErrInvalidArgument, L"Invalid argument: keyword list");
        keywords_ = parseKeywords(*list);
        return S_OK;
    }
    case kUtilGetInput:
        if (call.count() != 0) return DISP_E_BADPARAMCOUNT;
        return returnText(call, lastInput_);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Utility::getPoint(Call& call) {
    if (call.count() > 2) return DISP_E_BADPARAMCOUNT;
    std::optional<std::vector<double>> base;
    if (!call.omitted(0)) {
        base = readPoint(call.arg(0));
        if (!base) return call.fail(kErrInvalidArgument, L"Invalid argument: base point");
    }
    const auto prompt = promptText(call, 1);
    if (!prompt) return call.fail(kErrInvalidArgument, L"Invalid argument: prompt");
    CadWindow* window = session().window();
    // A prompt is already waiting (another client's): the CAD is busy.
    if (!window || window->promptActive()) return RPC_E_CALL_REJECTED;
    // Keywords hold for one prompt, as the CAD's do.
    const PromptOutcome outcome = window->runPrompt(*prompt, base, std::exchange(keywords_, {}), PromptKind::Point);
    session().runScriptSwitches();
    if (outcome.end == PromptEnd::Point) return returnDoubles(call, {outcome.x, outcome.y, outcome.z});
    return endedWithoutAnswer(call, outcome);
}

std::optional<std::wstring> Utility::promptText(const Call& call, UINT i) {
    return call.omitted(i) ? std::optional<std::wstring>(L"") : readText(call.arg(i));
}

HRESULT Utility::endedWithoutAnswer(Call& call, const PromptOutcome& outcome) {
    switch (outcome.end) {
    case PromptEnd::Enter:
        lastInput_ = outcome.keyword;
        return call.fail(kErrUserInput, L"User input is a keyword");
    case PromptEnd::Escape:
        return call.fail(static_cast<HRESULT>(session().config().escScode), L"Canceled by the user");
    default:
        return call.fail(kErrWindowClosed, L"The CAD window was closed");
    }
}

// The object and the clicked point go back through the first two arguments, which must be
// variables: the object's a VT_DISPATCH or a VARIANT, the point's a VARIANT.
HRESULT Utility::getEntity(Call& call) {
    if (call.count() < 2 || call.count() > 3) return DISP_E_BADPARAMCOUNT;
    VARIANT& object = call.rawArg(0);
    VARIANT& point = call.rawArg(1);
    if (!(V_VT(&object) == (VT_BYREF | VT_DISPATCH) || V_VT(&object) == (VT_BYREF | VT_VARIANT)) || !V_BYREF(&object))
        return call.badArgument(0);
    if (V_VT(&point) != (VT_BYREF | VT_VARIANT) || !V_VARIANTREF(&point)) return call.badArgument(1);
    const auto prompt = promptText(call, 2);
    if (!prompt) return call.fail(kErrInvalidArgument, L"Invalid argument: prompt");
    CadWindow* window = session().window();
    if (!window || window->promptActive()) return RPC_E_CALL_REJECTED;
    const PromptOutcome outcome = window->runPrompt(*prompt, std::nullopt, std::exchange(keywords_, {}), PromptKind::Entity);
    session().runScriptSwitches();
    switch (outcome.end) {
    case PromptEnd::Entity: {
        DrawingEntity* entity = outcome.document ? outcome.document->entityObject(outcome.entity) : nullptr;
        if (!entity) return call.fail(kErrWindowClosed, L"The drawing was closed");
        Variant picked;
        if (const HRESULT hr = makeDoubleArray({outcome.x, outcome.y, 0}, picked.get()); FAILED(hr)) return hr;
        VariantClear(V_VARIANTREF(&point));
        picked.detachTo(V_VARIANTREF(&point));
        entity->AddRef();
        if (V_VT(&object) == (VT_BYREF | VT_DISPATCH)) {
            if (IDispatch* old = std::exchange(*V_DISPATCHREF(&object), entity)) old->Release();
        } else {
            VariantClear(V_VARIANTREF(&object));
            V_VT(V_VARIANTREF(&object)) = VT_DISPATCH;
            V_DISPATCH(V_VARIANTREF(&object)) = entity;
        }
        call.wroteArguments();
        return S_OK;
    }
    case PromptEnd::Miss:
        return call.fail(DISP_E_EXCEPTION, L"Nothing selected");
    default:
        return endedWithoutAnswer(call, outcome);
    }
}

// ---- ModelSpace ----

namespace {
enum ModelSpaceMember : DISPID { kMsAddPoint = 1, kMsCount };
constexpr std::array kModelSpaceMembers = {MemberName{L"AddPoint", kMsAddPoint}, MemberName{L"Count", kMsCount}};
}  // namespace

ModelSpace::ModelSpace(Document* owner) : DispatchObject(L"ModelSpace", kModelSpaceMembers), owner_(owner) {}

HRESULT ModelSpace::invokeMember(DISPID id, Call& call) {
    switch (id) {
    case kMsAddPoint: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        const auto point = readPoint(call.arg(0));
        if (!point) return call.fail(kErrInvalidArgument, L"Invalid argument: AddPoint needs an array of three doubles");
        const ComPtr<PointEntity> entity = owner_->addPoint((*point)[0], (*point)[1], (*point)[2]);
        redraw();
        return returnObject(call, entity.Get());
    }
    case kMsCount: {
        // The drawing's own entities and the point marks not erased, as the CAD counts them.
        long count = static_cast<long>(owner_->entities().size());
        for (const auto& point : owner_->points()) count += point->erased() ? 0 : 1;
        return returnLong(call, count);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- Groups ----

namespace {
enum GroupsMember : DISPID { kGroupsAdd = 1, kGroupsCount, kGroupsItem };
constexpr std::array kGroupsMembers = {MemberName{L"Add", kGroupsAdd}, MemberName{L"Count", kGroupsCount},
                                       MemberName{L"Item", kGroupsItem}};
}  // namespace

Groups::Groups(Document* owner) : DispatchObject(L"Groups", kGroupsMembers), owner_(owner) {}

HRESULT Groups::invokeMember(DISPID id, Call& call) {
    std::vector<ComPtr<Group>>& groups = owner_->groups();
    switch (id) {
    case kGroupsAdd: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        const auto name = readText(call.arg(0));
        if (!name) return call.fail(kErrInvalidArgument, L"Invalid argument: group name");
        const std::string problem = groupNameProblem(*name);
        if (!problem.empty()) return call.fail(kErrInvalidName, L"Invalid group name: " + widen(problem));
        for (const ComPtr<Group>& group : groups) {
            if (!group->erased() && equalsIgnoreCase(group->name(), *name))
                return call.fail(kErrDuplicateName, L"Duplicate group name: " + *name);
        }
        ComPtr<Group> group = win::makeComObject<Group>(owner_, *name);
        groups.push_back(group);
        return returnObject(call, group.Get());
    }
    case kGroupsCount: {
        long count = 0;
        for (const ComPtr<Group>& group : groups) count += group->erased() ? 0 : 1;
        return returnLong(call, count);
    }
    case kGroupsItem: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        std::vector<Group*> live;
        for (const ComPtr<Group>& group : groups) {
            if (!group->erased()) live.push_back(group.Get());
        }
        if (const auto name = readText(call.arg(0))) {
            for (Group* group : live) {
                if (equalsIgnoreCase(group->name(), *name)) return returnObject(call, group);
            }
            return call.fail(kErrKeyNotFound, L"Key not found: no group named " + *name);
        }
        const auto index = readInteger(call.arg(0));
        if (!index) return call.fail(kErrInvalidArgument, L"Invalid argument: group name or index");
        if (*index < 0 || *index >= static_cast<long>(live.size()))
            return call.fail(kErrKeyNotFound, L"Key not found: no group at that index");
        return returnObject(call, live[static_cast<size_t>(*index)]);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

// ---- Document ----

namespace {
enum DocumentMember : DISPID {
    kDocUtility = 1, kDocModelSpace, kDocGroups, kDocSetVariable, kDocGetVariable, kDocName,
    kDocFullName, kDocApplication
};
constexpr std::array kDocumentMembers = {
    MemberName{L"Utility", kDocUtility}, MemberName{L"ModelSpace", kDocModelSpace},
    MemberName{L"Groups", kDocGroups}, MemberName{L"SetVariable", kDocSetVariable},
    MemberName{L"GetVariable", kDocGetVariable}, MemberName{L"Name", kDocName},
    MemberName{L"FullName", kDocFullName}, MemberName{L"Application", kDocApplication}};
}  // namespace

Document::Document(std::wstring name, std::wstring fullName, std::vector<Entity> entities)
    : DispatchObject(L"Document", kDocumentMembers), name_(std::move(name)), fullName_(std::move(fullName)),
      entities_(std::move(entities)), geometry_(drawingOf(entities_)) {
    for (const Entity& e : entities_) nextHandle_ = std::max(nextHandle_, e.handle + 1);
    utility_ = win::makeComObject<Utility>(this);
    modelSpace_ = win::makeComObject<ModelSpace>(this);
    groupsObject_ = win::makeComObject<Groups>(this);
}

Document::~Document() = default;

DrawingEntity* Document::entityObject(size_t index) {
    if (index >= entities_.size()) return nullptr;
    if (entityObjects_.size() < entities_.size()) entityObjects_.resize(entities_.size());
    if (!entityObjects_[index]) entityObjects_[index] = makeEntityObject(this, index);
    return entityObjects_[index].Get();
}

std::string Document::describe() const {
    return "{\"object\":\"Document\",\"name\":" + jsonString(toUtf8(name_)) + "}";
}

ComPtr<PointEntity> Document::addPoint(double x, double y, double z) {
    ComPtr<PointEntity> entity = win::makeComObject<PointEntity>(this, nextHandle_++, x, y, z);
    points_.push_back(entity);
    return entity;
}

void Document::eraseNewestGroup() {
    for (auto it = groups_.rbegin(); it != groups_.rend(); ++it) {
        if (!(*it)->erased()) {
            (*it)->erase();
            session().event("fault", "\"fault\":\"erase_group\",\"name\":" + jsonString(toUtf8((*it)->name())));
            return;
        }
    }
}

HRESULT Document::invokeMember(DISPID id, Call& call) {
    switch (id) {
    case kDocUtility:
        return returnObject(call, utility_.Get());
    case kDocModelSpace:
        return returnObject(call, modelSpace_.Get());
    case kDocGroups:
        return returnObject(call, groupsObject_.Get());
    case kDocApplication:
        return returnObject(call, session().application());
    case kDocName:
        return returnText(call, name_);
    case kDocFullName:
        return returnText(call, fullName_);
    case kDocSetVariable: {
        if (call.count() != 2) return DISP_E_BADPARAMCOUNT;
        const auto name = readText(call.arg(0));
        if (!name) return call.fail(kErrInvalidArgument, L"Invalid argument: variable name");
        if (equalsIgnoreCase(*name, L"pdmode")) {
            const auto value = readInteger(call.arg(1));
            if (!value || !pointStyle(static_cast<int>(*value)))
                return call.fail(kErrInvalidValue, L"Invalid value for PDMODE");
            pdmode_ = static_cast<int>(*value);
            redraw();
            return S_OK;
        }
        return call.fail(kErrUnknownVariable, L"Unknown system variable: " + *name);
    }
    case kDocGetVariable: {
        if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
        const auto name = readText(call.arg(0));
        if (!name || !equalsIgnoreCase(*name, L"pdmode"))
            return call.fail(kErrUnknownVariable, L"Unknown system variable");
        if (VARIANT* result = call.result()) {
            V_VT(result) = VT_I2;
            V_I2(result) = static_cast<SHORT>(pdmode_);
        }
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

}  // namespace standin
