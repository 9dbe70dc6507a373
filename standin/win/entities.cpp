#include "win/entities.h"

#include <array>

#include "rules/text.h"
#include "win/com_util.h"
#include "win/objects.h"

namespace standin {
namespace {

// Member numbers: the common ones first, then each kind's own.
enum EntityMember : DISPID {
    kObjectName = 1, kHandle, kCoordinates, kClosed, kGetBulge, kNormal, kCenter, kRadius, kStartPoint, kEndPoint
};
constexpr MemberName kNameMember{L"ObjectName", kObjectName}, kHandleMember{L"Handle", kHandle};
constexpr std::array kPolylineMembers = {kNameMember, kHandleMember, MemberName{L"Coordinates", kCoordinates},
                                         MemberName{L"Closed", kClosed}, MemberName{L"GetBulge", kGetBulge},
                                         MemberName{L"Normal", kNormal}};
constexpr std::array kPolyline3dMembers = {kNameMember, kHandleMember, MemberName{L"Coordinates", kCoordinates},
                                           MemberName{L"Closed", kClosed}};
constexpr std::array kCircleMembers = {kNameMember, kHandleMember, MemberName{L"Center", kCenter},
                                       MemberName{L"Radius", kRadius}, MemberName{L"Normal", kNormal}};
constexpr std::array kLineMembers = {kNameMember, kHandleMember, MemberName{L"StartPoint", kStartPoint},
                                     MemberName{L"EndPoint", kEndPoint}};

HRESULT returnPoint(Call& call, Vec3 p) { return returnDoubles(call, {p.x, p.y, p.z}); }

// Coordinates as the CAD gives them: x, y pairs for a lightweight polyline, triples otherwise.
HRESULT returnCoordinates(Call& call, const Polyline& p) {
    std::vector<double> values;
    for (const Vec3& v : p.vertices) {
        values.push_back(v.x);
        values.push_back(v.y);
        if (p.kind != PolylineKind::Lightweight) values.push_back(v.z);
    }
    return returnDoubles(call, values);
}

HRESULT getBulge(Call& call, const Polyline& p) {
    if (call.count() != 1) return DISP_E_BADPARAMCOUNT;
    const auto index = readInteger(call.arg(0));
    if (!index) return call.badArgument(0);
    // The CAD keeps no bulges a client could read for a fitted polyline.
    if (p.fitted) return call.fail(E_FAIL, L"GetBulge is not available for a curve-fit or spline-fit polyline");
    const long i = *index;
    if (i < 0 || i >= static_cast<long>(p.bulges.size()))
        return call.fail(E_INVALIDARG, L"Invalid argument: vertex index out of range");
    return returnDouble(call, p.bulges[static_cast<size_t>(i)]);
}

// What AcDbPolyline (a lightweight polyline) and AcDb2dPolyline share: the same members, the
// coordinates' shape and the fitting being the entity's.
class PlanarPolylineObject : public DrawingEntity {
protected:
    PlanarPolylineObject(const wchar_t* typeName, Document* owner, size_t index)
        : DrawingEntity(typeName, kPolylineMembers, owner, index) {}

protected:
    HRESULT invokeMember(DISPID id, Call& call) override {
        const Polyline& p = std::get<Polyline>(entity().shape);
        if (id != kGetBulge && call.isPut()) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kCoordinates: return returnCoordinates(call, p);
        case kClosed: return returnBool(call, p.closed);
        case kGetBulge: return getBulge(call, p);
        case kNormal: return returnPoint(call, p.normal);
        default: return invokeCommon(id, call);
        }
    }
};

class LightweightPolylineObject final : public PlanarPolylineObject {
public:
    LightweightPolylineObject(Document* owner, size_t index) : PlanarPolylineObject(L"Polyline", owner, index) {}
};

class Polyline2dObject final : public PlanarPolylineObject {
public:
    Polyline2dObject(Document* owner, size_t index) : PlanarPolylineObject(L"Polyline2d", owner, index) {}
};

class Polyline3dObject final : public DrawingEntity {
public:
    Polyline3dObject(Document* owner, size_t index) : DrawingEntity(L"Polyline3d", kPolyline3dMembers, owner, index) {}

protected:
    HRESULT invokeMember(DISPID id, Call& call) override {
        const Polyline& p = std::get<Polyline>(entity().shape);
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kCoordinates: return returnCoordinates(call, p);
        case kClosed: return returnBool(call, p.closed);
        default: return invokeCommon(id, call);
        }
    }
};

class CircleObject final : public DrawingEntity {
public:
    CircleObject(Document* owner, size_t index) : DrawingEntity(L"Circle", kCircleMembers, owner, index) {}

protected:
    HRESULT invokeMember(DISPID id, Call& call) override {
        const Circle& c = std::get<Circle>(entity().shape);
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kCenter: return returnPoint(call, ocsToWorld(c.centre, c.normal));  // the DXF's is in the OCS
        case kRadius: return returnDouble(call, c.radius);
        case kNormal: return returnPoint(call, c.normal);
        default: return invokeCommon(id, call);
        }
    }
};

class LineObject final : public DrawingEntity {
public:
    LineObject(Document* owner, size_t index) : DrawingEntity(L"Line", kLineMembers, owner, index) {}

protected:
    HRESULT invokeMember(DISPID id, Call& call) override {
        const Line& l = std::get<Line>(entity().shape);
        if (call.isPut()) return DISP_E_MEMBERNOTFOUND;
        switch (id) {
        case kStartPoint: return returnPoint(call, l.start);
        case kEndPoint: return returnPoint(call, l.end);
        default: return invokeCommon(id, call);
        }
    }
};

}  // namespace

const Entity& DrawingEntity::entity() const { return owner_->entities()[index_]; }

bool DrawingEntity::inClosedDrawing() const { return owner_->closed(); }

std::string DrawingEntity::describe() const {
    return "{\"object\":" + jsonString(toUtf8(typeName())) + ",\"handle\":" +
           jsonString(toUtf8(hexHandle(entity().handle))) + "}";
}

HRESULT DrawingEntity::invokeCommon(DISPID id, Call& call) {
    if (call.isPut() || (id != kObjectName && id != kHandle)) return DISP_E_MEMBERNOTFOUND;
    return returnText(call, id == kHandle ? hexHandle(entity().handle) : widen(objectNameOf(entity())));
}

ComPtr<DrawingEntity> makeEntityObject(Document* owner, size_t index) {
    const Entity& e = owner->entities()[index];
    if (const auto* p = std::get_if<Polyline>(&e.shape)) {
        if (p->kind == PolylineKind::Lightweight) return win::makeComObject<LightweightPolylineObject>(owner, index);
        if (p->kind == PolylineKind::TwoD) return win::makeComObject<Polyline2dObject>(owner, index);
        return win::makeComObject<Polyline3dObject>(owner, index);
    }
    if (std::holds_alternative<Circle>(e.shape)) return win::makeComObject<CircleObject>(owner, index);
    return win::makeComObject<LineObject>(owner, index);
}

}  // namespace standin
