// Feeds arbitrary argument lists to morv-cli's option reader: arguments are the
// input split at NUL bytes. Anything may be refused; nothing may crash, and every
// refusal is one line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/cli/CliOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) args.emplace_back();
        else args.back().push_back(char(data[i]));
    }
    const morv::cli::Parsed p = morv::cli::parseArguments(args);
    if (!p.options && (p.error.empty() || p.error.find('\n') != std::string::npos)) std::abort();
    return 0;
}
