#include "job_failure_text.h"

#include <new>
#include <stdexcept>

#include "cnc_program.h"

namespace {

const char* const UNKNOWN_FAILURE_TEXT = "unbekannter Fehler";

} // namespace

QString JobFailureText(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        // The loader's words for the same failure.
        return QString::fromLatin1(TEXT_NOT_ENOUGH_MEMORY);
    } catch (const std::length_error&) {
        // A failed reserve (of the move table, say) ends in a length error
        // as well as in bad_alloc.
        return QString::fromLatin1(TEXT_NOT_ENOUGH_MEMORY);
    } catch (const std::exception& failure) {
        return QString::fromUtf8(failure.what());
    } catch (...) {
    }
    return QString::fromUtf8(UNKNOWN_FAILURE_TEXT);
}
