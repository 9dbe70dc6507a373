// Registration of the stand-in as the local server of a ProgID ("AutoCAD.Application", or a
// compatible CAD's name given with --class). Only on request (--register / --unregister),
// and never over another program's registration of that ProgID.
#pragma once

#include <windows.h>

#include <string>

namespace standin {

// {EA3A9B79-3345-48A1-BB5F-1E2E7318898D}: the stand-in's own class id.
constexpr CLSID kStandinClsid = {0xea3a9b79, 0x3345, 0x48a1, {0xbb, 0x5f, 0x1e, 0x2e, 0x73, 0x18, 0x89, 0x8d}};

constexpr wchar_t kDefaultProgId[] = L"AutoCAD.Application";

// Exit codes: 0 done, 1 the registry could not be written, 2 refused (not a class name, or
// the name is taken by another class or another key).
int registerServer(const std::wstring& progId);
int unregisterServer(const std::wstring& progId);

}  // namespace standin
