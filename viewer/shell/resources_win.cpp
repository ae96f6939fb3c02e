#include "viewer/shell/resources_win.h"

#include <cwchar>

namespace kv {
namespace {

HINSTANCE g_instance = nullptr;
WORD g_language = 1033;

HRSRC findByLanguage(LPCSTR type, LPCSTR name) {
    HRSRC r = FindResourceExA(g_instance, type, name, g_language);
    if (!r) r = FindResourceExA(g_instance, type, name, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!r) r = FindResourceExA(g_instance, type, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    return r;
}

BOOL CALLBACK collectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

}  // namespace

void setResourceLanguage(HINSTANCE instance, WORD language) {
    g_instance = instance;
    g_language = language;
}

WORD resourceLanguage() { return g_language; }

HINSTANCE resourceInstance() { return g_instance; }

std::vector<WORD> dialogLanguages(HINSTANCE instance, int dialogId) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(instance, RT_DIALOG, MAKEINTRESOURCEA(dialogId), collectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

std::wstring loadString(int id) {
    // A string table block holds 16 strings, each a length word followed by that many characters.
    HRSRC r = findByLanguage(RT_STRING, MAKEINTRESOURCEA(id / 16 + 1));
    if (!r) return {};
    HGLOBAL g = LoadResource(g_instance, r);
    const WCHAR* p = g ? static_cast<const WCHAR*>(LockResource(g)) : nullptr;
    if (!p) return {};
    const WCHAR* end = p + SizeofResource(g_instance, r) / sizeof(WCHAR);
    for (int i = 0; i < id % 16; ++i) {
        if (p >= end) return {};
        p += 1 + *p;
    }
    if (p >= end || p + 1 + *p > end) return {};
    return std::wstring(p + 1, *p);
}

std::wstring formatString(int id, int value) {
    wchar_t text[512];
    std::swprintf(text, 512, loadString(id).c_str(), value);
    return text;
}

std::wstring formatString(int id, const std::wstring& value) {
    // Substituted by hand: what "%s" means to the wide printf family differs between C runtimes.
    std::wstring text = loadString(id);
    const size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, value);
    return text;
}

std::wstring loadTextResource(const char* type, int id) {
    HRSRC r = findByLanguage(type, MAKEINTRESOURCEA(id));
    HGLOBAL g = r ? LoadResource(g_instance, r) : nullptr;
    const char* text = g ? static_cast<const char*>(LockResource(g)) : nullptr;
    if (!text) return {};
    const int size = static_cast<int>(SizeofResource(g_instance, r));
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, size, nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, size, &w[0], n);
    return w;
}

const DLGTEMPLATE* findDialogTemplate(int id) {
    HRSRC r = findByLanguage(RT_DIALOG, MAKEINTRESOURCEA(id));
    if (!r) return nullptr;
    HGLOBAL g = LoadResource(g_instance, r);
    return g ? static_cast<const DLGTEMPLATE*>(LockResource(g)) : nullptr;
}

HICON loadIconResource(int id, int size) {
    return static_cast<HICON>(LoadImageA(g_instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

std::wstring windowText(HWND window) {
    const int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetWindowTextW(window, &text[0], n + 1);
    text.resize(wcslen(text.c_str()));
    return text;
}

std::wstring widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &w[0], n);
    return w;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &s[0], n, nullptr, nullptr);
    return s;
}

void comboAdd(HWND combo, const std::wstring& text, LPARAM data) {
    const LRESULT i = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0) SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(i), data);
}

LPARAM comboSelected(HWND dialog, int id, LPARAM fallback) {
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return i < 0 ? fallback : SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0);
}

void comboSelect(HWND dialog, int id, LPARAM data) {
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i)
        if (SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == data) {
            SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
            return;
        }
}

}  // namespace kv
