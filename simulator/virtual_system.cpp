#include "simulator/virtual_system.h"

#include <algorithm>
#include <cctype>
#include <fstream>

#include "platform/environment.h"
#include "simulator/virtual_scope.h"

namespace kv {

const char* const kVirtualPlusShortName = "PQKV Plus";
const char* const kVirtualPlusLongName = "PQKV Logic Analyzer Plus";

namespace {

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = s.find(sep, start);
        parts.push_back(s.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::string trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool parseHex(const std::string& s, uint32_t& out) {
    if (s.empty() || s.size() > 8) return false;
    uint32_t v = 0;
    for (char c : s) {
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else return false;
        v = v << 4 | static_cast<uint32_t>(d);
    }
    out = v;
    return true;
}

bool parseDecimal(const std::string& s, int& out) {
    if (s.empty() || s.size() > 3) return false;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    out = v;
    return true;
}

// "<first>+<count>", both decimal.
bool parseLoss(const std::string& s, VirtualBoardConfig& board) {
    const size_t plus = s.find('+');
    if (plus == std::string::npos) return false;
    uint64_t v[2] = {0, 0};
    for (int part = 0; part < 2; ++part) {
        const std::string digits = part == 0 ? s.substr(0, plus) : s.substr(plus + 1);
        if (digits.empty() || digits.size() > 18) return false;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            v[part] = v[part] * 10 + static_cast<uint64_t>(c - '0');
        }
    }
    board.loseFirst = v[0];
    board.loseCount = v[1];
    return true;
}

struct KindName {
    const char* name;
    VirtualKind kind;
};
const KindName kKinds[] = {
    {"isa", VirtualKind::Isa},         {"pci", VirtualKind::Pci},       {"epp19", VirtualKind::Epp19},
    {"epp17", VirtualKind::Epp17},     {"bidi", VirtualKind::Bidi},     {"usb2epp", VirtualKind::Usb2Epp},
    {"usb20", VirtualKind::Usb20},     {"pocket", VirtualKind::Pocket}, {"nanlyn", VirtualKind::Nanlyn},
};

bool kindAllowed(VirtualKind k, VirtualPlace p) {
    switch (p) {
        case VirtualPlace::Usb:
            return k == VirtualKind::Usb2Epp || k == VirtualKind::Usb20 || k == VirtualKind::Pocket ||
                   k == VirtualKind::Nanlyn;
        case VirtualPlace::Pci: return k == VirtualKind::Pci;
        case VirtualPlace::Lpt: return k == VirtualKind::Epp19 || k == VirtualKind::Epp17 || k == VirtualKind::Bidi;
        case VirtualPlace::Isa: return k == VirtualKind::Isa;
    }
    return false;
}

bool parseEntry(const std::string& entry, VirtualBoardConfig& board, std::string& why) {
    size_t eq = entry.find('=');
    if (eq == std::string::npos) {
        why = "no '='";
        return false;
    }
    std::string place = lower(trim(entry.substr(0, eq)));
    std::string value = trim(entry.substr(eq + 1));
    struct PlaceName {
        const char* prefix;
        VirtualPlace place;
        int slots;
        VirtualKind kind;
    };
    const PlaceName places[] = {{"usb", VirtualPlace::Usb, 128, VirtualKind::Usb20},
                                {"pci", VirtualPlace::Pci, 6, VirtualKind::Pci},
                                {"lpt", VirtualPlace::Lpt, 2, VirtualKind::Epp19},
                                {"isa", VirtualPlace::Isa, 4, VirtualKind::Isa}};
    const PlaceName* found = nullptr;
    for (const PlaceName& p : places)
        if (place.compare(0, 3, p.prefix) == 0) found = &p;
    int slot = 0;
    if (!found || !parseDecimal(place.substr(3), slot) || slot >= found->slots) {
        why = "unknown place '" + place + "'";
        return false;
    }
    board = VirtualBoardConfig{};
    board.place = found->place;
    board.slot = slot;

    std::vector<std::string> fields = split(value, ':');
    size_t i = 0;
    bool kindGiven = false;
    std::string first = lower(trim(fields[0]));
    if (first == "scope") {
        uint32_t model = 0;
        if (board.place != VirtualPlace::Usb) {
            why = "a scope sits only at a USB number";
            return false;
        }
        if (fields.size() < 2 || !parseHex(trim(fields[1]), model) || model > 0xFFFF) {
            why = "no model code in '" + value + "'";
            return false;
        }
        board.kind = VirtualKind::Scope;
        board.code = static_cast<uint16_t>(model);
        for (size_t k = 2; k < fields.size(); ++k) board.scopeOptions.push_back(trim(fields[k]));
        VirtualScopeConfig check;
        return parseScopeOptions(board.scopeOptions, check, why);
    }
    for (const KindName& k : kKinds) {
        if (first == k.name) {
            board.kind = k.kind;
            kindGiven = true;
            ++i;
        }
    }
    uint32_t code = 0;
    if (i >= fields.size() || !parseHex(trim(fields[i]), code) || code > 0xFFFF) {
        why = "no product code in '" + value + "'";
        return false;
    }
    board.code = static_cast<uint16_t>(code);
    ++i;
    if (!kindGiven) {
        board.kind = found->kind;
        if (board.place == VirtualPlace::Usb) {
            uint16_t c = board.code & 0xF7FF;
            if (c == 0x2036 || c == 0x2136 || c == 0x2236) board.kind = VirtualKind::Nanlyn;
            else if ((c & 0xFF) == 0x16) board.kind = VirtualKind::Pocket;
        }
    }
    if (!kindAllowed(board.kind, board.place)) {
        why = "that board cannot sit at '" + place + "'";
        return false;
    }
    // Defaults of the link: USB2EPP bridges and pocket boards of the 1xxx codes are USB 1.1 devices.
    board.usb11 = board.kind == VirtualKind::Usb2Epp ||
                 (board.kind == VirtualKind::Pocket && (board.code & 0xF000) == 0x1000);
    for (; i < fields.size(); ++i) {
        std::string f = trim(fields[i]);
        std::string lf = lower(f);
        int family = 0;
        uint32_t v = 0;
        if (parseDecimal(lf, family) && family >= 1 && family <= 7) board.family = family;
        else if (lf == "usb11") board.usb11 = true;
        else if (lf == "usb2") board.usb11 = false;
        else if (lf == "full") board.fullSpeed = true;
        else if (lf == "legacy") board.legacyDriver = true;
        else if (lf == "option") board.code |= 0x0800;
        else if (lf.compare(0, 7, "eeprom=") == 0) board.eepromName = f.substr(7);
        else if (lf.compare(0, 7, "second=") == 0 && parseHex(lf.substr(7), v)) board.second = v;
        else if (lf.compare(0, 6, "third=") == 0 && parseHex(lf.substr(6), v)) board.third = v;
        else if (lf.compare(0, 5, "lose=") == 0 && parseLoss(lf.substr(5), board)) {}
        else {
            why = "unknown option '" + f + "'";
            return false;
        }
    }
    // A pocket board of the newer codes stays family 2 only with its option flag set; without it
    // the host would take it for family 5.
    if (board.kind == VirtualKind::Pocket && board.family == 2 && (board.code & 0xF000) != 0x1000) board.code |= 0x0800;
    if (board.kind == VirtualKind::Pocket && board.eepromName.empty()) {
        if (board.family == 6) board.eepromName = kVirtualPlusShortName;
        else if (board.family == 5) board.eepromName = "PQKV";
    }
    return true;
}

// An open USB device file: boards and scopes answer the same three calls at the bridge.
template <class Device>
class UsbFile : public DeviceFile {
public:
    UsbFile(std::shared_ptr<Device> d, uint32_t handle) : device_(std::move(d)), handle_(handle) {}
    uint32_t handleValue() const override { return handle_; }
    bool ioControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t& returned,
                   void* dataStage) override {
        return device_->usbIoctl(code, static_cast<const uint8_t*>(in), inSize, static_cast<uint8_t*>(out), outSize,
                                 returned, dataStage);
    }
    bool read(void* buffer, uint32_t size, uint32_t& got) override {
        return device_->usbRead(static_cast<uint8_t*>(buffer), size, got);
    }
    bool write(const void* data, uint32_t size, uint32_t& written) override {
        return device_->usbWrite(static_cast<const uint8_t*>(data), size, written);
    }

private:
    std::shared_ptr<Device> device_;
    uint32_t handle_;
};

// Devices driven by control codes alone: reads and writes of data are refused.
class ControlOnlyFile : public DeviceFile {
public:
    bool read(void*, uint32_t, uint32_t& got) override {
        got = 0;
        return false;
    }
    bool write(const void*, uint32_t, uint32_t& written) override {
        written = 0;
        return false;
    }
};

class PciFile : public ControlOnlyFile {
public:
    explicit PciFile(std::shared_ptr<VirtualBoard> b) : config_(std::move(b)) {}
    bool ioControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize, uint32_t& returned,
                   void*) override {
        return config_->pciIoctl(code, static_cast<const uint8_t*>(in), inSize, static_cast<uint8_t*>(out), outSize,
                                returned);
    }

private:
    std::shared_ptr<VirtualBoard> config_;
};

