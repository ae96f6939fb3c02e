#include "viewer/shell/demo_dialog.h"

#include "viewer/shell/demo_generator.h"

namespace kv {

namespace {
struct UnitRule {
    const char* text;
    uint32_t hzPerUnit;
    uint64_t limit;  // 50 MHz in the unit
};
const UnitRule kUnits[3] = {{"MHz", 1000000, 50}, {"KHz", 1000, 50000}, {"Hz", 1, 50000000}};

int unitOfText(const std::string& text) {
    if (text == kUnits[kDemoUnitMHz].text) return kDemoUnitMHz;
    if (text == kUnits[kDemoUnitKHz].text) return kDemoUnitKHz;
    return kDemoUnitHz;
}
}  // namespace

const char* demoUnitText(int32_t unitMode) {
    return unitMode == kDemoUnitMHz || unitMode == kDemoUnitKHz ? kUnits[unitMode].text : kUnits[kDemoUnitHz].text;
}

const char* nextDemoUnitText(const std::string& current) {
    if (current == kUnits[kDemoUnitMHz].text) return kUnits[kDemoUnitKHz].text;
    if (current == kUnits[kDemoUnitKHz].text) return kUnits[kDemoUnitHz].text;
    return kUnits[kDemoUnitMHz].text;
}

uint32_t demoFrequencyInUnit(const DemoGroupSetting& group) {
    const int unit = unitOfText(demoUnitText(group.unitMode));
    return static_cast<uint32_t>(group.frequency) / kUnits[unit].hzPerUnit;
}

bool parseDemoNumber(const std::string& text, uint64_t& value) {
    value = 0;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const uint64_t digit = static_cast<uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    return true;
}

int applyDemoDialogRows(const DemoDialogRow (&rows)[kDemoGroups], DemoGroupSetting (&groups)[kDemoGroups]) {
    for (int g = 0; g < kDemoGroups; ++g) {
        const DemoDialogRow& row = rows[g];
        const int unit = unitOfText(row.unit);
        uint64_t n = 0;
        if (!parseDemoNumber(row.number, n) || n > kUnits[unit].limit) return g;
        if (row.function >= 0 && row.function < kDemoFunctionCount) groups[g].function = row.function;
        groups[g].unitMode = unit;
        groups[g].frequency = static_cast<int32_t>(n * kUnits[unit].hzPerUnit);
    }
    return -1;
}

}  // namespace kv
