// Code page 1252, the single-byte character set of every text the system
// holds: each byte's Unicode character, and back. Shared by the panel's
// widgets and the CLI's terminal output.
#pragma once

// The bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// give the C1 control characters of the same value.
char16_t Cp1252ToUnicode(unsigned char byte);
bool IsCp1252Undefined(unsigned char byte);
// False when the character has no byte in the code page.
bool UnicodeToCp1252(char16_t unicode, char& byte);
