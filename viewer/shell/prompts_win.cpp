#include "viewer/shell/prompts_win.h"

#include "viewer/res/resource.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

PromptAnswerer g_answerer = nullptr;
DialogScript g_script = nullptr;

const UINT WM_KV_RUN_SCRIPT = WM_APP + 0x3F0;

struct ScriptedDialog {
    DLGPROC proc;
    LPARAM param;
    int templateId;
};

const char kScriptProp[] = "KvScriptedDialog";

// Stands in front of a dialog's own procedure while a test script is installed.
INT_PTR CALLBACK scriptedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* d = reinterpret_cast<ScriptedDialog*>(lParam);
        SetPropA(dialog, kScriptProp, d);
        const INT_PTR r = d->proc(dialog, message, wParam, d->param);
        if (IsWindow(dialog)) PostMessageA(dialog, WM_KV_RUN_SCRIPT, 0, 0);
        return r;
    }
    auto* d = static_cast<ScriptedDialog*>(GetPropA(dialog, kScriptProp));
    if (!d) return FALSE;
    if (message == WM_KV_RUN_SCRIPT) {
        if (g_script) g_script(dialog, d->templateId);
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        const INT_PTR r = d->proc(dialog, message, wParam, lParam);
        RemovePropA(dialog, kScriptProp);
        return r;
    }
    return d->proc(dialog, message, wParam, lParam);
}

}  // namespace

PromptAnswerer setPromptAnswerer(PromptAnswerer answerer) {
    PromptAnswerer old = g_answerer;
    g_answerer = answerer;
    return old;
}

int askText(HWND owner, int stringId, const std::wstring& text, UINT type, Caption caption) {
    Prompt p;
    p.owner = owner;
    p.stringId = stringId;
    p.text = text;
    p.caption = loadString(caption == Caption::Error         ? IDS_ERROR
                           : caption == Caption::Information ? IDS_INFORMATION
                                                             : IDS_CAPTION);
    p.type = type;
    if (g_answerer) return g_answerer(p);
    return MessageBoxW(owner, p.text.c_str(), p.caption.c_str(), type);
}

int askWithCaption(HWND owner, int stringId, const std::wstring& caption, UINT type) {
    Prompt p{owner, stringId, loadString(stringId), caption, type};
    if (g_answerer) return g_answerer(p);
    return MessageBoxW(owner, p.text.c_str(), p.caption.c_str(), type);
}

int ask(HWND owner, int stringId, UINT type, Caption caption) {
    return askText(owner, stringId, loadString(stringId), type, caption);
}

DialogScript setDialogScript(DialogScript script) {
    DialogScript old = g_script;
    g_script = script;
    return old;
}

INT_PTR runModal(int templateId, HWND parent, DLGPROC proc, LPARAM param) {
    const DLGTEMPLATE* tmpl = findDialogTemplate(templateId);
    if (!tmpl) return -1;
    HINSTANCE instance = resourceInstance();
    if (!g_script) return DialogBoxIndirectParamW(instance, tmpl, parent, proc, param);
    ScriptedDialog d{proc, param, templateId};
    return DialogBoxIndirectParamW(instance, tmpl, parent, scriptedProc, reinterpret_cast<LPARAM>(&d));
}

}  // namespace kv
