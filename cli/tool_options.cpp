#include "tool_options.h"

#include <charconv>

#include "trace.h"

const char* const TOOL_DIAMETER_MESSAGE = "tornavel-cli: a tool diameter must be positive\n";

namespace {

const char* const NOT_A_NUMBERED_TOOL = "%s: '%s' ist kein Werkzeug T=flat:D oder T=ball:D";
const char* const NOT_A_TOOL = "%s: '%s' ist kein Werkzeug flat:D oder ball:D";

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

const char* const OPTION_GIVEN_TWICE = "%s: '%s' ist schon das zweite Mal angegeben";
const char* const OPTION_WITHOUT_VALUE = "%s: der Wert fehlt";

std::string OptionMessage(const char* format, const std::string& option, const std::string& value)
{
    std::string text(format);
    for (const std::string* part : {&option, &value}) {
        const std::size_t mark = text.find("%s");
        if (mark == std::string::npos)
            break;
        text.replace(mark, 2, *part);
    }
    return "tornavel-cli: " + text + "\n";
}

bool ParseToolOption(const std::string& name, const std::string& value, CToolTable& tools, int& status,
                     std::set<std::int32_t>* givenNumbers, std::string* message)
{
    CTool tool;
    const bool numbered = name == "--tool";
    if (!numbered && name != "--default-tool")
        return false;
    const std::size_t equals = numbered ? value.find('=') : std::string::npos;
    std::int32_t number = 0;
    if ((numbered && (equals == std::string::npos || !ParseToolNumber(value.substr(0, equals), number))) ||
        !ParseToolText(numbered ? std::string_view(value).substr(equals + 1) : std::string_view(value), tool)) {
        Note(status, EXIT_BAD_USAGE);
        if (message != nullptr)
            *message = OptionMessage(numbered ? NOT_A_NUMBERED_TOOL : NOT_A_TOOL, name, value);
        return true;
    }
    if (numbered) {
        tools.SetTool(number, tool);
        if (givenNumbers != nullptr)
            givenNumbers->insert(number);
    } else {
        tools.SetDefaultTool(tool);
    }
    if (!tool.IsValid())
        Note(status, EXIT_SOME_FAILED);
    return true;
}
