#include "core/RuntimeError.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

namespace morv {

std::string RuntimeError::standardDescription(std::int16_t number) {
    switch (number) {
    case 5: return "Invalid procedure call or argument";
    case err::Overflow: return "Overflow";
    case err::OutOfMemory: return "Out of memory";
    case err::SubscriptOutOfRange: return "Subscript out of range";
    case err::TypeMismatch: return "Type mismatch";
    case err::FileNotFound: return "File not found";
    case err::DiskFull: return "Disk full";
    case err::PathFileAccess: return "Path/File access error";
    case err::InvalidPropertyValue: return "Invalid property value";
    case err::InvalidPicture: return "Invalid picture";
    default: return "Application-defined or object-defined error";
    }
}

RuntimeError toRuntimeError(std::exception_ptr e) {
    try {
        std::rethrow_exception(e);
    } catch (const RuntimeError& r) {
        return r;
    } catch (const std::out_of_range&) {
        return RuntimeError(err::SubscriptOutOfRange);
    } catch (const std::overflow_error&) {
        return RuntimeError(err::Overflow);
    } catch (const std::bad_alloc&) {
        return RuntimeError(err::OutOfMemory);
    } catch (const std::exception& x) {
        return RuntimeError(5, std::string(RuntimeError::standardDescription(5)) + ": " + x.what());
    }
}

RuntimeError fileError(const std::string& path, int errnum) {
    std::int16_t number = err::PathFileAccess;
    if (errnum == ENOENT) number = err::FileNotFound;
    else if (errnum == ENOSPC || errnum == EDQUOT) number = err::DiskFull;
    return RuntimeError(number, RuntimeError::standardDescription(number) + ": " + path + ": " + std::strerror(errnum));
}

RuntimeError pictureError(const std::string& path, const std::string& reason) {
    return RuntimeError(err::InvalidPicture, "Invalid picture: " + path + ": " + reason);
}

}  // namespace morv
