// The program entry of KV.exe.
#include <windows.h>

#include "viewer/shell/app_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLineTail, int showCommand) {
    const kv::StartResult start = kv::startViewer(instance, commandLineTail, showCommand);
    if (!start.run) return start.exitCode;
    return kv::runMessageLoop();
}
