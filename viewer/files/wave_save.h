// What the Save Wave File dialog decides without a window: its choices as a plain record, the
// checks of its OK button, the extension a bare name receives and the sample range the choices
// select.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Formats in the order of the dialog's list.
enum SaveFormat : int32_t {
    kSaveKvwRaw = 0,
    kSaveKvwRunLength = 1,
    kSaveKvwZlib = 2,
    kSaveQgw = 3,
    kSaveText = 4,
    kSaveFormatCount = 5,
};

// The dialog's record. Position choices: 0 "Buffer Head" / "Buffer Tail", 1..6 the six cursors
// (trigger, A .. E).
struct SaveChoice {
    int32_t format = kSaveKvwZlib;
    std::string fileName;
    bool selectRange = false;
    int32_t startChoice = 0;
    int32_t endChoice = 0;
    bool selectedChannels = false;
};

enum : int {
    kStrNoFileName = 274,
    kStrOverwrite = 275,
    kStrNoKvw10 = 330,
};

// OK's checks before anything is written: 274 without a name, 330 for block-repeat data of a
// Nanlyn board; 0 when the writer may run.
int checkSaveChoice(const SaveChoice& choice, bool blockRepeat, bool nanlyn);

// ".kvw", ".qgw" or ".txt" appended when the name has no extension after its last backslash.
std::string withDefaultExtension(const std::string& name, int32_t format);

// The range the choices select over a capture of `sampleCount` samples, given the six cursor
// positions; swapped when the start lies after the end.
struct ChosenRange {
    int32_t start = 0;
    int32_t end = 0;
};
ChosenRange chosenRange(const SaveChoice& choice, const int32_t cursorPositions[6], int32_t sampleCount);

// The automatic capture file name "W%04d%02d%02d%02d%02d%02d%d.KVW": the time stamp taken when the
// counter was 0, then the counter.
struct FileTimeStamp {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::string automaticFileName(const FileTimeStamp& t, int counter);

}  // namespace kv
