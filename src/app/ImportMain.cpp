// morv-import: runs `morv-cli import`, which starts it, so that only this command
// loads GDAL.
#include <string>
#include <vector>

#include "app/cli/ImportCommand.h"

int main(int argc, char** argv) {
    return morv::cli::runImport(std::vector<std::string>(argv + 1, argv + argc));
}
