// Numbers and keys of the CLI's JSON Lines, written the same way by every
// subcommand: integers in decimal, reals with up to 17 significant digits
// (the shortest text that reads back the same double), infinities and
// not-a-number as the strings "inf", "-inf" and "nan".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

void AppendNumber(std::string& out, long long value);
void AppendReal(std::string& out, double value);
// [x,y,z] with each number as AppendReal writes it.
void AppendTriple(std::string& out, double x, double y, double z);
// A byte string as a JSON string: byte b stands as the code point U+00bb.
void AppendJsonBytes(std::string& out, std::string_view bytes);
// The same without the quotes, for a string written in pieces.
void AppendJsonByteRun(std::string& out, std::string_view bytes);

// ,"key": for a record that is already open.
template <std::size_t N>
void AppendKey(std::string& out, const char (&key)[N])
{
    out += ',';
    out += '"';
    out.append(key, N - 1);
    out += '"';
    out += ':';
}
