// libFuzzer target of the command-set reader: any text reads into commands, compiles against a
// label table and names states without reading outside what it was given; what is written back
// reads again into the same commands.
#include <cstddef>
#include <cstdint>
#include <string>

#include "viewer/commands/command_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static kv::LabelTable table = [] {
        kv::LabelState s;
        kv::addAllLabels(s, 8, 0, true);
        kv::combineLabels(s, "BUS", {"CH-00", "CH-01", "CH-02", "CH-03"}, {});
        return s.table;
    }();
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<kv::Command> commands = kv::readCommandSet(text);
    const std::vector<kv::CompiledCommand> compiled = kv::compileCommandSet(commands, table);
    for (uint64_t word : {uint64_t{0}, uint64_t{0xFF}, uint64_t{0xA5}}) kv::commandTextForState(compiled, table, word);
    for (const kv::Command& c : commands) {
        kv::checkCommand(c);
        kv::conditionText(c);
    }
    // Fields without commas, line breaks or a leading ";" survive a write and a read.
    std::vector<kv::Command> plain;
    for (kv::Command c : commands) {
        bool ok = !c.name.empty() && c.name[0] != ';';
        for (const std::string* f : {&c.name, &c.label[0], &c.label[1], &c.label[2], &c.value[0], &c.value[1],
                                     &c.value[2], &c.description})
            ok = ok && f->find_first_of(",|\r\n") == std::string::npos;
        if (ok) plain.push_back(c);
    }
    const std::vector<kv::Command> back = kv::readCommandSet(kv::writeCommandSet(plain));
    if (back.size() != plain.size()) __builtin_trap();
    return 0;
}
