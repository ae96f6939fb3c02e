// kvdecode: command-line entry. Reads the capture file, runs the decode, writes the items.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/kvdecode/kvdecode_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    kv::KvDecodeRequest request;
    const std::string error = kv::parseKvDecodeArgs(args, request);
    if (request.help) {
        std::fputs(kv::kKvDecodeUsage, stdout);
        return 0;
    }
    if (!error.empty()) {
        std::fprintf(stderr, "kvdecode: %s\n\n%s", error.c_str(), kv::kKvDecodeUsage);
        return 2;
    }
    std::FILE* f = std::fopen(request.file.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "kvdecode: cannot open '%s'\n", request.file.c_str());
        return 2;
    }
    std::vector<uint8_t> data;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) data.insert(data.end(), chunk, chunk + n);
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        std::fprintf(stderr, "kvdecode: cannot read '%s'\n", request.file.c_str());
        return 2;
    }
    std::string out, warnings;
    const int status = kv::runKvDecode(request, data, out, warnings);
    if (!warnings.empty()) std::fprintf(stderr, "kvdecode: %s", warnings.c_str());
    if (status == 0) std::fwrite(out.data(), 1, out.size(), stdout);
    return status;
}
