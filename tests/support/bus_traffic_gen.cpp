// Writes the cross-check captures: "bus_traffic_gen list" prints one line per case
// (name<TAB>rate<TAB>kvdecode arguments<TAB>sigrok decoder); "bus_traffic_gen write NAME FILE"
// writes that case's samples, one byte each.
#include <cstdio>
#include <cstring>

#include "tests/support/bus_cases.h"

int main(int argc, char** argv) {
    const std::vector<kvtest::BusCase> cases = kvtest::busCases();
    if (argc == 2 && std::strcmp(argv[1], "list") == 0) {
        for (const kvtest::BusCase& c : cases)
            std::printf("%s\t%lld\t%s\t%s\n", c.name.c_str(), static_cast<long long>(c.rate), c.kvdecodeArgs.c_str(),
                        c.sigrokDecoder.c_str());
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "write") == 0) {
        for (const kvtest::BusCase& c : cases) {
            if (c.name != argv[2]) continue;
            std::FILE* f = std::fopen(argv[3], "wb");
            if (!f || std::fwrite(c.samples.data(), 1, c.samples.size(), f) != c.samples.size()) {
                std::fprintf(stderr, "bus_traffic_gen: cannot write %s\n", argv[3]);
                return 2;
            }
            std::fclose(f);
            return 0;
        }
        std::fprintf(stderr, "bus_traffic_gen: no case %s\n", argv[2]);
        return 2;
    }
    std::fprintf(stderr, "usage: bus_traffic_gen list | write NAME FILE\n");
    return 2;
}