// The port driver only has to open: its presence is what grants port access.
class PortDriverFile : public ControlOnlyFile {
public:
    bool ioControl(uint32_t, const void*, uint32_t, void*, uint32_t, uint32_t& returned, void*) override {
        returned = 0;
        return false;
    }
};

VirtualSystem* g_environmentSystem = nullptr;

}  // namespace

std::string VirtualBoardConfig::name() const {
    const char* prefix = "usb";
    switch (place) {
        case VirtualPlace::Usb: prefix = "usb"; break;
        case VirtualPlace::Pci: prefix = "pci"; break;
        case VirtualPlace::Lpt: prefix = "lpt"; break;
        case VirtualPlace::Isa: prefix = "isa"; break;
    }
    return prefix + std::to_string(slot);
}

bool parseVirtualConfig(const std::string& text, std::vector<VirtualBoardConfig>& out, std::string* error) {
    std::vector<VirtualBoardConfig> boards;
    for (const std::string& raw : split(text, ';')) {
        std::string entry = trim(raw);
        if (entry.empty()) continue;
        VirtualBoardConfig board;
        std::string why;
        if (!parseEntry(entry, board, why)) {
            if (error) *error = "'" + entry + "': " + why;
            return false;
        }
        for (const VirtualBoardConfig& s : boards) {
            if (s.name() == board.name()) {
                if (error) *error = "'" + entry + "': place used twice";
                return false;
            }
        }
        boards.push_back(board);
    }
    out.insert(out.end(), boards.begin(), boards.end());
    return true;
}

