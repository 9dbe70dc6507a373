// The stand-in CAD: an out-of-process automation server that answers to the ProgID
// "AutoCAD.Application" inside the project's Wine prefix, for the tool's end-to-end tests
// and its demo. See standin/README.md.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "win/cad_window.h"
#include "win/com_object.h"
#include "win/registration.h"
#include "win/session.h"

namespace standin {
namespace {

// Hands out the application object. Registered for one use: every client that creates the
// class gets a CAD process of its own, as with the real CAD, and only attaching reaches a
// running one.
class ClassFactory final : public win::ComObject<IClassFactory> {
public:
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Application* application = session().application();
        if (!application) return E_UNEXPECTED;
        return application->QueryInterface(riid, out);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    ~ClassFactory() override = default;
};

int run(HINSTANCE instance) {
    const Options options = parseCommandLine(GetCommandLineW());
    if (options.doRegister) return registerServer(options.progId);
    if (options.doUnregister) return unregisterServer(options.progId);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
    Session& s = session();
    if (!s.start(options)) {
        s.stop();
        CoUninitialize();
        return 4;
    }
    CadWindow window;
    s.setWindow(&window);
    // Started by COM, the CAD stays hidden until a client sets Visible; started by a
    // person it shows at once.
    const bool show = s.config().visible == 1 || (s.config().visible == -1 && !options.embedding);
    if (!window.create(instance, show)) {
        s.event("error", "\"what\":\"window\"");
        s.setWindow(nullptr);
        CoUninitialize();
        return 1;
    }

    s.runScriptSwitches();  // a script that starts in another drawing

    // Started by a person, the CAD serves no creation: a client that creates the class gets
    // a new CAD, never this one.
    ComPtr<ClassFactory> factory = win::makeComObject<ClassFactory>();
    DWORD classCookie = 0;
    const HRESULT classHr =
        options.embedding ? CoRegisterClassObject(kStandinClsid, factory.Get(), CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                                  &classCookie)
                          : S_FALSE;
    DWORD activeCookie = 0;
    const HRESULT activeHr =
        RegisterActiveObject(s.application(), kStandinClsid, ACTIVEOBJECT_STRONG, &activeCookie);
    char fields[96];
    wsprintfA(fields, "\"class_object\":\"0x%08lx\",\"active_object\":\"0x%08lx\"", classHr, activeHr);
    s.event("ready", fields);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }

    if (SUCCEEDED(activeHr)) (void)RevokeActiveObject(activeCookie, nullptr);
    if (classHr == S_OK) (void)CoRevokeClassObject(classCookie);
    s.stop();
    s.setWindow(nullptr);
    CoUninitialize();
    return 0;
}

}  // namespace
}  // namespace standin

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Physical pixels everywhere, so tests can click drawing vertices exactly.
    SetProcessDPIAware();
    return standin::run(instance);
}
