#include "platform/registry_win.h"

#include <windows.h>

namespace kv {
namespace {

HKEY rootKey(RegRoot root) {
    switch (root) {
        case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    }
    return HKEY_LOCAL_MACHINE;
}

struct KeyHandle {
    HKEY h = nullptr;
    ~KeyHandle() {
        if (h) RegCloseKey(h);
    }
};

bool openKey(RegRoot root, const std::string& path, REGSAM access, KeyHandle& k) {
    return RegOpenKeyExA(rootKey(root), path.c_str(), 0, access, &k.h) == ERROR_SUCCESS;
}

LONG deleteTreeRec(HKEY parent, const char* name) {
    HKEY h;
    LONG rc = RegOpenKeyExA(parent, name, 0, KEY_READ | KEY_WRITE, &h);
    if (rc != ERROR_SUCCESS) return rc;
    char child[256];
    for (;;) {
        DWORD len = sizeof child;
        if (RegEnumKeyExA(h, 0, child, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (deleteTreeRec(h, child) != ERROR_SUCCESS) break;
    }
    RegCloseKey(h);
    return RegDeleteKeyA(parent, name);
}

}  // namespace

bool WinRegistry::keyExists(RegRoot root, const std::string& path) {
    KeyHandle k;
    return openKey(root, path, KEY_READ, k);
}

bool WinRegistry::createKey(RegRoot root, const std::string& path, const std::string& className) {
    KeyHandle k;
    DWORD disposition = 0;
    return RegCreateKeyExA(rootKey(root), path.c_str(), 0, const_cast<char*>(className.c_str()),
                           REG_OPTION_NON_VOLATILE, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &k.h,
                           &disposition) == ERROR_SUCCESS;
}

bool WinRegistry::readValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) {
    KeyHandle k;
    if (!openKey(root, path, KEY_READ, k)) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k.h, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    out.type = type;
    out.data.assign(size, 0);
    if (size && RegQueryValueExA(k.h, name.c_str(), nullptr, &type, out.data.data(), &size) != ERROR_SUCCESS)
        return false;
    out.data.resize(size);
    return true;
}

bool WinRegistry::writeValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                             const void* data, size_t size) {
    KeyHandle k;
    if (!openKey(root, path, KEY_SET_VALUE, k)) return false;
    return RegSetValueExA(k.h, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

bool WinRegistry::deleteValue(RegRoot root, const std::string& path, const std::string& name) {
    KeyHandle k;
    if (!openKey(root, path, KEY_SET_VALUE, k)) return false;
    return RegDeleteValueA(k.h, name.c_str()) == ERROR_SUCCESS;
}

bool WinRegistry::deleteTree(RegRoot root, const std::string& path) {
    LONG rc = deleteTreeRec(rootKey(root), path.c_str());
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
}

std::vector<std::string> WinRegistry::subkeys(RegRoot root, const std::string& path) {
    std::vector<std::string> names;
    KeyHandle k;
    if (!openKey(root, path, KEY_READ, k)) return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumKeyExA(k.h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    return names;
}

std::vector<std::string> WinRegistry::valueNames(RegRoot root, const std::string& path) {
    std::vector<std::string> names;
    KeyHandle k;
    if (!openKey(root, path, KEY_READ, k)) return names;
    char name[16384];
    for (DWORD i = 0;; ++i) {
        DWORD len = sizeof name;
        if (RegEnumValueA(k.h, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, len);
    }
    return names;
}

WinRegistry& winRegistry() {
    static WinRegistry reg;
    return reg;
}

}  // namespace kv