VirtualSystem::VirtualSystem() = default;

VirtualSystem::~VirtualSystem() {
    for (auto& b : boards_) b->setLogFile(nullptr);
    for (auto& s : scopes_) s->setLogFile(nullptr);
    if (file_) std::fclose(file_);
}

VirtualBoard& VirtualSystem::add(const VirtualBoardConfig& board) {
    // A new board at a place replaces the one that was there.
    std::string name = board.name();
    boards_.erase(std::remove_if(boards_.begin(), boards_.end(),
                                 [&](const std::shared_ptr<VirtualBoard>& b) { return b->name() == name; }),
                  boards_.end());
    scopes_.erase(std::remove_if(scopes_.begin(), scopes_.end(),
                                 [&](const std::shared_ptr<VirtualScope>& s) { return s->name() == name; }),
                  scopes_.end());
    boards_.push_back(std::make_shared<VirtualBoard>(board));
    boards_.back()->setLogFile(file_);
    return *boards_.back();
}

VirtualScope& VirtualSystem::addScope(const VirtualScopeConfig& scope) {
    const std::string name = scope.name();
    boards_.erase(std::remove_if(boards_.begin(), boards_.end(),
                                 [&](const std::shared_ptr<VirtualBoard>& b) { return b->name() == name; }),
                  boards_.end());
    scopes_.erase(std::remove_if(scopes_.begin(), scopes_.end(),
                                 [&](const std::shared_ptr<VirtualScope>& s) { return s->name() == name; }),
                  scopes_.end());
    scopes_.push_back(std::make_shared<VirtualScope>(scope));
    scopes_.back()->setLogFile(file_);
    return *scopes_.back();
}

VirtualScope* VirtualSystem::scope(const std::string& name) {
    const std::string n = lower(name);
    for (auto& s : scopes_)
        if (s->name() == n) return s.get();
    return nullptr;
}

bool VirtualSystem::addFromConfig(const std::string& text, std::string* error) {
    std::vector<VirtualBoardConfig> boards;
    if (!parseVirtualConfig(text, boards, error)) return false;
    for (const VirtualBoardConfig& s : boards) {
        if (s.kind != VirtualKind::Scope) {
            add(s);
            continue;
        }
        VirtualScopeConfig scope;
        std::string why;
        scope.slot = s.slot;
        scope.model = s.code;
        parseScopeOptions(s.scopeOptions, scope, why);  // checked when the text was parsed
        addScope(scope);
    }
    return true;
}

