#include "job_failure_text.h"

#include <new>
#include <stdexcept>

namespace {

// The loader's words for the same failure.
const char* const NOT_ENOUGH_MEMORY_TEXT = "Not enough memory.";
const char* const UNKNOWN_FAILURE_TEXT = "unbekannter Fehler";

} // namespace

QString JobFailureText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return QString::fromLatin1(NOT_ENOUGH_MEMORY_TEXT);
    } catch (const std::length_error&) {
        // A failed reserve (of the move table, say) ends in a length error
        // as well as in bad_alloc.
        return QString::fromLatin1(NOT_ENOUGH_MEMORY_TEXT);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
    }
    return QString::fromUtf8(UNKNOWN_FAILURE_TEXT);
}
