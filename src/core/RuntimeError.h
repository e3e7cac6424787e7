#pragma once
#include <cstdint>
#include <exception>
#include <string>

namespace morv {

/// Error numbers of the runtime tradition the program follows.
namespace err {
inline constexpr std::int16_t Overflow = 6;
inline constexpr std::int16_t OutOfMemory = 7;
inline constexpr std::int16_t SubscriptOutOfRange = 9;
inline constexpr std::int16_t TypeMismatch = 13;
inline constexpr std::int16_t FileNotFound = 53;
inline constexpr std::int16_t DiskFull = 61;
inline constexpr std::int16_t PathFileAccess = 75;
inline constexpr std::int16_t InvalidPropertyValue = 380;
inline constexpr std::int16_t InvalidPicture = 481;
}  // namespace err

/// A runtime error: a number and a description, as the error handler shows them.
class RuntimeError : public std::exception {
public:
    RuntimeError(std::int16_t number, std::string description)
        : m_number(number), m_description(std::move(description)) {}
    /// An error with the standard description of its number.
    explicit RuntimeError(std::int16_t number) : RuntimeError(number, standardDescription(number)) {}

    std::int16_t number() const noexcept { return m_number; }
    const std::string& description() const noexcept { return m_description; }
    const char* what() const noexcept override { return m_description.c_str(); }

    /// The standard description of an error number ("Overflow", "Type mismatch", ...).
    static std::string standardDescription(std::int16_t number);

private:
    std::int16_t m_number;
    std::string m_description;
};

/// Maps any exception to a runtime error: RuntimeError as it is, the standard
/// library's out_of_range to 9, overflow_error to 6, bad_alloc to 7, anything else
/// to 5 ("Invalid procedure call or argument") with its message.
RuntimeError toRuntimeError(std::exception_ptr e);

/// A file error with the real reason: errno ENOENT gives 53, ENOSPC/EDQUOT 61,
/// anything else 75. The description names the file and the system's reason.
RuntimeError fileError(const std::string& path, int errnum);

/// An undecodable or refused picture (481), naming the file and the reason.
RuntimeError pictureError(const std::string& path, const std::string& reason);

}  // namespace morv
