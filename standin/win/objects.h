// The automation objects of the stand-in CAD, one small class each: application, document,
// utility, model space, point entity, groups and group. They live on the heap, counted by
// their references: a client in another process may hold any of them.
#pragma once

#include <wrl/client.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rules/entities.h"
#include "win/dispatch.h"

namespace standin {

using Microsoft::WRL::ComPtr;

// Error numbers of the stand-in's own failures (all reach the client through EXCEPINFO).
// The end-of-input numbers of GetPoint are the CAD's own; Esc's is configurable (Config).
constexpr HRESULT kErrUserInput = static_cast<HRESULT>(0x80210020);  // Enter, right-click, a keyword
constexpr HRESULT kErrWindowClosed = E_FAIL;                          // the prompt's window went
constexpr HRESULT kErrNoDocument = static_cast<HRESULT>(0x80210101);
constexpr HRESULT kErrDuplicateName = static_cast<HRESULT>(0x80210102);
constexpr HRESULT kErrInvalidName = static_cast<HRESULT>(0x80210103);
constexpr HRESULT kErrErased = static_cast<HRESULT>(0x80210104);
constexpr HRESULT kErrOtherDrawing = static_cast<HRESULT>(0x80210105);
constexpr HRESULT kErrUnknownVariable = static_cast<HRESULT>(0x80210106);
constexpr HRESULT kErrInvalidValue = static_cast<HRESULT>(0x80210107);
constexpr HRESULT kErrDrawingClosed = static_cast<HRESULT>(0x80210108);
constexpr HRESULT kErrKeyNotFound = static_cast<HRESULT>(0x80210109);  // Groups.Item: no such group
constexpr HRESULT kErrInvalidArgument = E_INVALIDARG;

class Document;
struct PromptOutcome;
class DrawingEntity;

class Application final : public DispatchObject {
public:
    Application();

protected:
    HRESULT invokeMember(DISPID id, Call& call) override;
};

class PointEntity final : public DispatchObject {
public:
    PointEntity(Document* owner, std::uint64_t handle, double x, double y, double z);
    std::string describe() const override;

    Document* owner() const { return owner_; }
    std::uint64_t handle() const { return handle_; }
    Vec2 position() const { return {x_, y_}; }
    int color() const { return color_; }
    bool erased() const { return erased_; }

protected:
    bool inClosedDrawing() const override;
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    Document* owner_;
    std::uint64_t handle_;
    double x_, y_, z_;
    int color_ = 256;  // ByLayer, drawn white
    bool erased_ = false;
};

class Group final : public DispatchObject {
public:
    Group(Document* owner, std::wstring name);
    std::string describe() const override;

    const std::wstring& name() const { return name_; }
    bool erased() const { return erased_; }
    void erase() { erased_ = true; }
    const std::vector<ComPtr<PointEntity>>& items() const { return items_; }

protected:
    bool inClosedDrawing() const override;
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    Document* owner_;
    std::wstring name_;
    bool erased_ = false;
    std::vector<ComPtr<PointEntity>> items_;
};

class Utility final : public DispatchObject {
public:
    explicit Utility(Document* owner);

protected:
    bool inClosedDrawing() const override;
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    HRESULT getPoint(Call& call);
    HRESULT getEntity(Call& call);
    // Optional text argument i: "" when left out, nothing when it is no text.
    static std::optional<std::wstring> promptText(const Call& call, UINT i);
    // A prompt that ended without its answer: Enter or a keyword, Esc, the window gone.
    HRESULT endedWithoutAnswer(Call& call, const PromptOutcome& outcome);

    Document* owner_;
    std::vector<std::wstring> keywords_;  // InitializeUserInput's, for the next prompt only
    std::wstring lastInput_;              // GetInput: the keyword (or "") that ended a prompt
};

class ModelSpace final : public DispatchObject {
public:
    explicit ModelSpace(Document* owner);

protected:
    bool inClosedDrawing() const override;
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    Document* owner_;
};

class Groups final : public DispatchObject {
public:
    explicit Groups(Document* owner);

protected:
    bool inClosedDrawing() const override;
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    Document* owner_;
};

// A drawing: its entities and what they draw, its point marks, its groups and its point display
// mode.
// Documents stay alive until the process ends (the session holds them), so the objects
// reached through one may keep a plain pointer back to it.
class Document final : public DispatchObject {
public:
    Document(std::wstring name, std::wstring fullName, std::vector<Entity> entities);
    ~Document() override;
    std::string describe() const override;

    const std::wstring& name() const { return name_; }
    const std::wstring& fullName() const { return fullName_; }
    const std::vector<Entity>& entities() const { return entities_; }
    const Geometry& geometry() const { return geometry_; }
    // The automation object of entity `index`: the same one every time it is asked for.
    DrawingEntity* entityObject(size_t index);
    int pdmode() const { return pdmode_; }
    const std::vector<ComPtr<PointEntity>>& points() const { return points_; }
    std::vector<ComPtr<Group>>& groups() { return groups_; }

    ComPtr<PointEntity> addPoint(double x, double y, double z);
    // Erases the newest group still in the drawing (a fault tests ask for).
    void eraseNewestGroup();
    // Closed by a fault: the drawing and everything in it stop answering.
    void close() { closed_ = true; }
    bool closed() const { return closed_; }

protected:
    bool inClosedDrawing() const override { return closed_; }
    HRESULT invokeMember(DISPID id, Call& call) override;

private:
    bool closed_ = false;
    std::wstring name_;
    std::wstring fullName_;
    std::vector<Entity> entities_;
    Geometry geometry_;  // drawn from entities_
    std::vector<ComPtr<DrawingEntity>> entityObjects_;  // made when first selected
    int pdmode_ = 0;
    std::uint64_t nextHandle_ = 0x200;  // after the drawing's own entities'
    std::vector<ComPtr<PointEntity>> points_;
    std::vector<ComPtr<Group>> groups_;
    ComPtr<Utility> utility_;
    ComPtr<ModelSpace> modelSpace_;
    ComPtr<Groups> groupsObject_;
};

}  // namespace standin
