// The hand-written IDispatch shared by every automation object of the stand-in: names map
// to DISPIDs case-insensitively, Invoke counts and journals the call, applies the faults
// asked for, and turns a member's failure into DISP_E_EXCEPTION with EXCEPINFO.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "win/com_object.h"

namespace standin {

struct MemberName {
    const wchar_t* name;
    DISPID id;
};

// One Invoke as a member sees it.
class Call {
public:
    Call(WORD flags, DISPPARAMS* params, VARIANT* result) : flags_(flags), params_(params), result_(result) {}

    bool isGet() const { return (flags_ & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0; }
    bool isPut() const { return (flags_ & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
    // Positional arguments in the order the caller wrote them; a VT_BYREF|VT_VARIANT
    // (how script languages pass variables) is followed to the VARIANT it points at.
    UINT count() const;
    const VARIANT& arg(UINT i) const;
    // The argument as passed, by-reference wrapper included: where out-arguments are written.
    VARIANT& rawArg(UINT i) const { return params_->rgvarg[params_->cArgs - 1 - i]; }
    bool omitted(UINT i) const;  // left out: absent, or VT_ERROR DISP_E_PARAMNOTFOUND
    // The value of a property put.
    const VARIANT* putValue() const;
    VARIANT* result() const { return result_; }

    // Ends the member with an error the client reads from EXCEPINFO.
    [[nodiscard]] HRESULT fail(HRESULT scode, const std::wstring& description);
    // Argument i has a shape the member cannot take: DISP_E_TYPEMISMATCH, and the client's
    // puArgErr names it, as a server with a type library answers.
    [[nodiscard]] HRESULT badArgument(UINT i) {
        badArgument_ = i;
        return DISP_E_TYPEMISMATCH;
    }
    std::optional<UINT> badArgumentIndex() const { return badArgument_; }
    // The member wrote into by-reference arguments: the journal shows them after the call.
    void wroteArguments() { wroteArguments_ = true; }
    bool argumentsWritten() const { return wroteArguments_; }
    HRESULT scode() const { return scode_; }
    const std::wstring& description() const { return description_; }

private:
    WORD flags_;
    DISPPARAMS* params_;
    VARIANT* result_;
    HRESULT scode_ = S_OK;
    std::wstring description_;
    std::optional<UINT> badArgument_;
    bool wroteArguments_ = false;
};

// Private interface id: an object passed back to the stand-in answers it only when it is
// one of its own (a proxy to someone else's object does not).
extern const IID IID_StandinObject;

class DispatchObject : public win::ComObject<IDispatch> {
public:
    // IDispatch (no type information: clients bind late by name)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

    const wchar_t* typeName() const { return typeName_; }
    // For the journal: {"object":"Group","name":...} and the like.
    virtual std::string describe() const;

protected:
    DispatchObject(const wchar_t* typeName, std::span<const MemberName> members)
        : typeName_(typeName), members_(members) {}
    ~DispatchObject() override = default;
    // Objects of a drawing that was closed answer every call with an error.
    virtual bool inClosedDrawing() const { return false; }
    // Runs member `id`: S_OK with the result stored, DISP_E_EXCEPTION through call.fail(),
    // or another HRESULT returned to the client as it is.
    [[nodiscard]] virtual HRESULT invokeMember(DISPID id, Call& call) = 0;

private:
    void* otherInterface(REFIID riid) noexcept override;
    const wchar_t* memberName(DISPID id) const;

    const wchar_t* typeName_;
    std::span<const MemberName> members_;
};

// The object behind an IDispatch when it is one of the stand-in's own, else nullptr.
DispatchObject* ownObject(IDispatch* dispatch);
std::string describeObject(IDispatch* dispatch);

// Reads a 3-element point: VT_ARRAY of R8 (or of VARIANTs holding numbers), by value or by
// reference. Empty for any other shape.
std::optional<std::vector<double>> readPoint(const VARIANT& v);
// A new VT_ARRAY|VT_R8 of the values.
[[nodiscard]] HRESULT makeDoubleArray(const std::vector<double>& values, VARIANT* out);
// An entity handle as the CAD writes it: hexadecimal, capitals, no leading zeros.
std::wstring hexHandle(std::uint64_t handle);
// Text from VT_BSTR or VT_BSTR|VT_BYREF.
std::optional<std::wstring> readText(const VARIANT& v);
// A whole number from an integer VARIANT (a script's literal arrives as VT_I2 or VT_I4).
std::optional<long> readInteger(const VARIANT& v);

// A member's result, when the caller asked for one.
HRESULT returnObject(Call& call, IDispatch* object);  // AddRefs
HRESULT returnText(Call& call, const std::wstring& text);
HRESULT returnLong(Call& call, long value);
HRESULT returnDouble(Call& call, double value);
HRESULT returnBool(Call& call, bool value);
HRESULT returnDoubles(Call& call, const std::vector<double>& values);  // VT_ARRAY|VT_R8

}  // namespace standin
