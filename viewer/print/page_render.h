// Printed and bitmap pages of a capture, and the text listing of a range. The pages are built from
// the view's own row model and row renderers (bus values, decoded rows, traces), with samples
// mapped by a ratio so that a range can fill a page of any size; everything comes out as
// primitives that the Win32 side replays on a printer or memory DC.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/display/wave_render.h"
#include "viewer/shell/settings.h"

namespace kv {

// How the range is scaled onto the page. "Fit to paper" puts the range's first sample on the
// left edge of the waves and its last on the right edge, and all rows on the page; "Fit to Horz
// Size" keeps the chosen horizontal size and fits the rows; "Fit to Vert Size" keeps the chosen
// vertical size and fits the range; "Custom Size" keeps both (pages follow pages).
enum PrintFit : int32_t { kFitPaper = 0, kFitHorzSize = 1, kFitVertSize = 2, kFitCustom = 3 };

constexpr int kHorzSizeCount = 12;   // "32" ... " 1" ... "1/64"
constexpr int kVertSizeCount = 18;   // " 30 %" ... "200 %"
constexpr int kGridSizeCount = 21;   // "No Grid", "  50 ns" ... " 100 s"
constexpr int kHorzSizeOne = 5;      // the index of " 1"
constexpr int kClipMinWidth = 200, kClipMaxWidth = 1600, kClipMinHeight = 160, kClipMaxHeight = 1200;

enum : int {
    kStrPage = 254,             // "Page %d"
    kStrClipWidth = 321,        // "The width must be from 200 to 1600."
    kStrSaveBitmapError = 323,  // "Save bitmap file error."
    kStrClipHeight = 2390,      // the height's message has no number of its own
};

// The list texts of the Print dialog, in list order.
extern const char* const kHorzSizeTexts[kHorzSizeCount];
extern const char* const kGridSizeTexts[kGridSizeCount];
std::string vertSizeText(int index);   // " 30 %" ... "200 %"
int32_t vertSizePercent(int index);    // 30 ... 200

// Control ids the settings store for the option and label choices ("Print Option", "Print Vert
// Range"): the ids of the dialog's radio buttons.
enum : int32_t {
    kIdFitPaper = 1145,         // 1145..1148 in PrintFit order
    kIdLabelsAll = 1149,
    kIdLabelsParts = 1150,
};

// What the Print dialog edits.
struct PrintChoice {
    bool allLabels = true;      // "ALL", else "Parts of labels" (the selected labels)
    int32_t fit = kFitPaper;
    int32_t horzSize = kHorzSizeOne;
    int32_t vertSize = 7;       // 100 %
    int32_t gridSize = 0;       // "No Grid"
    bool color = false;         // "Color or Gray scale"
    bool omitLabels = false;    // "Omit label width"
    bool toClipboard = false;
    bool toFile = false;
    bool bmp = false;           // file output as ".BMP" pages
    int32_t startPosition = 0;  // buffer head, a cursor or buffer tail, as in the search
    int32_t endPosition = 7;
};
// From and to the stored print settings; out-of-range values fall back to the defaults.
PrintChoice printChoiceFrom(const Settings& s);
void storePrintChoice(const PrintChoice& c, Settings& s);

// Clipboard Size, OK: 321 for a width outside 200..1600, kStrClipHeight for a height outside
// 160..1200, else 0.
int checkClipboardSize(int64_t width, int64_t height);

// "%s - KV Viewer %s  Date:%s  Time:%s   Sample Clock: %s, %s, %s"; an empty device name (demo
// mode) is written as "Demo Mode ".
std::string printHeaderText(const std::string& device, const std::string& version, const std::string& date,
                            const std::string& time, const std::string& clock1, const std::string& clock2,
                            const std::string& clock3);

// The name of bitmap page `page` (1-based): prefix + "%04d.BMP".
std::string bitmapPageName(const std::string& prefix, int page);

enum class PageFont : uint8_t { Header, Row, Fixed };

struct PageText {
    int32_t x = 0, y = 0;       // top left
    std::string text;
    int32_t colorIndex = 0;
    PageFont font = PageFont::Row;
};

// A cursor on a page: a vertical line over the waves topped by a five-sided flag with its letter.
struct PageCursor {
    int32_t index = 0;          // 0 trigger, 1..5 A..E
    int32_t penIndex = 0;
    int32_t x = 0, top = 0, bottom = 0;          // the line, in page coordinates
    std::array<Point, 6> flag{};                  // closed outline
    Rect letterBox;
    char letter = 'T';
};

struct Page {
    int32_t number = 1;
    int64_t firstSample = 0, lastSample = 0;
    std::vector<PageText> texts;         // header, grid caption, page number, label columns, listing
    Rect waves;                          // the waves' area on the page
    WaveFrame frame;                     // in coordinates of the waves' area
    std::vector<int32_t> gridXs;         // x inside the waves' area; lines from its top to its bottom
    std::vector<PageCursor> cursors;
};

struct PageTarget {
    int32_t width = 0, height = 0;       // printable area in device units
    int32_t dpiX = 96, dpiY = 96;        // device units per inch (the screen's 96: one pixel each)
    std::function<TextSize(const std::string&)> measureHeader;
    std::function<TextSize(const std::string&)> measureRow;    // the row font as scaled for the target
};

struct PrintSource {
    SampleStore* store = nullptr;
    const LabelTable* table = nullptr;
    int32_t deviceChannels = 64;
    std::function<const DecodedItems*(int32_t firstEntry)> decodedFor;
    RenderStyle style;                   // of the screen: wave height, shading, texts
    int32_t nameWidth = 0, channelWidth = 0, valueWidth = 0;   // screen pixels
    int32_t cursorPositions[6] = {};
    int32_t cursorPens[6] = {0, 1, 2, 3, 4, 5};
    uint32_t hiddenCursors = 0;          // bit k: cursor k hidden
    int64_t sampleFrequency = 100000000;
    std::string header;                  // printHeaderText()
    std::string pageFormat = "Page %d";  // string 254 in the chosen language
    int32_t gridColorIndex = 3;
};

// The sample range a choice prints: [first, last], ordered, within the capture.
void printRange(const PrintChoice& c, const int32_t cursors[6], int64_t sampleCount, int64_t& first, int64_t& last);

// The mapping of the waves of a page for a range of `span` samples (last - first) into `width`
// device units: numerator and denominator of x = ((i - first) * num) / den.
void horizontalRatio(const PrintChoice& c, int64_t span, int32_t width, int32_t dpiX, int64_t& num, int64_t& den);

// Lays out and renders every page of the range.
std::vector<Page> renderPages(const PrintSource& src, const PrintChoice& choice, const PageTarget& target);

// The listing of a range as text: one line per state with the state listing's label values,
// columns separated by two spaces (".TXT", names padded to their column) or by ",  " (".CSV", a
// header of quoted names); the command text of the state follows as " %s" or ", %s" when
// `command` is given. Lines end with CR LF; each goes to `write`.
enum class TextKind { Txt, Csv };
void RenderText(SampleStore& store, const std::vector<WaveRow>& rows, const LabelTable& table, const RenderStyle& style,
                int64_t first, int64_t last, TextKind kind, const std::function<std::string(int64_t)>& command,
                const std::function<void(const std::string&)>& write);

// The listing printed: the same lines in the fixed-pitch font, each column at its place, as many
// lines as fit a page under the header.
std::vector<Page> renderTextPages(const PrintSource& src, const PrintChoice& choice, const PageTarget& target,
                                  const std::function<std::string(int64_t)>& command);

}  // namespace kv
