// Resources in the chosen language. Windows since Vista loads resources by the user interface
// language and ignores the thread locale, so strings, dialogs and menus are found by explicit
// language here, falling back to English when a resource does not exist in the chosen one.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace kv {

void setResourceLanguage(HINSTANCE instance, WORD language);
WORD resourceLanguage();
HINSTANCE resourceInstance();

// The languages in which a dialog template exists.
std::vector<WORD> dialogLanguages(HINSTANCE instance, int dialogId);

// String `id` of the chosen language (empty when it does not exist).
std::wstring loadString(int id);
// The string formatted with one integer or one text argument (printf style).
std::wstring formatString(int id, int value);
std::wstring formatString(int id, const std::wstring& value);

// A UTF-8 text resource of the given type in the chosen language (empty when missing).
std::wstring loadTextResource(const char* type, int id);

// A dialog template of the chosen language, or null.
const DLGTEMPLATE* findDialogTemplate(int id);

HICON loadIconResource(int id, int size);

// Windows text as wide characters.
std::wstring windowText(HWND window);

std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& text);

// Combo boxes whose items carry a number: add an item, read the chosen item's number (the fallback
// when none is chosen), choose the item carrying a number (nothing chosen changes when none does).
void comboAdd(HWND combo, const std::wstring& text, LPARAM data);
LPARAM comboSelected(HWND dialog, int id, LPARAM fallback);
void comboSelect(HWND dialog, int id, LPARAM data);

}  // namespace kv
