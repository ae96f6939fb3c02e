// Command sets: user-named commands that annotate the states of the state listing. A set is a text
// file "<name>.CMS" of one command per line; each command names up to three (label, value)
// conditions, a description whose "{label}" sections show label values, and a sub-command mark.
// Everything here is portable: the file text, the Add Command checks, the compiled table and the
// matching of a state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/display/label_table.h"

namespace kv {

constexpr int kCommandPairs = 3;
constexpr size_t kCommandLineMax = 511;     // characters read of one line; the rest is dropped
constexpr int32_t kNoLabelRow = -2;         // an unused or unknown pair
constexpr int32_t kNoReference = -1;        // a description reference that names no label

extern const char* const kCommandSetHeader;     // "Name,C1,D1,C2,D2,C3,D3,Desc,Cont\r\n"
extern const char* const kCommandSetExtension;  // ".CMS"
extern const char* const kNoCommandSet;         // "<None>"

// String numbers of the command-set dialogs.
enum : int {
    kStrCommandName = 313,
    kStrLabel1 = 314,
    kStrLabel2 = 315,
    kStrLabel3 = 316,
    kStrNoLabel2 = 317,
    kStrDeleteCommandSet = 329,
};

// One command as the file and the dialogs hold it: the texts as typed.
struct Command {
    std::string name;
    std::string label[kCommandPairs];   // C1..C3, empty: pair not used
    std::string value[kCommandPairs];   // D1..D3 in the number syntax with a radix letter
    std::string description;
    bool subCommand = false;            // "Has Sub-Command"
    bool operator==(const Command& o) const;
};

// The file text of a set: the header line, then one line per command; commas inside a field are
// written as "|"; lines end with CR LF.
std::string writeCommandSet(const std::vector<Command>& commands);
// Reads a set: the first line is the header and is skipped; a line whose first character is ";"
// (and an empty line) is skipped anywhere; "|" turns back into ","; only the first 511 characters
// of a line count. Missing fields are empty.
std::vector<Command> readCommandSet(const std::string& text);

// The condition column of the lists: C1 "=" D1, then " & " Cn "=" Dn for each further used pair.
std::string conditionText(const Command& c);

// Add Command, OK: 313 empty or bad name, 314 label 1 missing or bad, 315 bad label 2, 316 bad
// label 3, 317 label 3 without label 2; 0 when the command may be added. Names follow the
// label-name rule (1..32 characters, no special character).
int checkCommand(const Command& c);

// A compiled command: rows are indexes into labelRows() of the table it was compiled against.
struct CompiledCommand {
    int32_t labelRow[kCommandPairs] = {kNoLabelRow, kNoLabelRow, kNoLabelRow};
    uint32_t value[kCommandPairs] = {0, 0, 0};
    int32_t referenceRow[kCommandPairs] = {kNoReference, kNoReference, kNoReference};
    bool valuesRead = true;       // false: a value of a used pair is not a number; never matches
    std::string name;
    std::string format;           // the description with one "%s" per reference ("%%" for a "%")
    bool subCommand = false;
};

// Compiles a set against a label table: label names by exact comparison (-2 when empty or unknown),
// values through ParseNumber, the first three "{name}" sections of the description as references.
std::vector<CompiledCommand> compileCommandSet(const std::vector<Command>& commands, const LabelTable& table);

// The value of label row `row` (an index into labelRows()) in a sample word: a single label's level,
// a group's value with its first member most significant; inverted members flipped.
uint32_t labelRowValue(const LabelTable& table, const std::vector<LabelRow>& rows, int32_t row, uint64_t word);

// The text naming a state: the first command (in file order) whose C1 is given and whose used
// pairs all equal the state's values, its format filled with its references' values (a single
// label as one binary digit, a group with FormatValueSuffixed); empty when none matches.
std::string commandTextForState(const std::vector<CompiledCommand>& compiled, const LabelTable& table,
                                uint64_t word);

}  // namespace kv
