#include "tool_options.h"

#include <charconv>

#include "trace.h"

const char* const TOOL_DIAMETER_MESSAGE = "tornavel-cli: a tool diameter must be positive\n";

namespace {

bool ParseToolNumber(const std::string& text, std::int32_t& value)
{
    const char* first = text.data();
    if (!text.empty() && text.front() == '+')
        ++first;
    const char* last = text.data() + text.size();
    if (first == last)
        return false;
    const auto result = std::from_chars(first, last, value);
    return result.ec == std::errc() && result.ptr == last;
}

// Bad usage wins over a diameter that cannot cut.
void Note(int& status, int result)
{
    if (status != EXIT_BAD_USAGE && result != 0)
        status = result;
}

} // namespace

bool ParseToolOption(const std::string& name, const std::string& value, CToolTable& tools, int& status)
{
    CTool tool;
    if (name == "--tool") {
        const std::size_t equals = value.find('=');
        std::int32_t number = 0;
        if (equals == std::string::npos || !ParseToolNumber(value.substr(0, equals), number) ||
            !ParseToolText(std::string_view(value).substr(equals + 1), tool)) {
            Note(status, EXIT_BAD_USAGE);
            return true;
        }
        tools.SetTool(number, tool);
    } else if (name == "--default-tool") {
        if (!ParseToolText(value, tool)) {
            Note(status, EXIT_BAD_USAGE);
            return true;
        }
        tools.SetDefaultTool(tool);
    } else {
        return false;
    }
    if (!tool.IsValid())
        Note(status, EXIT_SOME_FAILED);
    return true;
}
