#include "viewer/commands/command_set.h"

#include <algorithm>

#include "viewer/display/formatting.h"
#include "viewer/display/wave_render.h"

namespace kv {

const char* const kCommandSetHeader = "Name,C1,D1,C2,D2,C3,D3,Desc,Cont\r\n";
const char* const kCommandSetExtension = ".CMS";
const char* const kNoCommandSet = "<None>";

namespace {

constexpr int kFieldCount = 9;

// A field as written: its commas become "|", and a line break inside would split the command.
std::string escapeField(const std::string& s) {
    std::string out = s;
    for (char& c : out) {
        if (c == ',') c = '|';
        else if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == ',') fields.emplace_back();
        else fields.back() += c == '|' ? ',' : c;
    }
    fields.resize(std::max<size_t>(fields.size(), kFieldCount));
    return fields;
}

bool pairUsed(const std::string& label) { return !label.empty(); }

}  // namespace

bool Command::operator==(const Command& o) const {
    for (int k = 0; k < kCommandPairs; ++k)
        if (label[k] != o.label[k] || value[k] != o.value[k]) return false;
    return name == o.name && description == o.description && subCommand == o.subCommand;
}

std::string writeCommandSet(const std::vector<Command>& commands) {
    std::string out = kCommandSetHeader;
    for (const Command& c : commands) {
        out += escapeField(c.name);
        for (int k = 0; k < kCommandPairs; ++k) out += "," + escapeField(c.label[k]) + "," + escapeField(c.value[k]);
        out += "," + escapeField(c.description);
        out += c.subCommand ? ",1\r\n" : ",0\r\n";
    }
    return out;
}

std::vector<Command> readCommandSet(const std::string& text) {
    std::vector<Command> out;
    size_t pos = 0;
    bool header = true;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > kCommandLineMax) line.resize(kCommandLineMax);
        if (header) {
            header = false;
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        const std::vector<std::string> f = splitFields(line);
        Command c;
        c.name = f[0];
        for (int k = 0; k < kCommandPairs; ++k) {
            c.label[k] = f[1 + 2 * k];
            c.value[k] = f[2 + 2 * k];
        }
        c.description = f[7];
        const std::string& cont = f[8];
        c.subCommand = !cont.empty() && cont != "0" && cont[0] != 'N' && cont[0] != 'n';
        out.push_back(std::move(c));
    }
    return out;
}

std::string conditionText(const Command& c) {
    std::string out = c.label[0] + "=" + c.value[0];
    for (int k = 1; k < kCommandPairs; ++k)
        if (pairUsed(c.label[k])) out += " & " + c.label[k] + "=" + c.value[k];
    return out;
}

int checkCommand(const Command& c) {
    if (checkNameCharacters(c.name) != 0) return kStrCommandName;
    if (checkNameCharacters(c.label[0]) != 0) return kStrLabel1;
    if (pairUsed(c.label[1]) && checkNameCharacters(c.label[1]) != 0) return kStrLabel2;
    if (pairUsed(c.label[2]) && checkNameCharacters(c.label[2]) != 0) return kStrLabel3;
    if (pairUsed(c.label[2]) && !pairUsed(c.label[1])) return kStrNoLabel2;
    return 0;
}

namespace {

// Index into `rows` of the label called `name`, or -2.
int32_t rowNamed(const LabelTable& table, const std::vector<LabelRow>& rows, const std::string& name) {
    if (name.empty()) return kNoLabelRow;
    for (size_t k = 0; k < rows.size(); ++k)
        if (name == table.entries[rows[k].first].name) return static_cast<int32_t>(k);
    return kNoLabelRow;
}

}  // namespace

std::vector<CompiledCommand> compileCommandSet(const std::vector<Command>& commands, const LabelTable& table) {
    const std::vector<LabelRow> rows = labelRows(table);
    std::vector<CompiledCommand> out;
    out.reserve(commands.size());
    for (const Command& c : commands) {
        CompiledCommand cc;
        cc.name = c.name;
        cc.subCommand = c.subCommand;
        for (int k = 0; k < kCommandPairs; ++k) {
            cc.labelRow[k] = rowNamed(table, rows, c.label[k]);
            if (!pairUsed(c.label[k])) continue;
            uint64_t v = 0;
            int32_t format = 0;
            if (ParseNumber(c.value[k].c_str(), &v, &format) && v <= 0xFFFFFFFFu) cc.value[k] = static_cast<uint32_t>(v);
            else cc.valuesRead = false;
        }
        // "{name}" sections become "%s" with a reference; a literal "%" is kept as "%%".
        int refs = 0;
        const std::string& d = c.description;
        for (size_t i = 0; i < d.size(); ++i) {
            if (d[i] == '{' && refs < kCommandPairs) {
                const size_t close = d.find('}', i + 1);
                if (close != std::string::npos) {
                    const int32_t row = rowNamed(table, rows, d.substr(i + 1, close - i - 1));
                    cc.referenceRow[refs++] = row == kNoLabelRow ? kNoReference : row;
                    cc.format += "%s";
                    i = close;
                    continue;
                }
            }
            if (d[i] == '%') cc.format += '%';
            cc.format += d[i];
        }
        out.push_back(std::move(cc));
    }
    return out;
}

uint32_t labelRowValue(const LabelTable& table, const std::vector<LabelRow>& rows, int32_t row, uint64_t word) {
    if (row < 0 || row >= static_cast<int32_t>(rows.size())) return 0;
    WaveRow r;
    r.channels = rowChannels(table, rows[row]);
    for (int e = rows[row].first, k = 0; e <= rows[row].last && k < kMaxGroupChannels; ++e, ++k)
        if (table.entries[e].flags & kLabelInvert) r.invertBits |= 1u << k;
    return groupValue(r, word);
}

std::string commandTextForState(const std::vector<CompiledCommand>& compiled, const LabelTable& table,
                                uint64_t word) {
    const std::vector<LabelRow> rows = labelRows(table);
    for (const CompiledCommand& c : compiled) {
        if (c.labelRow[0] < 0 || !c.valuesRead) continue;
        bool match = true;
        for (int k = 0; k < kCommandPairs && match; ++k)
            if (c.labelRow[k] >= 0) match = labelRowValue(table, rows, c.labelRow[k], word) == c.value[k];
        if (!match) continue;
        std::string out;
        int ref = 0;
        for (size_t i = 0; i < c.format.size(); ++i) {
            if (c.format[i] != '%' || i + 1 >= c.format.size()) {
                out += c.format[i];
                continue;
            }
            const char spec = c.format[++i];
            if (spec != 's') {
                out += spec;
                continue;
            }
            const int32_t row = ref < kCommandPairs ? c.referenceRow[ref] : kNoReference;
            ++ref;
            if (row < 0 || row >= static_cast<int32_t>(rows.size())) continue;
            const uint32_t v = labelRowValue(table, rows, row, word);
            if (!rows[row].group()) {
                out += v ? '1' : '0';
                continue;
            }
            const LabelEntry& e = table.entries[rows[row].first];
            std::string text;
            FormatValueSuffixed(e.flags, v, e.format, std::min(rows[row].size(), kMaxGroupChannels), &text);
            out += text;
        }
        return out;
    }
    return std::string();
}

}  // namespace kv
