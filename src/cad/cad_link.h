// The CAD calls the two picking commands need, named after the automation members they
// stand for. Plain code: the COM side implements it with late-bound calls; tests fake it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace cad {

// A failed call as a VB-style client sees it: the HRESULT as a signed 32-bit number.
struct CadError {
    std::int32_t number = 0;
    std::wstring description;
};

// The numbers GetPoint fails with when the user ends a prompt without picking: Esc, and
// Enter, right-click or a keyword (GetInput then says which). Some CADs answer Esc with the
// generic failure.
inline constexpr std::int32_t kEndOfInputFail = -2147467259;     // 0x80004005
inline constexpr std::int32_t kEndOfInputCancel = -2145320928;   // 0x80210020
inline constexpr std::int32_t kEndOfInputEscape = -2147352567;   // 0x80020009

// A CAD busy with something else: "call rejected" (RPC_E_CALL_REJECTED) or "retry later"
// (RPC_E_SERVERCALL_RETRYLATER). The dispatch layer retries these for a while.
inline constexpr bool cadBusy(std::int32_t number) {
    return number == -2147418111 || number == -2147417846;  // 0x80010001, 0x8001010A
}

// Either a value or the failure of the call that should have produced it. T may be
// move-only (a COM value).
template <class T>
class CadResult {
public:
    CadResult(T value) : v_(std::move(value)) {}          // NOLINT: implicit on purpose
    CadResult(CadError error) : v_(std::move(error)) {}   // NOLINT: implicit on purpose

    [[nodiscard]] bool ok() const { return v_.index() == 0; }
    // value() only when ok(), error() only when not.
    [[nodiscard]] const T& value() const { return std::get<0>(v_); }
    [[nodiscard]] T& value() { return std::get<0>(v_); }
    [[nodiscard]] const CadError& error() const { return std::get<1>(v_); }

private:
    std::variant<T, CadError> v_;
};

// Result of a call that gives nothing back beyond success.
using CadStatus = CadResult<std::monostate>;
inline CadStatus cadOk() { return CadStatus(std::monostate{}); }

using Point3 = std::array<double, 3>;

struct Point2 {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point2&, const Point2&) = default;
};

// Opaque references to drawing objects; the implementation decides what they hold
// (the COM side an owning wrapper of the entity's or group's IDispatch).
struct EntityRef {
    std::shared_ptr<void> object;
};
struct GroupRef {
    std::shared_ptr<void> object;
};

class CadLink {
public:
    virtual ~CadLink() = default;

    // ConnectCad: attach to or start the CAD, make it visible, take its active drawing
    // and bring it to the front. Never fails to its caller; a failure to start the CAD
    // is shown by the implementation itself, and the next drawing call then fails.
    virtual void connect() = 0;

    // Utility.GetPoint with no base point; X, Y, Z of the pick.
    virtual CadResult<Point3> getPoint(std::wstring_view prompt) = 0;

    // Utility.InitializeUserInput bits, keywords: the keywords the next prompt accepts.
    virtual CadStatus initializeUserInput(std::int16_t bits, std::wstring_view keywords) = 0;

    // Utility.GetInput: the keyword typed at the last prompt, "" after a plain Enter.
    virtual CadResult<std::wstring> getInput() = 0;

    // Utility.GetEntity: the entity the user selected and the point clicked to select it.
    struct Selection {
        EntityRef entity;
        Point3 at{};
    };
    virtual CadResult<Selection> getEntity(std::wstring_view prompt) = 0;

    // Utility.Prompt: a line on the CAD's command line.
    virtual CadStatus prompt(std::wstring_view text) = 0;

    // For each point in turn ModelSpace.AddPoint at (x, y, 0), then the new point's
    // Color = colourIndex (1 red, 3 green). Stops at the first failure: `made` holds the
    // points added and coloured before it.
    struct Marks {
        std::vector<EntityRef> made;
        std::optional<CadError> failure;
    };
    virtual Marks addPoints(std::span<const Point2> points, std::int16_t colourIndex) = 0;

    // What a selected entity tells of itself, each a property or method of that name:
    // ObjectName, Coordinates (the flat list of numbers), Closed, GetBulge(index), Normal,
    // Center, Radius.
    virtual CadResult<std::wstring> objectName(const EntityRef& entity) = 0;
    virtual CadResult<std::vector<double>> coordinates(const EntityRef& entity) = 0;
    virtual CadResult<bool> closed(const EntityRef& entity) = 0;
    virtual CadResult<double> bulge(const EntityRef& entity, int index) = 0;
    virtual CadResult<Point3> normal(const EntityRef& entity) = 0;
    virtual CadResult<Point3> center(const EntityRef& entity) = 0;
    virtual CadResult<double> radius(const EntityRef& entity) = 0;

    // entity.Delete: the entity leaves the drawing.
    virtual CadStatus deleteEntity(const EntityRef& entity) = 0;

    // Document.SetVariable name, value.
    virtual CadStatus setVariable(std::wstring_view name, std::int16_t value) = 0;

    // Groups.Add name; the new group.
    virtual CadResult<GroupRef> addGroup(std::wstring_view name) = 0;

    // Groups.Item name: the active drawing's group of that name, or none when the drawing
    // has none; a failure only when the drawing's groups could not be asked.
    virtual CadResult<std::optional<GroupRef>> findGroup(std::wstring_view name) = 0;

    // group.AppendItems with all the entities in one array.
    virtual CadStatus appendItems(const GroupRef& group, std::span<const EntityRef> entities) = 0;

protected:
    CadLink() = default;
    CadLink(const CadLink&) = default;
    CadLink& operator=(const CadLink&) = default;
};

}  // namespace cad