VirtualBoard* VirtualSystem::board(const std::string& name) {
    std::string n = lower(name);
    for (auto& b : boards_)
        if (b->name() == n) return b.get();
    return nullptr;
}

std::vector<VirtualBoard*> VirtualSystem::boards() {
    std::vector<VirtualBoard*> all;
    for (auto& b : boards_) all.push_back(b.get());
    return all;
}

bool VirtualSystem::setLogFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "a");
    if (!f) return false;
    if (file_) std::fclose(file_);
    file_ = f;
    for (auto& b : boards_) b->setLogFile(file_);
    for (auto& s : scopes_) s->setLogFile(file_);
    return true;
}

std::unique_ptr<DeviceFile> VirtualSystem::open(const std::string& name, uint32_t) {
    openAttempts.push_back(name);
    std::string n = lower(name);
    const std::string prefix = "\\\\.\\";
    if (n.compare(0, prefix.size(), prefix) != 0) return nullptr;
    n = n.substr(prefix.size());
    auto numberAfter = [&](const std::string& stem, int& number) {
        return n.compare(0, stem.size(), stem) == 0 && parseDecimal(n.substr(stem.size()), number);
    };
    int number = 0;
    bool still = numberAfter("usbscan", number), legacy = !still && numberAfter("geneusb", number);
    if (still || legacy) {
        for (auto& b : boards_) {
            const VirtualBoardConfig& s = b->config();
            if (s.place == VirtualPlace::Usb && s.slot == number && s.legacyDriver == legacy && !b->unplugged)
                return std::make_unique<UsbFile<VirtualBoard>>(b, nextHandle());
        }
        for (auto& sc : scopes_)
            if (still && sc->config().slot == number && !sc->unplugged)
                return std::make_unique<UsbFile<VirtualScope>>(sc, nextHandle());
        return nullptr;
    }
    if (n == "ombixlpt") return portDriver ? std::make_unique<PortDriverFile>() : nullptr;
    int card = -1;
    if (n == "ombixpci" || n == "kv1000") card = 0;
    else if (n.size() == 9 && n.compare(0, 8, "ombixpci") == 0 && n[8] >= '2' && n[8] <= '6') card = n[8] - '1';
    if (card < 0) return nullptr;
    for (auto& b : boards_) {
        const VirtualBoardConfig& s = b->config();
        if (s.place == VirtualPlace::Pci && s.slot == card && !b->unplugged) return std::make_unique<PciFile>(b);
    }
    return nullptr;
}

// Like a system's handles: non-zero multiples of four, a new one for every file opened.
uint32_t VirtualSystem::nextHandle() {
    handleCount_ += 4;
    return kFirstVirtualHandle + handleCount_;
}

VirtualBoard* VirtualSystem::boardAtPort(uint32_t port) {
    for (auto& b : boards_)
        if (b->ownsPort(port)) return b.get();
    return nullptr;
}

uint8_t VirtualSystem::inByte(uint32_t port) {
    VirtualBoard* b = boardAtPort(port);
    return b ? b->portIn(port) : 0xFF;
}

void VirtualSystem::outByte(uint32_t port, uint8_t value) {
    if (VirtualBoard* b = boardAtPort(port)) b->portOut(port, value);
}

uint16_t VirtualSystem::inWord(uint32_t port) {
    VirtualBoard* b = boardAtPort(port);
    return b ? b->portInWord(port) : 0xFFFF;
}

void VirtualSystem::outWord(uint32_t port, uint16_t value) {
    if (VirtualBoard* b = boardAtPort(port)) b->portOutWord(port, value);
}

std::vector<std::string> readExchangeLogFile(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

VirtualSystem* installDeviceIoFromEnvironment(DeviceIo& real) {
    std::string config;
    if (!readEnvironment("HALVEX_VIRTUAL", config)) {
        setDeviceIo(&real);
        return nullptr;
    }
    // Kept for the life of the process: devices may be used until the library is unloaded.
    if (!g_environmentSystem) {
        g_environmentSystem = new VirtualSystem;
        g_environmentSystem->addFromConfig(config);
        std::string log;
        if (readEnvironment("HALVEX_VIRTUAL_LOG", log)) g_environmentSystem->setLogFile(log);
    }
    setDeviceIo(g_environmentSystem);
    return g_environmentSystem;
}

VirtualSystem* environmentVirtualSystem() { return g_environmentSystem; }

}  // namespace kv
