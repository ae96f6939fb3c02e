// Every message box and every modal dialog of the viewer goes through the two functions here, so
// that tests can answer them: a replaceable answerer for message boxes and a script that runs
// inside a modal dialog once it is shown.
#pragma once

#include <windows.h>

#include <string>

namespace kv {

struct Prompt {
    HWND owner;
    int stringId;            // the string number of the text, -1 for a text made otherwise
    std::wstring text;
    std::wstring caption;
    UINT type;
};

using PromptAnswerer = int (*)(const Prompt& prompt);
// Installs an answerer (null: the real MessageBoxW); returns the previous one.
PromptAnswerer setPromptAnswerer(PromptAnswerer answerer);

// Caption kinds used by the viewer's boxes.
enum class Caption { Program, Error, Information };

// Shows string `stringId` (or `text` when given) and returns the button pressed.
int ask(HWND owner, int stringId, UINT type, Caption caption = Caption::Program);
int askText(HWND owner, int stringId, const std::wstring& text, UINT type, Caption caption = Caption::Program);
// The same with a caption of its own (the file writer's "Tmp").
int askWithCaption(HWND owner, int stringId, const std::wstring& caption, UINT type);

// A script that runs inside a modal dialog right after it is shown (after WM_INITDIALOG).
using DialogScript = void (*)(HWND dialog, int templateId);
DialogScript setDialogScript(DialogScript script);

// Runs the modal dialog `templateId` in the chosen language.
INT_PTR runModal(int templateId, HWND parent, DLGPROC proc, LPARAM param);

}  // namespace kv
