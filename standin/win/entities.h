// The drawing's own entities as automation objects, one small class per kind: lightweight,
// 2D and 3D polylines, circles and lines. A client reaches them through Utility.GetEntity;
// each answers ObjectName and Handle, and what its kind holds, in the CAD's conventions.
#pragma once

#include <wrl/client.h>

#include <span>
#include <string>

#include "rules/entities.h"
#include "win/dispatch.h"

namespace standin {

class Document;

class DrawingEntity : public DispatchObject {
public:
    std::string describe() const override;  // {"object":"Polyline","handle":"2A"}
    const Entity& entity() const;

protected:
    DrawingEntity(const wchar_t* typeName, std::span<const MemberName> members, Document* owner, size_t index)
        : DispatchObject(typeName, members), owner_(owner), index_(index) {}
    bool inClosedDrawing() const override;
    // ObjectName and Handle; DISP_E_MEMBERNOTFOUND for the others.
    HRESULT invokeCommon(DISPID id, Call& call);

private:
    Document* owner_;
    size_t index_;  // in the drawing's entities, which never change
};

// The automation object of the drawing's entity `index`, of the class for its kind.
Microsoft::WRL::ComPtr<DrawingEntity> makeEntityObject(Document* owner, size_t index);

}  // namespace standin
