#include "viewer/trigger/serial_trigger_dialogs_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/trigger/serial_trigger.h"
#include "viewer/trigger/serial_trigger_resources.h"

namespace kv {
namespace {

const char* const kTriggerHelpTopic = "::/4-3.htm";
const char* const kBaudRates[] = {"110",   "300",   "600",    "1200",   "2400",   "4800",   "9600",   "19200",
                                  "38400", "57600", "115200", "128000", "230400", "256000", "460800", "921600"};

// The editor's state: the mode, the record it edits (a copy of the one in force) and the glitch
// width while the dialog is open.
struct SerialEditor {
    int mode;
    TriggerRecord record;
    int quarters = 2;
};

SerialEditor& editorOf(HWND dialog) { return *reinterpret_cast<SerialEditor*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextW(dialog, id, widen(text).c_str()); }
std::string textOf(HWND dialog, int id) { return narrow(windowText(GetDlgItem(dialog, id))); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
void check(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }
// A channel field's number; -1 when it holds anything but digits (refused like an out-of-range one).
int channelOf(HWND dialog, int id) {
    const std::string t = textOf(dialog, id);
    if (t.empty() || t.size() > 6 || t.find_first_not_of("0123456789") != std::string::npos) return -1;
    return std::atoi(t.c_str());
}
void refuse(HWND dialog, int stringId) { ask(dialog, stringId, MB_OK | MB_ICONHAND, Caption::Error); }

void fillList(HWND dialog, int id, std::initializer_list<const char*> items, int selected) {
    HWND list = GetDlgItem(dialog, id);
    for (const char* item : items) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(item).c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}
int selectionOf(HWND dialog, int id) {
    return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

// --- IF / THEN rows -------------------------------------------------------------------------------

void enableRows(HWND dialog) {
    for (int r = 0; r < 4; ++r) {
        const bool on = checked(dialog, IDC_SERIAL_IF + r);
        enable(dialog, IDC_SERIAL_IF_TEXT + r, on);
        enable(dialog, IDC_SERIAL_THEN + r, on);
        enable(dialog, IDC_SERIAL_THEN_TEXT + r, on && checked(dialog, IDC_SERIAL_THEN + r));
    }
}

void showRows(HWND dialog, const SerialRows& rows) {
    for (int r = 0; r < kSerialRows; ++r) {
        setText(dialog, r < 4 ? IDC_SERIAL_IF_TEXT + r : IDC_SERIAL_THEN_TEXT + r - 4, rows.text[r]);
        check(dialog, r < 4 ? IDC_SERIAL_IF + r : IDC_SERIAL_THEN + r - 4, rows.checked[r]);
    }
    enableRows(dialog);
}

SerialRows rowsOf(HWND dialog) {
    SerialRows rows;
    for (int r = 0; r < kSerialRows; ++r) {
        rows.text[r] = textOf(dialog, r < 4 ? IDC_SERIAL_IF_TEXT + r : IDC_SERIAL_THEN_TEXT + r - 4);
        rows.checked[r] = checked(dialog, r < 4 ? IDC_SERIAL_IF + r : IDC_SERIAL_THEN + r - 4);
    }
    return rows;
}

SerialProtocol protocolOf(int mode) {
    return mode == kModeI2c ? SerialProtocol::I2c : mode == kModeSpi ? SerialProtocol::Spi : SerialProtocol::Uart;
}

int wordBitsOf(HWND dialog, int mode) {
    return mode == kModeSpi && selectionOf(dialog, IDC_SERIAL_DATA_BITS) == 1 ? 16 : 8;
}

// "Check Trig.": the rows in canonical form, or 296.
bool checkRows(HWND dialog, int mode) {
    SerialRows rows = rowsOf(dialog);
    SerialRowValues values;
    const int refused = checkSerialRows(rows, protocolOf(mode), wordBitsOf(dialog, mode), values);
    for (int r = 0; r < kSerialRows; ++r)
        setText(dialog, r < 4 ? IDC_SERIAL_IF_TEXT + r : IDC_SERIAL_THEN_TEXT + r - 4, rows.text[r]);
    if (refused) refuse(dialog, refused);
    return refused == 0;
}

// The pins that follow the first one (SDA; chip select and data; WS and SDA).
void followPins(HWND dialog, int mode) {
    const int first = channelOf(dialog, IDC_SERIAL_FIRST_PIN);
    const std::string second = first >= 0 ? std::to_string(first + 1) : std::string();
    const std::string third = first >= 0 ? std::to_string(first + 2) : std::string();
    if (mode == kModeI2c) {
        setText(dialog, IDC_SERIAL_THIRD_PIN, second);
        return;
    }
    setText(dialog, IDC_SERIAL_SECOND_PIN, second);
    setText(dialog, IDC_SERIAL_THIRD_PIN, third);
}

// --- start ----------------------------------------------------------------------------------------

void startUart(HWND dialog, const TriggerRecord& r) {
    const UartSettings s = readUart(r);
    HWND channels = GetDlgItem(dialog, IDC_UART_CHANNEL);
    for (int c = 0; c < kNanlynChannels; ++c)
        SendMessageW(channels, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(c).c_str()));
    SendMessageW(channels, CB_SETCURSEL, s.channel < static_cast<uint32_t>(kNanlynChannels) ? s.channel : 0, 0);
    HWND baud = GetDlgItem(dialog, IDC_UART_BAUD);
    int listed = -1;
    for (int i = 0; i < static_cast<int>(std::size(kBaudRates)); ++i) {
        SendMessageW(baud, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(kBaudRates[i]).c_str()));
        if (std::to_string(s.baud) == kBaudRates[i]) listed = i;
    }
    if (listed >= 0) SendMessageW(baud, CB_SETCURSEL, static_cast<WPARAM>(listed), 0);
    else if (s.baud >= 1 && s.baud <= 20000000) setText(dialog, IDC_UART_BAUD, std::to_string(s.baud));
    else SendMessageW(baud, CB_SETCURSEL, 6, 0);  // "9600"
    fillList(dialog, IDC_SERIAL_DATA_BITS, {"5", "6", "7", "8"}, s.dataBits >= 5 && s.dataBits <= 8 ? s.dataBits - 5 : 3);
    fillList(dialog, IDC_UART_PARITY, {"NONE", "ODD", "EVEN"}, s.parity <= 2 ? static_cast<int>(s.parity) : 0);
    fillList(dialog, IDC_UART_STOP_BITS, {"1", "2"}, s.stopBits == 2 ? 1 : 0);
    CheckRadioButton(dialog, IDC_UART_IDLE_HIGH, IDC_UART_IDLE_LOW, (s.options & 1) ? IDC_UART_IDLE_LOW : IDC_UART_IDLE_HIGH);
    check(dialog, IDC_UART_AUTO_DETECT, s.options & 2);
}

void startPins(HWND dialog, int mode, uint32_t first) {
    setText(dialog, IDC_SERIAL_FIRST_PIN, std::to_string(first));
    followPins(dialog, mode);
}

void startDialog(HWND dialog, SerialEditor& e) {
    const TriggerRecord& r = e.record;
    check(dialog, IDC_SERIAL_PRE_TRIGGER, r.flags & kTriggerFlagPreTrigger);
    switch (e.mode) {
        case kModeSerial:
            startUart(dialog, r);
            showRows(dialog, storedSerialRows(r, SerialProtocol::Uart));
            break;
        case kModeI2c:
            startPins(dialog, e.mode, readI2c(r).sck);
            showRows(dialog, storedSerialRows(r, SerialProtocol::I2c));
            break;
        case kModeSpi: {
            const SpiSettings s = readSpi(r);
            startPins(dialog, e.mode, s.clock);
            fillList(dialog, IDC_SERIAL_DATA_BITS, {"8", "16"}, s.width == 16 ? 1 : 0);
            CheckRadioButton(dialog, IDC_SPI_CS_LOW, IDC_SPI_CS_HIGH, (s.options & 1) ? IDC_SPI_CS_HIGH : IDC_SPI_CS_LOW);
            CheckRadioButton(dialog, IDC_SPI_RISING, IDC_SPI_FALLING, (s.options & 2) ? IDC_SPI_FALLING : IDC_SPI_RISING);
            CheckRadioButton(dialog, IDC_SPI_MSB, IDC_SPI_LSB, (s.options & 4) ? IDC_SPI_LSB : IDC_SPI_MSB);
            showRows(dialog, storedSerialRows(r, SerialProtocol::Spi));
            break;
        }
        case kModeI2s: {
            const I2sSettings s = readI2s(r);
            startPins(dialog, e.mode, s.sck);
            HWND bits = GetDlgItem(dialog, IDC_SERIAL_DATA_BITS);
            for (int b = 1; b <= 24; ++b)
                SendMessageW(bits, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(b).c_str()));
            SendMessageW(bits, CB_SETCURSEL, s.bits - 1, 0);
            setText(dialog, IDC_I2S_PARAMETER, s.text);
            break;
        }
        case kModeGlitch:
            e.quarters = glitchQuarters(r);
            setText(dialog, IDC_GLITCH_WIDTH, glitchWidthText(e.quarters));
            break;
    }
}

// --- OK -------------------------------------------------------------------------------------------

// Reads the controls into the editor's record; 0 when accepted, else the refusal already shown.
bool acceptDialog(HWND dialog, SerialEditor& e) {
    int refused = 0;
    const bool pre = checked(dialog, IDC_SERIAL_PRE_TRIGGER);
    switch (e.mode) {
        case kModeSerial: {
            UartEdit u;
            u.channel = std::max(0, selectionOf(dialog, IDC_UART_CHANNEL));
            u.baud = textOf(dialog, IDC_UART_BAUD);
            u.dataBits = 5 + std::max(0, selectionOf(dialog, IDC_SERIAL_DATA_BITS));
            u.parity = std::max(0, selectionOf(dialog, IDC_UART_PARITY));
            u.twoStopBits = selectionOf(dialog, IDC_UART_STOP_BITS) == 1;
            u.invertedIdle = checked(dialog, IDC_UART_IDLE_LOW);
            u.autoDetect = checked(dialog, IDC_UART_AUTO_DETECT);
            u.preTrigger = pre;
            u.rows = rowsOf(dialog);
            refused = applyUartEdit(u, e.record);
            showRows(dialog, u.rows);
            break;
        }
        case kModeI2c: {
            I2cEdit c;
            c.sck = channelOf(dialog, IDC_SERIAL_FIRST_PIN);
            c.preTrigger = pre;
            c.rows = rowsOf(dialog);
            refused = applyI2cEdit(c, e.record);
            showRows(dialog, c.rows);
            break;
        }
        case kModeSpi: {
            SpiEdit s;
            s.clock = channelOf(dialog, IDC_SERIAL_FIRST_PIN);
            s.sixteenBits = selectionOf(dialog, IDC_SERIAL_DATA_BITS) == 1;
            s.csHigh = checked(dialog, IDC_SPI_CS_HIGH);
            s.fallingEdge = checked(dialog, IDC_SPI_FALLING);
            s.lsbFirst = checked(dialog, IDC_SPI_LSB);
            s.preTrigger = pre;
            s.rows = rowsOf(dialog);
            refused = applySpiEdit(s, e.record);
            showRows(dialog, s.rows);
            break;
        }
        case kModeI2s: {
            I2sEdit s;
            s.sck = channelOf(dialog, IDC_SERIAL_FIRST_PIN);
            s.bits = selectionOf(dialog, IDC_SERIAL_DATA_BITS) + 1;
            s.text = textOf(dialog, IDC_I2S_PARAMETER);
            s.preTrigger = pre;
            const std::string canonical = canonicalI2sText(parseI2sWords(s.text, s.bits));
            if (s.sck < 0 || s.sck > 33) {
                refused = kStrSckRange33;
                break;
            }
            if (canonical != s.text) {
                if (ask(dialog, IDS_CORRECT_TRIGGER_DATA, MB_YESNO | MB_ICONQUESTION, Caption::Information) != IDYES)
                    return false;
                setText(dialog, IDC_I2S_PARAMETER, canonical);
            }
            refused = applyI2sEdit(s, e.record);
            break;
        }
        case kModeGlitch:
            applyGlitchWidth(e.record, glitchQuartersOfText(textOf(dialog, IDC_GLITCH_WIDTH)));
            e.record.mode = kModeGlitch;
            break;
    }
    if (refused) refuse(dialog, refused);
    return refused == 0;
}

INT_PTR CALLBACK serialEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            startDialog(dialog, *reinterpret_cast<SerialEditor*>(lParam));
            return TRUE;
        case WM_HELP: showHelpTopic(dialog, kTriggerHelpTopic); return TRUE;
        case WM_VSCROLL:
            if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_GLITCH_SPIN)) {
                SerialEditor& e = editorOf(dialog);
                e.quarters = glitchQuartersOfText(textOf(dialog, IDC_GLITCH_WIDTH));
                if (LOWORD(wParam) == SB_LINEUP) e.quarters = stepGlitchWidth(e.quarters, 1);
                if (LOWORD(wParam) == SB_LINEDOWN) e.quarters = stepGlitchWidth(e.quarters, -1);
                setText(dialog, IDC_GLITCH_WIDTH, glitchWidthText(e.quarters));
                return TRUE;
            }
            return FALSE;
        case WM_COMMAND: {
            SerialEditor& e = editorOf(dialog);
            const int id = LOWORD(wParam), code = HIWORD(wParam);
            if ((id >= IDC_SERIAL_IF && id < IDC_SERIAL_IF + 4) || (id >= IDC_SERIAL_THEN && id < IDC_SERIAL_THEN + 4)) {
                enableRows(dialog);
                return TRUE;
            }
            if (id == IDC_SERIAL_FIRST_PIN && code == EN_CHANGE) {
                followPins(dialog, e.mode);
                return TRUE;
            }
            if (id == IDC_SERIAL_FIRST_PIN && code == EN_KILLFOCUS && (e.mode == kModeI2c || e.mode == kModeI2s)) {
                const int pin = channelOf(dialog, IDC_SERIAL_FIRST_PIN);
                const int highest = e.mode == kModeI2c ? 34 : 33;
                if ((pin < 0 || pin > highest) && GetActiveWindow() == dialog)
                    refuse(dialog, e.mode == kModeI2c ? kStrSckRange34 : kStrSckRange33);
                return TRUE;
            }
            if (id == IDC_SERIAL_CHECK) {
                if (e.mode == kModeI2s) {
                    const std::string text = textOf(dialog, IDC_I2S_PARAMETER);
                    setText(dialog, IDC_I2S_PARAMETER,
                            canonicalI2sText(parseI2sWords(text, selectionOf(dialog, IDC_SERIAL_DATA_BITS) + 1)));
                } else {
                    checkRows(dialog, e.mode);
                }
                return TRUE;
            }
            if (id == IDOK) {
                if (acceptDialog(dialog, e)) EndDialog(dialog, 1);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

int templateOf(int mode) {
    switch (mode) {
        case kModeSerial: return IDD_UART_TRIGGER;
        case kModeGlitch: return IDD_GLITCH_TRIGGER;
        case kModeI2c: return IDD_I2C_TRIGGER;
        case kModeSpi: return IDD_SPI_TRIGGER;
        case kModeI2s: return IDD_I2S_TRIGGER;
        default: return 0;
    }
}

}  // namespace

bool runSerialTriggerEditor(HWND owner, int mode, TriggerRecord& record) {
    const int id = templateOf(mode);
    if (!id) return false;
    SerialEditor e{mode, record};
    if (runModal(id, owner, serialEditorProc, reinterpret_cast<LPARAM>(&e)) != 1) return false;
    record = e.record;
    return true;
}

}  // namespace kv
