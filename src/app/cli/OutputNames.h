#pragma once
#include <span>
#include <string>
#include <vector>


namespace morv::cli {

/// A picture file format morv-cli writes, chosen by the output name's extension
/// (its depth by --depth).
struct OutputFormat {
    const char* extension;  // lower case, without the dot
    const char* name;       // as messages and --help name it
};

/// The formats morv-cli writes, one row each; the first is what a name without an
/// extension gets. A new format is one more row.
std::span<const OutputFormat> outputFormats();

/// The format an output name's extension asks for (any letter case), or nullptr
/// when morv-cli does not write that kind of file.
const OutputFormat* outputFormatFor(const std::string& path);

/// An output the user named, checked: the path to write (".bmp" added to a name
/// without extension) and its format, or why it cannot be written.
struct OutputChoice {
    std::string path;
    const OutputFormat* format = nullptr;
    std::string error;  // one line; empty when the choice is good
};

/// Checks a name given with -o: "-" (a result is two pictures, which one stream
/// cannot carry), a folder, and an extension morv-cli does not write are refused.
OutputChoice chooseOutput(const std::string& given);

/// The path of a file named name (only its last part counts) inside folder dir.
std::string inFolder(const std::string& dir, const std::string& name);

}  // namespace morv::cli
