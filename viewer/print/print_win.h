// Printing, bitmap and clipboard output of the waves, the Print and Clipboard Size dialogs, and the
// window capture as a bitmap file.
#pragma once

#include <windows.h>

#include <string>

#include "viewer/print/dib_file.h"
#include "viewer/print/page_render.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Command 1155: the Print dialog, then the output it chose.
int32_t printCommand(WinHandle window, uint32_t id, uint32_t code, MsgLParam lParam);

// What the output routine needs beyond the dialog's choice.
struct OutputRequest {
    PrintChoice choice;
    std::string fileName;        // file output: the chosen name (".BMP" pages: their prefix and folder)
    std::string documentFile;    // printer output: where the spooler writes the job (tests); empty: the port
    HDC printerDC = nullptr;     // printer output; null: the printer chosen with "Select" or the default one
};

// The output behind the Print dialog's OK: the clipboard, ".BMP" pages, a ".TXT"/".CSV" listing or
// the printer. Returns false after showing what went wrong.
bool PrintOrExport(HWND owner, const OutputRequest& request);

// Renders one page into a 24-bit bitmap of width x height pixels.
DibImage renderPageBitmap(const Page& page, int32_t width, int32_t height, bool color);

// The window's client area as a device-independent bitmap; on a palette display the system
// palette entries are copied into a logical palette first.
DibImage CaptureWindowBitmap(HWND window);

// The save dialog: "*.TXT" offers "Text Files", "*.BMP" "Bitmap Files", anything else "All Files".
// False when cancelled; `name` holds the initial and the chosen name.
bool AskSaveFileName(HWND owner, std::string& name, const std::string& pattern);

// Writes a file whole through a temporary file in the same folder, replaced at the end; false when
// any step fails (the target is then left as it was).
bool writeFileReplacing(const std::string& name, const std::vector<uint8_t>& bytes);

// The printer the Print dialog shows ("Select" changes it), and its device context.
std::string currentPrinterName();
HDC createPrinterDC();

}  // namespace kv
